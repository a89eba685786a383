// Bulk traffic with an emulated printer: 64-byte chunks and the pause after each kilobyte, failed
// writes, the read time-out, discarding input, reopening, and a device pulled mid-transfer.
#include "tests/transport/PortTestSupport.h"
#include "tests/transport/usb/UsbFixture.h"

#include "base/Clock.h"

#include <gmock/gmock.h>

#include <chrono>
#include <future>

using ::testing::Each;
using ::testing::ElementsAre;

namespace {
// Microseconds the write paused through the clock.
uint64_t PausedWhileWriting(ComPortUsbIntPRN& port, const std::vector<unsigned char>& data) {
    const uint64_t before = Clock::SleptUs();
    EXPECT_EQ(WriteOnce(port, data), Written(data.size(), 0));
    return Clock::SleptUs() - before;
}

class UsbTransfer : public UsbTest {
protected:
    void OpenPrinter(ComPortUsbIntPRN& port) {
        printer = &testbed->Plug(Printer("T1", 1));
        ASSERT_EQ(port.OpenUsb(vid.c_str(), "0101", "T1", true), 0) << port.GetLastErrorText();
    }
    EmulatedUsbDevice* printer = nullptr;
};
} // namespace

TEST_F(UsbTransfer, LongDataGoesOutIn64ByteChunksWithAPauseAfterEachKilobyte) {
    // The pause lasts the multiplier in milliseconds.
    constexpr int kPauseMs = 3;
    constexpr uint64_t kPauseUs = kPauseMs * 1000;
    ComPortUsbIntPRN port(kPauseMs);
    ASSERT_NO_FATAL_FAILURE(OpenPrinter(port));
    const std::vector<unsigned char> data = Pattern(200);
    EXPECT_EQ(PausedWhileWriting(port, data), 0u);
    EXPECT_THAT(printer->OutTransferSizes(), ElementsAre(64, 64, 64, 8));
    EXPECT_EQ(printer->Written(), data);
    EXPECT_EQ(PausedWhileWriting(port, Pattern(1000)), 0u);
    EXPECT_EQ(PausedWhileWriting(port, Pattern(2000)), kPauseUs); // after the 16th transfer
    EXPECT_EQ(PausedWhileWriting(port, Pattern(3000)), 2 * kPauseUs);
    EXPECT_EQ(printer->Written().size(), 6200u);
    EXPECT_THAT(printer->OutTransferSizes(), Each(::testing::Le(64u)));
}

TEST_F(UsbTransfer, UpgradePacketsKeepTheirSizeAndAStalledWriteFails) {
    ComPortUsbIntPRN port;
    ASSERT_NO_FATAL_FAILURE(OpenPrinter(port));
    const std::vector<unsigned char> data = Pattern(10000);
    unsigned error = 1;
    EXPECT_EQ(port.WritePackets(data.data(), 10000, 0, 4096, &error), 10000u);
    EXPECT_EQ(error, 0u);
    EXPECT_THAT(printer->OutTransferSizes(), ElementsAre(4096, 4096, 1808));
    EXPECT_EQ(printer->Written(), data);

    printer->FailWrites();
    EXPECT_EQ(WriteOnce(port, Pattern(100)), Written(0, 1));
    EXPECT_STREQ(port.GetLastErrorText(), "Write Error");
    EXPECT_FALSE(port.IsDeviceLost()); // a stalled endpoint is not a printer gone
}

TEST_F(UsbTest, WriteOnAnUnclaimedPortReopensTheDeviceFirst) {
    EmulatedUsbDevice& printer = testbed->Plug(Printer("W1", 1));
    const std::vector<unsigned char> data = Pattern(3);
    ComPortUsbIntPRN never; // never identified: nothing to reopen
    EXPECT_EQ(WriteOnce(never, data), Written(0, 1));
    EXPECT_STREQ(never.GetLastErrorText(), "Write Error---> error to reinit device");

    ComPortUsbIntPRN port;
    ASSERT_EQ(port.Init("0101", "1"), 1);
    port.Close();
    EXPECT_EQ(WriteOnce(port, data), Written(3, 0));
    EXPECT_TRUE(printer.Claimed(0));
    EXPECT_EQ(printer.Written(), data);
}

TEST_F(UsbTransfer, ReadTimesOutWithoutDataAndCleanRXDiscardsEverythingPending) {
    ComPortUsbIntPRN port;
    ASSERT_NO_FATAL_FAILURE(OpenPrinter(port));
    port.SetRTimeout(150);
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_EQ(ReadOnce(port), Received("", 1));
    EXPECT_GE(Clock::MonotonicMs() - start, 140u);
    EXPECT_STREQ(port.GetLastErrorText(), "Read timeout! No data read");
    EXPECT_FALSE(port.IsDeviceLost()); // a silent printer is still there
    // The transfer that timed out was cancelled: the next answer goes to the next read.
    printer->QueueInput({0x42});
    EXPECT_EQ(ReadOnce(port), Received("\x42", 0));

    for (unsigned char b : {1, 2, 3})
        printer->QueueInput({b, b, b});
    port.CleanRX();
    printer->QueueInput({0x55});
    EXPECT_EQ(ReadOnce(port), Received("\x55", 0));
}

TEST_F(UsbTest, ReOpenRepeatsTheIdentificationThatFirstSucceeded) {
    // Serial numbers that end alike: only the whole number tells them apart, whichever of the two a
    // lookup by the last character would find.
    EmulatedUsbDevice& a = testbed->Plug(Printer("A13", 1));
    EmulatedUsbDevice& b = testbed->Plug(Printer("B13", 2));
    for (auto [wanted, other] : {std::pair{&a, &b}, std::pair{&b, &a}}) {
        ComPortUsbIntPRN port;
        ASSERT_EQ(port.InitWithVid(vid.c_str(), "0101", wanted->Setup().serial->c_str()), 1);
        ASSERT_EQ(port.Open(), 1);
        ASSERT_EQ(port.ReOpen(), 1);
        EXPECT_TRUE(wanted->Claimed(0)) << *wanted->Setup().serial;
        EXPECT_FALSE(other->Claimed(0)) << *wanted->Setup().serial;
    }
}

TEST_F(UsbTransfer, RemovedDeviceEndsReadsAtOnce) {
    ComPortUsbIntPRN port;
    ASSERT_NO_FATAL_FAILURE(OpenPrinter(port));
    port.SetRTimeout(600000); // ten minutes: only the removal can end the read in time
    std::future<Received> reading = std::async(std::launch::async, [&port] { return ReadOnce(port); });
    // Before or during the read: either way it must end with the error.
    testbed->Unplug(*printer);
    ASSERT_EQ(reading.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(reading.get(), Received("", 1));
    EXPECT_TRUE(port.IsDeviceLost());

    Clock::SetScaleForTesting(0.001); // a ReadAll that kept reading would spin for 600 ms, not 10 min
    ExpectReadAllEndsAtOnce(port, LogCapture(), "Read");

    EXPECT_EQ(WriteOnce(port, Pattern(100)), Written(0, 1));
    EXPECT_EQ(port.Close(), 1);
}
