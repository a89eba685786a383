// The HID port through the real hidapi (libusb back end) against an emulated HID boot device: reports
// of report number 0 cut at 64 data bytes, the serial number as a filter, the library ended after a
// failed open and on close, a device the user may not open explained, the read's time-out in seconds
// scaled by the multiplier and the clock.
#include "tests/transport/PortTestSupport.h"
#include "tests/transport/usb/UsbFixture.h"
#include "tests/support/WaitUntil.h"

#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "sim/usb/UsbDescriptors.h"
#include "transport/ComPortUsbHid.h"

#include <gmock/gmock.h>

#include <sys/stat.h>

#include <filesystem>

using ::testing::ElementsAre;

namespace {

constexpr uint16_t kBootVid = 0x10C4;
constexpr uint16_t kBootPid = 0xEAC9;

UsbDeviceSetup BootDevice(std::optional<std::string> serial, int port = 1) {
    UsbDeviceSetup setup;
    setup.vid = kBootVid;
    setup.pid = kBootPid;
    setup.deviceClass = 0;
    setup.interfaceClasses = {sim::usbdesc::kHidClass};
    setup.hidReportDescriptor = sim::usbdesc::VendorReportDescriptor();
    setup.kernelDriverOnInterface0 = true; // usbhid holds it, as on a real machine
    setup.serial = std::move(serial);
    setup.port = port;
    return setup;
}

// Descriptors the process holds: libusb's context owns some, so a library left running shows here.
size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

class UsbHid : public UsbTest {
protected:
    static std::vector<unsigned char> ReadAnswer(ComPortUsbHid& port, int timeoutSeconds, unsigned& error) {
        std::vector<unsigned char> buffer(5);
        const int count = port.ReadAll(buffer.data(), 5, timeoutSeconds, &error);
        buffer.resize(static_cast<size_t>(std::max(count, 0)));
        return buffer;
    }
};

} // namespace

TEST_F(UsbHid, ReportsOf64BytesGoToTheDeviceOfTheSerialNumberAndAnswersComeBackAsReports) {
    EmulatedUsbDevice& other = testbed->Plug(BootDevice("HB1", 1));
    EmulatedUsbDevice& device = testbed->Plug(BootDevice("HB2", 2));
    ComPortUsbHid missing;
    ASSERT_EQ(missing.InitWithVid("10C4", "EAC9", "HB3"), 1);
    EXPECT_FALSE(missing.Open());
    ComPortUsbHid port;
    ASSERT_EQ(port.InitWithVid("10c4", "EAC9", "HB2"), 1);
    ASSERT_TRUE(port.Open());
    EXPECT_FALSE(device.KernelDriverOn(0));

    // 130 bytes: reports of 65, 65 and 3 bytes led by report number 0, which stays on the host.
    const std::vector<unsigned char> data = Pattern(130);
    EXPECT_EQ(WriteOnce(port, data), Written(130, 0));
    EXPECT_THAT(device.OutTransferSizes(), ElementsAre(64, 64, 2));
    EXPECT_EQ(device.Written(), data);
    EXPECT_TRUE(other.Written().empty());

    ASSERT_TRUE(device.QueueInput({0x40, 0x00, 0x00, 0x00}));
    unsigned error = 1;
    EXPECT_THAT(ReadAnswer(port, 5, error), ElementsAre(0x40, 0x00, 0x00, 0x00));
    EXPECT_EQ(error, 0u);
    device.FailWrites();
    EXPECT_EQ(WriteOnce(port, data), Written(0, 1));
}

TEST_F(UsbHid, TheLibraryEndsAfterAFailedOpenAndOnCloseAndASecondCloseDoesNothing) {
    // The first library start connects to the emulation's event source, whose end stays with the
    // testbed in this process: count from after one start and end.
    ASSERT_EQ(hid_init(), 0);
    ASSERT_EQ(hid_exit(), 0);
    const size_t before = OpenDescriptors();
    ComPortUsbHid port;
    ASSERT_EQ(port.InitWithVid("10C4", "EAC9", nullptr), 1);
    EXPECT_FALSE(port.Open());
    // The testbed's thread closes its end of a finished library's event connection in its own time:
    // a leak never settles, that lag does.
    EXPECT_TRUE(WaitUntil([&] { return OpenDescriptors() == before; }, 2000)) << OpenDescriptors();
    ComPortUsbHid anyId; // "0" would let hidapi take the first HID device of any vendor
    ASSERT_EQ(anyId.InitWithVid("0", "0", ""), 1);
    EXPECT_FALSE(anyId.Open());

    EmulatedUsbDevice& device = testbed->Plug(BootDevice("HB1"));
    const size_t plugged = OpenDescriptors(); // the emulation's own socket for the device
    ASSERT_TRUE(port.Open());
    EXPECT_TRUE(port.Close());
    EXPECT_TRUE(device.KernelDriverOn(0)); // handed back to usbhid
    EXPECT_TRUE(WaitUntil([&] { return OpenDescriptors() == plugged; }, 2000)) << OpenDescriptors();
    EXPECT_TRUE(port.Close());
    EXPECT_EQ(WriteOnce(port, Pattern(3)), Written(0, 1));

    // Ended and started again, the library finds the device once more.
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(WriteOnce(port, Pattern(3)), Written(3, 0));
}

TEST_F(UsbHid, AReadWithoutAnswerWaitsItsScaledTimeOutAndNoLonger) {
    testbed->Plug(BootDevice("HB1"));
    Clock::SetScaleForTesting(0.01);
    ComPortUsbHid port(3);
    ASSERT_EQ(port.InitWithVid("10C4", "EAC9", "HB1"), 1);
    ASSERT_TRUE(port.Open());
    unsigned error = 0;
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_TRUE(ReadAnswer(port, 2, error).empty());
    const uint64_t elapsed = Clock::MonotonicMs() - start;
    EXPECT_EQ(error, 1u);
    // 2 s × 3 × 0.01 = 60 ms; the clock counts whole milliseconds.
    EXPECT_GE(elapsed, 59u);
    EXPECT_LT(elapsed, 2000u);
}

// hidapi passes over a device this user may not open as if it were not there; the port adds why, and
// only then.
TEST_F(UsbHid, ADeviceTheUserMayNotOpenIsExplained) {
    EmulatedUsbDevice& device = testbed->Plug(BootDevice("HB1"));
    std::string otherSerial, locked;
    bool opened = true;
    const bool dropped = WithoutPermissionOverride([&] {
        CmdConsole::iShowToVideo = 1;
        ComPortUsbHid port;
        testing::internal::CaptureStdout();
        if (port.InitWithVid("10C4", "EAC9", "HB2") == 1)
            (void)port.Open();
        otherSerial = testing::internal::GetCapturedStdout();
        if (chmod((testbed->RootDir() + device.DevNode()).c_str(), 0) == 0) {
            testing::internal::CaptureStdout();
            if (port.InitWithVid("10C4", "EAC9", "HB1") == 1)
                opened = port.Open();
            locked = testing::internal::GetCapturedStdout();
        }
        CmdConsole::iShowToVideo = 0;
    });
    if (!dropped)
        GTEST_SKIP() << "cannot give up the right to override file permissions";
    EXPECT_EQ(otherSerial, "");
    EXPECT_FALSE(opened);
    EXPECT_EQ(locked, "No permission to open USB device " + device.DevNode() +
                          ": see the udev rule 70-dalvora.rules installed with dalvora, or run as a user "
                          "at the seat\n");
}
