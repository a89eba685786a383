// The frame layer over a scripted port: opening each kind, timeouts and their multipliers, checked
// writes, answer collection and the identification handshake.
#include "comm/CommLayer.h"
#include "comm/Commands.h"
#include "model/PrinterData.h"
#include "tests/support/ScriptedPort.h"

#include "base/Clock.h"

#include <gtest/gtest.h>

namespace {

using Bytes = PortScript::Bytes;

class CommLayerTest : public ::testing::Test {
protected:
    void SetUp() override { Clock::SetScaleForTesting(0.001); }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }

    // Creates scripted ports for the kinds that have a port class.
    CommLayer::PortFactory Factory() {
        return [script = script](CommPortType kind) -> std::unique_ptr<ComPort> {
            if (kind == COMM_NONE || kind == COMM_RESERVED)
                return nullptr;
            return std::make_unique<ScriptedPort>(script);
        };
    }

    template <size_t N> static Bytes B(const std::array<unsigned char, N>& bytes) {
        return Bytes(bytes.begin(), bytes.end());
    }

    std::shared_ptr<PortScript> script = std::make_shared<PortScript>();
};

int OpenCode(CommLayer& layer, CommPortType kind, const char* name) {
    try {
        layer.Open(kind, name, 0, 0, 700);
        return 0;
    } catch (const VmComLayerException& e) {
        return e.getCode();
    }
}

} // namespace

TEST_F(CommLayerTest, EthernetNamesAndTimeouts) {
    CommLayer layer(Factory());
    layer.Open(COMM_ETHERNET, "192.168.1.20", 0, 0, 700);
    ASSERT_EQ(script->opens.size(), 1u);
    EXPECT_EQ(script->opens[0].a, "192.168.1.20");
    EXPECT_EQ(script->opens[0].number1, 9100);
    EXPECT_EQ(layer.GetReadTimeout(), 1400u);
    EXPECT_EQ(script->lastReadTimeout, 1400);
    EXPECT_EQ(script->lastWriteTimeout, 0);
    EXPECT_EQ(script->cleanRxCalls, 1); // pending input discarded after the open
    layer.ReOpen();
    EXPECT_EQ(layer.GetReadTimeout(), 2800u);

    layer.Open(COMM_ETHERNET, "ab:9100", 0, 0, 0);
    EXPECT_EQ(script->opens.back().a, "ab");
    EXPECT_EQ(script->opens.back().number1, 9100);
    EXPECT_EQ(layer.GetReadTimeout(), 2800u); // a zero timeout leaves the read timeout as it was
}

TEST_F(CommLayerTest, EthernetRefusalsAndAttempts) {
    CommLayer layer(Factory());
    EXPECT_EQ(OpenCode(layer, COMM_ETHERNET, "a-host-name-of-20-ch:9100"), VmComLayerException::kInvalidPort);
    EXPECT_EQ(OpenCode(layer, COMM_ETHERNET, "host:12345678901234567890"), VmComLayerException::kInvalidPort);
    EXPECT_EQ(OpenCode(layer, COMM_ETHERNET, "1234567890123456789:9100"), 0); // 19 characters fit
    script->opens.clear();
    script->openFailures = 3;
    EXPECT_EQ(OpenCode(layer, COMM_ETHERNET, "10.0.0.1:9100"), VmComLayerException::kOpenFailed);
    EXPECT_EQ(script->opens.size(), 3u);
    script->openFailures = 2;
    EXPECT_EQ(OpenCode(layer, COMM_ETHERNET, "10.0.0.1:9100"), 0); // the third attempt succeeds
}

TEST_F(CommLayerTest, UsbAndSerialAndInvalidKinds) {
    CommLayer layer(Factory());
    EXPECT_EQ(OpenCode(layer, COMM_USB_PRN, "1F5B|0001"), VmComLayerException::kInvalidPort);
    EXPECT_EQ(OpenCode(layer, COMM_USB_SCANNER, "1F5B|2001|"), 0);
    EXPECT_EQ(script->opens.back().kind, "usb");
    EXPECT_EQ(script->opens.back().b, "2001");
    EXPECT_EQ(script->opens.back().c, "");
    EXPECT_EQ(OpenCode(layer, COMM_USB_PRN, "1f5b|0001|SN|x"), 0);
    EXPECT_EQ(script->opens.back().c, "SN|x");
    EXPECT_EQ(layer.GetReadTimeout(), 700u); // USB multiplier 1

    EXPECT_EQ(OpenCode(layer, COMM_NONE, "x"), VmComLayerException::kInvalidPort);
    EXPECT_EQ(OpenCode(layer, COMM_RESERVED, "x|y|z"), VmComLayerException::kInvalidPort);

    layer.Open(COMM_SERIAL, "/dev/ttyUSB0", 38400, 2, 100);
    EXPECT_EQ(script->opens.back().kind, "serial");
    EXPECT_EQ(script->opens.back().number1, 38400);
    EXPECT_EQ(script->opens.back().number2, 2);
    EXPECT_EQ(script->opens.back().b, "0,8,0");
    EXPECT_EQ(layer.GetReadTimeout(), 300u);
}

TEST_F(CommLayerTest, StoredNameBackupAndUsbIdentityChange) {
    CommLayer layer(Factory());
    layer.Open(COMM_USB_PRN, "1F5B|0001|AB", 0, 0, 100);
    EXPECT_TRUE(layer.BackupPortInfo());
    EXPECT_NE(layer.InitWithVid("1f5b", "00ff", "AB"), -1);
    EXPECT_EQ(layer.GetStoredDeviceName(), "1F5B|00FF|AB");
    layer.RestoreportInfo();
    EXPECT_EQ(layer.GetStoredDeviceName(), "1F5B|0001|AB");
    layer.ForceSet_BckPortName("X|Y|Z");
    layer.ReOpen();
    EXPECT_EQ(script->opens.back().a, "X");

    CommLayer eth(Factory());
    eth.Open(COMM_ETHERNET, "h:1", 0, 0, 0);
    EXPECT_EQ(eth.InitWithVid("1", "2", "3"), 0); // only for a USB kind
    EXPECT_EQ(eth.GetStoredDeviceName(), "h:1");
}

TEST_F(CommLayerTest, CheckedAndUncheckedWrites) {
    CommLayer layer(Factory());
    layer.Open(COMM_ETHERNET, "h:1", 0, 0, 0);
    const unsigned char data[] = {1, 2, 3};
    EXPECT_EQ(layer.Write(data, 3), 3u);
    script->failWriteIndex = 1;
    script->failWriteCount = 0;
    script->failWriteError = 4;
    try {
        layer.Write(data, 3);
        FAIL() << "a failed write must throw";
    } catch (const VmComLayerException& e) {
        EXPECT_EQ(e.getCode(), VmComLayerException::kWriteFailed);
    }
    script->failWriteIndex = 2;
    unsigned error = 0;
    EXPECT_EQ(layer.Write(data, 3, &error), 0u);
    EXPECT_EQ(error, static_cast<unsigned>(-1));
    EXPECT_EQ(layer.Write(data, 3, &error), 3u);
    EXPECT_EQ(error, 0u);
}

TEST_F(CommLayerTest, AnswersAreJoinedUntilComplete) {
    CommLayer layer(Factory());
    layer.Open(COMM_ETHERNET, "h:1", 0, 0, 0);
    script->QueueRead("\x02<C1>");
    script->QueueRead(Bytes{});
    script->QueueRead("<1.00>\x03");
    auto answer = layer.ReadProtocolData();
    ASSERT_TRUE(answer);
    EXPECT_EQ(std::string(answer->begin(), answer->end()), "\x02<C1><1.00>\x03");

    // More than the first 4096-byte buffer, and 0x03 inside the payload.
    std::string payload(10000, 'x');
    payload[10] = '\x03';
    std::string big = "\x02<C50><DATABYTES>" + payload + "</DATABYTES>\x03";
    for (size_t at = 0; at < big.size(); at += 700)
        script->QueueRead(big.substr(at, 700));
    answer = layer.ReadProtocolData();
    ASSERT_TRUE(answer);
    EXPECT_EQ(std::string(answer->begin(), answer->end()), big);
}

TEST_F(CommLayerTest, EmptyReadsEndTheAnswer) {
    CommLayer layer(Factory());
    layer.Open(COMM_ETHERNET, "h:1", 0, 0, 0);
    script->QueueRead(Bytes{});
    script->QueueRead("\x02<C4>");
    script->QueueRead(Bytes{});
    script->QueueRead("<1>");
    EXPECT_FALSE(layer.ReadProtocolData()); // the third empty read, though data came between
    EXPECT_EQ(script->readCalls, 5);

    script->QueueRead("\x02<C4>");
    script->readCalls = 0;
    EXPECT_FALSE(layer.ReadProtocolData(5000)); // timed: 5 ms once scaled
    EXPECT_GT(script->readCalls, 3) << "the timed form counts time, not empty reads";
}

TEST_F(CommLayerTest, LostDeviceEndsTheAnswerAtOnce) {
    CommLayer layer(Factory());
    layer.Open(COMM_ETHERNET, "h:1", 0, 0, 0);
    script->goneWhenDrained = true;
    script->QueueRead("\x02<C4>");
    EXPECT_FALSE(layer.ReadProtocolData(600000)); // ten minutes: only the loss can end it early
    EXPECT_EQ(script->readCalls, 2);
    EXPECT_TRUE(layer.IsDeviceLost());
    EXPECT_FALSE(layer.ReadProtocolData());
    EXPECT_EQ(script->readCalls, 3); // not three empty reads
}

// The handshake as the sessions run it, into a printer's data.
TEST_F(CommLayerTest, HandshakeIdentityCodes) {
    CommLayer layer(Factory());
    layer.Open(COMM_ETHERNET, "h:1", 0, 0, 0);
    script->ReplyTo(B(Commands::Cmd_CommandGetGSI), {Bytes{0x41}});
    script->ReplyTo(B(Commands::Cmd_CommandGetFWREL), {PortScript::Of("1.23A")});
    PrinterData data;
    ASSERT_TRUE(layer.HandshakeCommunication(&data, 0));
    EXPECT_EQ(data.GetGSI(), 0x141u);
    EXPECT_EQ(data.GetFWRel(), "1.23A");
    EXPECT_EQ(script->CountWrites(B(Commands::Cmd_CommandSetESCPOSforSV)), 1);

    // A second printer's answers do not replace what the data already holds.
    script->replies.clear();
    script->ReplyTo(B(Commands::Cmd_CommandGetGSI), {Bytes{0xFF}});
    script->ReplyTo(B(Commands::Cmd_CommandGetGSIFF), {Bytes{0x12, 0x34}});
    script->ReplyTo(B(Commands::Cmd_CommandGetFWREL), {PortScript::Of("2.00")});
    ASSERT_TRUE(layer.HandshakeCommunication(&data, 0));
    EXPECT_EQ(data.GetGSI(), 0x141u);
    EXPECT_EQ(data.GetFWRel(), "1.23A");
    PrinterData fresh;
    ASSERT_TRUE(layer.HandshakeCommunication(&fresh, 0));
    EXPECT_EQ(fresh.GetGSI(), 0x1234u);
    EXPECT_EQ(fresh.GetFWRel(), "2.00");
}

TEST_F(CommLayerTest, SilentPrinterCostsEveryAttempt) {
    CommLayer layer(Factory());
    layer.Open(COMM_ETHERNET, "h:1", 0, 0, 0);
    PrinterData data;
    EXPECT_FALSE(layer.HandshakeCommunication(&data, 3));
    EXPECT_EQ(script->CountWrites(B(Commands::Cmd_CommandGetGSI)), 3);
    EXPECT_EQ(script->CountWrites(B(Commands::Cmd_CommandSetESCPOSforSV)), 2); // attempts 0 and 2

    // Identity answered, release not: a failed handshake, and the data keeps nothing of it (a garbled
    // answer at a wrong baud rate must not become the identity the data keeps).
    script->ReplyTo(B(Commands::Cmd_CommandGetGSI), {Bytes{0x41}});
    EXPECT_FALSE(layer.HandshakeCommunication(&data, 1));
    EXPECT_FALSE(data.GetGSI());
}
