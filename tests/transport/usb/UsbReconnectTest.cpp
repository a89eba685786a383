// A printer that leaves the bus and comes back: remembering its port path, finding it there again
// under a new serial number, and reaching it when it returns under another product id.
#include "tests/transport/usb/UsbFixture.h"

#include "base/Clock.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {
std::vector<USBDevice> WaitForDevices(const char* vid, const char* pid) {
    std::string error;
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::vector<USBDevice> devices = ComPortUsbIntPRN::GetDeviceList(error, vid, pid);
        if (!devices.empty())
            return devices;
        Clock::SleepMs(20);
    }
    return {};
}
} // namespace

TEST_F(UsbTest, RestoreWithoutSavedLocationFailsWithoutTouchingUsb) {
    EmulatedUsbDevice& printer = testbed->Plug(Printer("L1", 1));
    ComPortUsbIntPRN port;
    EXPECT_EQ(port.RestoreAddrNumFrmLocatio(), 0);
    EXPECT_EQ(printer.OpenCount(), 0);
    EXPECT_EQ(port.SaveLocationCurrentDevice(), 0); // no identity stored yet
}

TEST_F(UsbTest, SavesThePortPathOfTheCurrentDevice) {
    testbed->Plug(Printer("CD7", 2));
    testbed->Plug(Printer("AB5", 4));
    ComPortUsbIntPRN port;
    ASSERT_EQ(port.Init("0101", "5"), 1);
    ASSERT_EQ(port.SaveLocationCurrentDevice(), 1);
    ASSERT_EQ(port.GetLocationLength(), 1u);
    EXPECT_EQ(port.GetLocation()[0], 4);
}

TEST_F(UsbTest, FindsTheRestartedPrinterAtItsSavedLocation) {
    testbed->Plug(Printer("CD9", 2)); // same model elsewhere on the bus
    EmulatedUsbDevice& before = testbed->Plug(Printer("AB5", 4));
    ComPortUsbIntPRN port;
    ASSERT_EQ(port.OpenUsb(Hex(ProductIds::kVendorId).c_str(), "0101", "AB5", true), 0);
    ASSERT_EQ(port.SaveLocationCurrentDevice(), 1);
    port.Close();

    testbed->Unplug(before);
    EmulatedUsbDevice& after = testbed->Plug(Printer("AB8", 4));
    ASSERT_EQ(port.RestoreAddrNumFrmLocatio(), 1);
    EXPECT_EQ(port.GetAddress(), "8");
    ASSERT_EQ(port.ReOpen(), 1);
    EXPECT_TRUE(after.Claimed(0));
}

TEST_F(UsbTest, RestoreFailsWhenNothingIsAtTheSavedLocation) {
    EmulatedUsbDevice& printer = testbed->Plug(Printer("AB5", 4));
    ComPortUsbIntPRN port;
    ASSERT_EQ(port.Init("0101", "5"), 1);
    ASSERT_EQ(port.SaveLocationCurrentDevice(), 1);
    port.Close();
    testbed->Unplug(printer);
    testbed->Plug(Printer("AB6", 3));
    EXPECT_EQ(port.RestoreAddrNumFrmLocatio(), 0);
    EXPECT_EQ(port.GetAddress(), "5");
}

TEST_F(UsbTest, PrinterLeavesAndReturnsUnderAnotherProductId) {
    EmulatedUsbDevice& printer = testbed->Plug(Printer("AB5", 4));
    ComPortUsbIntPRN port;
    ASSERT_EQ(port.OpenUsb(Hex(ProductIds::kVendorId).c_str(), "0101", "AB5", true), 0);
    const unsigned char restart[] = {0x1C, 0x4C, 0x49};
    unsigned error = 0;
    ASSERT_EQ(port.Write(restart, sizeof restart, &error), 3u);

    // The printer restarts: it leaves while the port still holds it open.
    testbed->Unplug(printer);
    EXPECT_EQ(port.Write(restart, sizeof restart, &error), 0u);
    EXPECT_EQ(error, 1u);
    // The old port keeps its libusb context while the device comes back, so that context's hot-plug
    // handling sees the new device arrive.
    std::string listError;
    EXPECT_THAT(ComPortUsbIntPRN::GetDeviceList(listError, "045B", nullptr), IsEmpty());

    // It comes back as a boot device of another vendor and product at the same place.
    UsbDeviceSetup boot = Printer("BOOT1", 4, 0x0025);
    boot.vid = 0x045b;
    boot.deviceClass = 0xFF;
    boot.interfaceClasses = {0xFF};
    EmulatedUsbDevice& bootDevice = testbed->Plug(boot);
    const std::vector<USBDevice> found = WaitForDevices("045B", nullptr);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].DeviceName(), "045b|0025|BOOT1");
    ComPortUsbIntPRN bootPort;
    ASSERT_EQ(bootPort.InitWithVid(found[0].vid.c_str(), found[0].pid.c_str(), found[0].serial.c_str()), 1)
        << bootPort.GetLastErrorText();
    ASSERT_EQ(bootPort.Open(), 1);
    const unsigned char command = 0x31;
    EXPECT_EQ(bootPort.Write(&command, 1, &error), 1u);
    EXPECT_THAT(bootDevice.Written(), ElementsAre(0x31));
    // The old name is gone for good.
    EXPECT_EQ(port.OpenUsb(Hex(ProductIds::kVendorId).c_str(), "0101", "AB5", true), -1);
}
