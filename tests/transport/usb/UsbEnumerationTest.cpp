// The device lists over emulated USB devices: the frame layer's byte-order sorting and scanner
// product filter, and the command line's list and "ANY" in bus order.
#include "app/CmdLineOperations.h"
#include "comm/CommLayer.h"
#include "tests/transport/usb/UsbFixture.h"

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include <functional>
#include <thread>

using ::testing::ElementsAre;

namespace {
class UsbEnumeration : public UsbTest {};

// Runs fn on a thread that may not override file permissions, as an ordinary user's program: root
// would open a device node whatever its mode. Capabilities belong to each thread, so the rest of the
// process keeps its own. False when they could not be dropped (fn did not run).
bool RunWithoutPermissionOverride(const std::function<void()>& fn) {
    bool dropped = false;
    std::thread worker([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
        if (syscall(SYS_capget, &header, data) != 0)
            return;
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            data[capability / 32].effective &= ~(1u << (capability % 32));
        dropped = syscall(SYS_capset, &header, data) == 0;
        if (dropped)
            fn();
    });
    worker.join();
    return dropped;
}

// The maker's printers as libusb lists them, one "VID|PID|SN" line each.
std::string BusOrderLines() {
    std::string error;
    std::string lines;
    for (const USBDevice& printer :
         ComPortUsbIntPRN::GetDeviceListFilterByClass(error, nullptr, nullptr, ProductIds::kPrinterClass))
        lines += printer.DeviceName() + "\n";
    return lines;
}
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

// What --usbdevlist prints and "-d ANY" takes: the printers in bus order, not sorted; and the
// whole-line cut of the list.
TEST_F(UsbEnumeration, CommandLineListOfPrinters) {
    testbed->Plug(Printer("a", 1));
    testbed->Plug(Printer("B", 2));
    testbed->Plug(Printer("c", 3));
    const std::string vid = Hex(ProductIds::kVendorId);
    const std::string busOrder = BusOrderLines();
    const std::string sorted = vid + "|0101|B\n" + vid + "|0101|a\n" + vid + "|0101|c\n";
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
    const std::string vid = Hex(ProductIds::kVendorId);
    const bool ran = RunWithoutPermissionOverride([&] {
        testing::internal::CaptureStdout();
        RunUsbDeviceList();
        listed = testing::internal::GetCapturedStdout();
        UsbPrinterLines(kUsbListCapacity, &error);
        parsed = ParseDeviceText(COMM_USB_PRN, "ANY", &settings);
        // The same kind of printer, locked, listed first: the chosen one still opens.
        ComPortUsbIntPRN port;
        opened = port.OpenUsb(vid.c_str(), "0101", "R2", true);
        port.Close();
    });
    if (!ran)
        GTEST_SKIP() << "cannot give up the right to override file permissions";
    EXPECT_EQ(listed, "LIST USB DEVICES:\n" + vid + "|0101|R2\n\n");
    EXPECT_EQ(error, "Couldn't open device(Access denied (insufficient permissions))");
    EXPECT_TRUE(parsed);
    EXPECT_EQ(settings.usbDeviceName, vid + "|0101|R2");
    EXPECT_EQ(opened, 0);
}
