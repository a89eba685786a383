// The port base: the bulk transfers of the upgrade procedures, and the port settings' validity rule.
#include "tests/support/ScriptedPort.h"
#include "tests/transport/PortTestSupport.h"
#include "transport/CommPortSettings.h"

#include "base/Clock.h"

#include <gtest/gtest.h>

namespace {
class BulkTransfer : public ::testing::Test {
protected:
    void SetUp() override { Clock::SetScaleForTesting(0.01); }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }
};
} // namespace

TEST_F(BulkTransfer, WritePacketsCutsIntoChunksAndRestoresThePacketSize) {
    ScriptedPort port;
    port.SetPacketSize(64);
    const std::vector<unsigned char> data = Pattern(10000);
    unsigned error = 99;
    EXPECT_EQ(port.WritePackets(data.data(), 10000, 5, 4096, &error), 10000u);
    EXPECT_EQ(error, 0u);
    ASSERT_EQ(port.Writes().size(), 3u);
    EXPECT_EQ(port.Writes()[2].size(), 1808u);
    std::vector<unsigned char> joined;
    for (const auto& chunk : port.Writes())
        joined.insert(joined.end(), chunk.begin(), chunk.end());
    EXPECT_EQ(joined, data);
    EXPECT_EQ(port.GetPacketSize(), 64u);

    // A short second chunk: nothing after it, its error, and the packet size as before.
    ScriptedPort shortWrite;
    shortWrite.SetPacketSize(64);
    shortWrite.FailWrite(1, 100, 5);
    EXPECT_EQ(shortWrite.WritePackets(data.data(), 10000, 0, 4096, &error), 0u);
    EXPECT_EQ(error, 5u);
    EXPECT_EQ(shortWrite.Writes().size(), 2u);
    EXPECT_EQ(shortWrite.GetPacketSize(), 64u);

    // A short write whose port reports no error still fails as an error.
    ScriptedPort quiet;
    quiet.FailWrite(0, 1, 0);
    EXPECT_EQ(quiet.WritePackets(data.data(), 10, 0, 4, &error), 0u);
    EXPECT_NE(error, 0u);
}

TEST_F(BulkTransfer, ReadAllCollectsUntilLengthOrTimeout) {
    ScriptedPort port;
    port.QueueRead("abc");
    port.QueueRead(ScriptedPort::Bytes{});
    port.QueueRead("defgh");
    unsigned char buf[8] = {};
    unsigned error = 9;
    EXPECT_EQ(port.ReadAll(buf, 8, 1000, &error), 8);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 8), "abcdefgh");

    ScriptedPort partial;
    partial.QueueRead("abc");
    EXPECT_EQ(partial.ReadAll(buf, 8, 200, &error), 3);
    EXPECT_EQ(error, 1u);
}

TEST(PortSettings, ValidityPerKind) {
    CommPortSettings settings;
    EXPECT_FALSE(settings.IsValid());
    settings.type = COMM_ETHERNET;
    settings.ipAddress = "192.168.1.20";
    EXPECT_FALSE(settings.IsValid()); // TCP port 0
    settings.tcpPort = 9100;
    EXPECT_TRUE(settings.IsValid());
    settings.type = COMM_SERIAL;
    settings.comPortName = "/dev/ttyUSB0";
    EXPECT_FALSE(settings.IsValid()); // no baud rate
    settings.baudRate = 115200;
    EXPECT_TRUE(settings.IsValid());
    for (CommPortType usb : {COMM_USB_PRN, COMM_RESERVED, COMM_USB_SCANNER}) {
        CommPortSettings s;
        s.type = usb;
        EXPECT_FALSE(s.IsValid());
        s.usbDeviceName = "1F5B|0001|";
        EXPECT_TRUE(s.IsValid());
        EXPECT_TRUE(IsUsbPortType(usb));
    }
    EXPECT_FALSE(IsUsbPortType(COMM_ETHERNET));
}
