// The simulator's USB printer driven by a raw libusb host inside umockdev's testbed: commands cut into
// small transfers, answers read in pieces, a fresh start for each host, faults that cannot hang up,
// the restart that takes the printer off the bus and brings it back at the same place, and a firmware
// image installed with and without the programming answer.
#include "tests/sim/SimHarness.h"
#include "tests/sim/UsbHost.h"

#include "base/Clock.h"
#include "sim/usb/UsbTestbed.h"
#include "tests/support/SimTranscript.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <thread>

using namespace simtest;
using namespace std::string_literals;

namespace {

class UsbPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sim::UsbTestbed::InMockEnvironment())
            GTEST_SKIP() << "needs umockdev's preload: run under umockdev-wrapper";
        m_savedScale = Clock::Scale();
        Clock::SetScaleForTesting(0.1);
    }
    void TearDown() override {
        StopServer();
        Clock::SetScaleForTesting(m_savedScale);
    }

    // The printer of SmallProfile() on USB, served on its own thread as the program does.
    void Start(const std::vector<std::string>& faultSwitches = {},
               const std::string& profile = SmallProfile()) {
        sim::FaultSet set;
        for (const auto& f : faultSwitches)
            sim::AddFault(set, f);
        state = std::make_unique<sim::PrinterState>(sim::LoadProfileText(profile, "usb.json"));
        faults = std::make_unique<sim::FaultInjector>(set);
        transcript = std::make_unique<sim::Transcript>(dir.file("t.jsonl"));
        server = std::make_unique<sim::Server>(*state, *faults, *transcript);
        auto link = std::make_unique<sim::UsbLink>(state->GetProfile().usb, state->GetProfile().name);
        name = link->DeviceName();
        server->AddUsb(std::move(link));
        host = std::make_unique<UsbHost>(); // libusb looks at the bus once the testbed is there
        m_thread = std::thread([this] { server->Run(m_stop); });
    }
    void StopServer() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    void OpenPrinter() {
        const sim::UsbSection& usb = state->GetProfile().usb;
        ASSERT_TRUE(host->Open(static_cast<uint16_t>(usb.vid), static_cast<uint16_t>(usb.pid)));
    }
    Bytes Exchange(const Bytes& request) {
        EXPECT_TRUE(host->Write(request));
        return host->ReadAnswer();
    }
    // Polls the transcript until it holds `text` (the server writes each line as it happens).
    bool WaitForTranscript(const std::string& text) {
        const uint64_t end = Clock::MonotonicMs() + 5000;
        while (SimTranscript(dir.file("t.jsonl")).Text().find(text) == std::string::npos) {
            if (Clock::MonotonicMs() >= end)
                return false;
            Clock::SleepMs(10);
        }
        return true;
    }

    TempDir dir;
    std::unique_ptr<sim::PrinterState> state;
    std::unique_ptr<sim::FaultInjector> faults;
    std::unique_ptr<sim::Transcript> transcript;
    std::unique_ptr<sim::Server> server;
    std::string name;
    std::unique_ptr<UsbHost> host;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    double m_savedScale = 1.0;
};

const ListedDevice* Find(const std::vector<ListedDevice>& devices, const std::string& name) {
    for (const ListedDevice& d : devices)
        if (d.name == name)
            return &d;
    return nullptr;
}

} // namespace

TEST_F(UsbPrinter, CommandsInSmallTransfersAndAnswersReadInPieces) {
    Start();
    ASSERT_NO_FATAL_FAILURE(OpenPrinter());
    ASSERT_TRUE(host->Write(SetValueCommand("7", "1"), 3));
    EXPECT_EQ(S(host->ReadAnswer()), "\x02<C5>\x06\x03"s);
    // The item answer is longer than a read of 5 bytes: the rest waits for the next reads.
    ASSERT_TRUE(host->Write(Command(0x04, {"7"})));
    EXPECT_EQ(S(host->ReadAnswer(1000, 5)), "\x02<C4><7><0><1>Speed\0<0><0><0><0><2>Low\0High\0<238>\x03"s);
    EXPECT_FALSE(host->ReadOnce(64, 100).has_value()); // nothing left over
}

TEST_F(UsbPrinter, ANewHostFindsNoAnswerLeftByTheLastOne) {
    Start();
    ASSERT_NO_FATAL_FAILURE(OpenPrinter());
    ASSERT_TRUE(host->Write(Command(0x01)));
    // The answer is waiting; this host leaves without reading it, and half a command.
    ASSERT_TRUE(WaitForTranscript("\"request\":\"C1\"")) << "the printer answered";
    ASSERT_TRUE(host->Write(B("\x1f\xff")));
    host->Close();
    ASSERT_NO_FATAL_FAILURE(OpenPrinter());
    EXPECT_EQ(S(Exchange(Command(0x02))), S(Printer(SmallProfile()).Send(Command(0x02)).answer));
    EXPECT_FALSE(host->ReadOnce(64, 100).has_value());
}

TEST_F(UsbPrinter, FaultsApplyButTheBusNeverHangsUp) {
    Start({"no-answer=C1#1", "drop=C2:3", "error=C3:42"});
    ASSERT_NO_FATAL_FAILURE(OpenPrinter());
    ASSERT_TRUE(host->Write(Command(0x01)));
    EXPECT_FALSE(host->ReadOnce(64, 200).has_value());
    EXPECT_EQ(S(Exchange(Command(0x01))), "\x02<C1><1.00>\x03"s);
    ASSERT_TRUE(host->Write(Command(0x02)));
    EXPECT_EQ(S(host->ReadAnswer(300)), "\x02<C");
    // Cut short, and still there for the next request.
    EXPECT_EQ(S(Exchange(Command(0x03))), "\x02<C3>\x15<ERR42>\x03"s);
}

TEST_F(UsbPrinter, ResetLeavesTheBusAndComesBackAtTheSamePlace) {
    Start();
    const std::vector<ListedDevice> before = host->List();
    ASSERT_NE(Find(before, name), nullptr);
    ASSERT_NO_FATAL_FAILURE(OpenPrinter());
    EXPECT_EQ(S(Exchange(SetValueCommand("7", "1"))), "\x02<C5>\x06\x03"s);
    ASSERT_TRUE(host->Write(Command(0x06)));
    ASSERT_TRUE(host->Write(Command(0x07)));
    ASSERT_TRUE(WaitListed(*host, name, false, 1000));
    EXPECT_FALSE(host->Write(Command(0x01))); // the old handle reaches nothing
    host->Close();
    ASSERT_TRUE(WaitListed(*host, name, true, 3000));
    const std::vector<ListedDevice> after = host->List();
    const ListedDevice* back = Find(after, name);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->portPath, Find(before, name)->portPath);
    EXPECT_NE(back->address, Find(before, name)->address);
    ASSERT_NO_FATAL_FAILURE(OpenPrinter());
    EXPECT_NE(S(Exchange(Command(0x04, {"7"}))).find("<0><0><1><2>"), std::string::npos); // stored
}

namespace {

// U1 over USB; the first settings token says whether the printer answers the program command there.
std::string U1Profile(const std::string& settings) {
    return SmallProfile(R"({"capabilities": 32, "upgrade": {"mode": "U1", "settings": ")" + settings +
                        R"(", "device_ids": "1;2;0", "firmware_after": "1.24"}})");
}

// One bank of 10 20 30 40: sum1 = 0xA0, sum2 = 0x10 + 0x21 + 0x32 + 0x43 = 0xA6.
const Bytes kOneBankTransfer = {0x1C, 0xFD, 0, 0, 0x10, 0x20, 0x30, 0x40, 0x1C, 0xFF, 0, 0, 0, 0xA0, 0, 0xA6};

} // namespace

TEST_F(UsbPrinter, ProgrammingAnswerIsReadBeforeThePrinterLeavesTheBus) {
    Start({}, U1Profile("1;"));
    ASSERT_NO_FATAL_FAILURE(OpenPrinter());
    ASSERT_TRUE(host->Write(kOneBankTransfer));
    ASSERT_TRUE(WaitForTranscript("\"request\":\"PROGRAM\"")); // answered: the printer restarts now
    EXPECT_EQ(host->ReadOnce(64, 3000), Bytes{0xAA});
    EXPECT_TRUE(WaitListed(*host, name, false, 3000));
}

TEST_F(UsbPrinter, WithoutProgrammingAnswerThePrinterLeavesAndReturnsWithTheNewRelease) {
    Start({}, U1Profile("0;"));
    ASSERT_NO_FATAL_FAILURE(OpenPrinter());
    ASSERT_TRUE(host->Write(kOneBankTransfer));
    ASSERT_TRUE(WaitListed(*host, name, false, 3000));
    EXPECT_FALSE(host->ReadOnce(64, 100).has_value());
    host->Close();
    ASSERT_TRUE(WaitListed(*host, name, true, 5000));
    ASSERT_NO_FATAL_FAILURE(OpenPrinter());
    EXPECT_EQ(S(Exchange(B("\x1d\x49\x03"))), "1.24") << SimTranscript(dir.file("t.jsonl")).Text();
    ASSERT_TRUE(WaitForTranscript("\"answered\":null"));
    EXPECT_NE(SimTranscript(dir.file("t.jsonl")).Text().find("no programming answer on USB"),
              std::string::npos);
}
