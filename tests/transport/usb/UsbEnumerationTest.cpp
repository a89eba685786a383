// The device lists over emulated USB devices: the frame layer's byte-order sorting and scanner
// product filter, and the command line's list and "ANY" in bus order.
#include "app/CmdLineOperations.h"
#include "base/CmdConsole.h"
#include "comm/CommLayer.h"
#include "tests/transport/usb/UsbFixture.h"

#include <sys/stat.h>

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace {
class UsbEnumeration : public UsbTest {};
} // namespace

TEST_F(UsbEnumeration, FrameLayerListsAreSortedAndTheCommandLineKeepsBusOrder) {
    testbed->Plug(Printer("A", 1, 0x0100));
    testbed->Plug(Printer("a", 2));
    testbed->Plug(Printer("B", 3));
    for (auto [serial, pid, port] :
         {std::tuple{"S2", uint16_t{0x2201}, 4}, std::tuple{"S1", uint16_t{0x2001}, 5},
          std::tuple{"N1", uint16_t{0x3001}, 6}}) {
        UsbDeviceSetup scanner = Printer(serial, port, pid);
        scanner.deviceClass = ProductIds::kScannerClass;
        scanner.interfaceClasses = {ProductIds::kScannerClass};
        testbed->Plug(scanner);
    }
    std::string error = "stale";
    EXPECT_THAT(CommLayer::EnumUsbPRNDevices(error),
                ElementsAre(vid + "|0100|A", vid + "|0101|B", vid + "|0101|a"));
    EXPECT_EQ(error, "");
    EXPECT_THAT(CommLayer::EnumUsbScannerDevices(error), ElementsAre(vid + "|2001|S1", vid + "|2201|S2"));

    std::string busOrder;
    for (const USBDevice& printer :
         ComPortUsbIntPRN::GetDeviceListFilterByClass(error, nullptr, nullptr, ProductIds::kPrinterClass))
        busOrder += printer.DeviceName() + "\n";
    const std::string sorted = vid + "|0100|A\n" + vid + "|0101|B\n" + vid + "|0101|a\n";
    ASSERT_EQ(busOrder.size(), sorted.size());
    ASSERT_NE(busOrder, sorted) << "the bus happens to list the printers sorted: the case shows nothing";
    testing::internal::CaptureStdout();
    int status = RunUsbDeviceList();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "LIST USB DEVICES:\n" + busOrder + "\n");
    EXPECT_EQ(status, 0);
    const std::string first = busOrder.substr(0, busOrder.find('\n') + 1);
    CommPortSettings settings;
    ASSERT_TRUE(ParseDeviceText(COMM_USB_PRN, "any", &settings));
    EXPECT_EQ(settings.usbDeviceName + "\n", first);
    const size_t line = first.size();
    EXPECT_EQ(UsbPrinterLines(3 * line + 1), busOrder);
    EXPECT_EQ(UsbPrinterLines(2 * line), first); // no room for a second line and the terminator
    EXPECT_EQ(UsbPrinterLines(line), "");
}

TEST_F(UsbEnumeration, APrinterThatCannotBeOpenedLeavesTheOthersUsable) {
    EmulatedUsbDevice& locked = testbed->Plug(Printer("L1", 1));
    testbed->Plug(Printer("R2", 2));
    ASSERT_EQ(chmod((testbed->RootDir() + locked.DevNode()).c_str(), 0), 0);
    std::string listed;
    std::string error;
    CommPortSettings settings;
    bool parsed = false;
    int opened = -1;
    std::string console;
    const bool dropped = WithoutPermissionOverride([&] {
        testing::internal::CaptureStdout();
        RunUsbDeviceList();
        listed = testing::internal::GetCapturedStdout();
        UsbPrinterLines(kUsbListCapacity, &error);
        parsed = ParseDeviceText(COMM_USB_PRN, "ANY", &settings);
        // The same kind of printer, locked, listed first: the chosen one still opens.
        // It says which node it passed over, and why.
        CmdConsole::iShowToVideo = 1;
        testing::internal::CaptureStdout();
        ComPortUsbIntPRN port;
        opened = port.OpenUsb(vid.c_str(), "0101", "R2", true);
        port.Close();
        console = testing::internal::GetCapturedStdout();
        CmdConsole::iShowToVideo = 0;
    });
    if (!dropped)
        GTEST_SKIP() << "cannot give up the right to override file permissions";
    EXPECT_EQ(listed, "LIST USB DEVICES:\n" + vid + "|0101|R2\n\n");
    EXPECT_EQ(error, "Couldn't open device(Access denied (insufficient permissions))");
    EXPECT_TRUE(parsed);
    EXPECT_EQ(settings.usbDeviceName, vid + "|0101|R2");
    EXPECT_EQ(opened, 0);
    EXPECT_THAT(console, ::testing::HasSubstr("No permission to open USB device " + locked.DevNode() +
                                              ": see the udev rule 70-dalvora.rules"));
}
