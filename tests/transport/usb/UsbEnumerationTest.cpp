// The frame layer's device lists over emulated USB devices: byte-order sorting and the scanner
// product filter.
#include "app/CmdLineOperations.h"
#include "comm/CommLayer.h"
#include "tests/transport/usb/UsbFixture.h"
#include "tests/support/ProcessRunner.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace {
class UsbEnumeration : public UsbTest {};
} // namespace

TEST_F(UsbEnumeration, PrintersSortedInByteOrder) {
    testbed->Plug(Printer("a", 1));
    testbed->Plug(Printer("B", 2));
    testbed->Plug(Printer("A", 3, 0x0100));
    std::string error = "stale";
    std::vector<std::string> names = CommLayer::EnumUsbPRNDevices(error);
    EXPECT_EQ(error, "");
    const std::string vid = Hex(ProductIds::kVendorId);
    EXPECT_THAT(names, ElementsAre(vid + "|0100|A", vid + "|0101|B", vid + "|0101|a"));
}

TEST_F(UsbEnumeration, ScannersNeedAScannerProductPrefix) {
    for (auto [serial, pid, port] :
         {std::tuple{"S2", uint16_t{0x2201}, 1}, std::tuple{"S1", uint16_t{0x2001}, 2},
          std::tuple{"N1", uint16_t{0x3001}, 3}}) {
        UsbDeviceSetup scanner = Printer(serial, port, pid);
        scanner.deviceClass = ProductIds::kScannerClass;
        scanner.interfaceClasses = {ProductIds::kScannerClass};
        testbed->Plug(scanner);
    }
    testbed->Plug(Printer("P1", 4)); // printer class: not a scanner at all
    std::string error;
    const std::string vid = Hex(ProductIds::kVendorId);
    EXPECT_THAT(CommLayer::EnumUsbScannerDevices(error), ElementsAre(vid + "|2001|S1", vid + "|2201|S2"));
    EXPECT_THAT(CommLayer::EnumUsbPRNDevices(error), ElementsAre(vid + "|0101|P1"));
}

// What --usbdevlist prints, and the whole-line cut of the lists it and "-d ANY" are built from.
TEST_F(UsbEnumeration, CommandLineListOfPrinters) {
    testbed->Plug(Printer("a", 1));
    testbed->Plug(Printer("B", 2));
    const std::string vid = Hex(ProductIds::kVendorId);
    testing::internal::CaptureStdout();
    int status = RunUsbDeviceList();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "LIST USB DEVICES:\n" + vid + "|0101|B\n" + vid + "|0101|a\n\n");
    EXPECT_EQ(status, 0);
    size_t line = (vid + "|0101|B\n").size();
    EXPECT_EQ(UsbPrinterLines(2 * line + 1), vid + "|0101|B\n" + vid + "|0101|a\n");
    EXPECT_EQ(UsbPrinterLines(2 * line), vid + "|0101|B\n"); // no room for the terminator: one line
    EXPECT_EQ(UsbPrinterLines(line), "");
}

#ifdef DALVORA_BINARY
// The real binary, started from the emulated machine: it inherits umockdev's preload and testbed, so
// its libusb finds the emulated printers.
TEST_F(UsbEnumeration, DalvoraBinaryListsTheEmulatedPrinters) {
    testbed->Plug(Printer("7A", 1));
    testbed->Plug(Printer(std::nullopt, 2, 0x0102));
    ProcessResult r = RunProcess(DALVORA_BINARY, {"--usbdevlist", "-s"});
    const std::string vid = Hex(ProductIds::kVendorId);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "LIST USB DEVICES:\n" + vid + "|0101|7A\n" + vid + "|0102|\n\n");
}
#endif
