// The frame layer's device lists over emulated USB devices: byte-order sorting and the scanner
// product filter.
#include "comm/CommLayer.h"
#include "tests/comm/usb/UsbFixture.h"

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
