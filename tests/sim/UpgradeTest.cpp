// The printer's loader fed from the host's side of the wire: bank groups (send-banks command, the
// banks, the program command with the two sums worked out by hand), U5's code part and data banks,
// module files as a packager writes them, the result bytes, the new release, and the upgrade faults.
// The restart over TCP and its transfer records are seen by the end-to-end upgrade runs.
#include "tests/sim/SimHarness.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace simtest;

namespace {

// 300 bytes of 0xFF as three banks of 100. Over the whole group sum1 = 300 * 255 = 0x2AD4 (mod 65536) and
// sum2 = sum of (255 ^ i) = 32640 + 21538 = 0xD3A2; with the index restarting in every bank
// sum2 = 3 * sum of (255 - i), i < 100, = 0xF0D2. One bank alone: 0x639C and 0x5046.
const Bytes kImage(300, 0xFF);
const Bytes kBank(100, 0xFF);

Bytes SendBanks(uint8_t first, uint8_t last) {
    return {0x1C, 0xFD, first, last};
}

Bytes Program(const Bytes& banks, uint8_t first, uint8_t last, uint16_t sum1, uint16_t sum2) {
    Bytes out = banks;
    for (uint8_t b : {uint8_t{0x1C}, uint8_t{0xFF}, first, last, uint8_t(sum1 >> 8), uint8_t(sum1),
                      uint8_t(sum2 >> 8), uint8_t(sum2)})
        out.push_back(b);
    return out;
}

std::string UpgradeProfile(const std::string& mode, const std::string& extra = "") {
    return SmallProfile(R"({"capabilities": "0x35", "upgrade": {"mode": ")" + mode +
                        R"(", "settings": "1;", "device_ids": "1;2;0", "firmware_after": "1.24",
                            "restart_ms": 1000)" +
                        extra + "}}");
}

// A module file as a packager writes it: text header with the byte-order mark at offset 10, zero padded
// to 4102 bytes, the payload, two spare bytes, and the two sums of offsets 6 .. L-7, high byte first.
Bytes ModuleFile(char id, size_t payload) {
    const size_t length = 4102 + payload + 6;
    const std::string header = "MOD01\nBOM:B\nREL:1.05\nMOD_ID:" + std::string(1, id) +
                               "\nDATE:250304\nCODE:F1\nFILE_SIZE:" + std::to_string(length - 12) + "\n";
    Bytes file(header.begin(), header.end());
    file.resize(4102, 0);
    for (size_t i = 0; i < payload; ++i)
        file.push_back(static_cast<uint8_t>(i * 31));
    file.resize(length - 4, 0);
    uint16_t sum1 = 0, sum2 = 0;
    for (size_t i = 6; i < length - 6; ++i) {
        sum1 = static_cast<uint16_t>(sum1 + file[i]);
        sum2 = static_cast<uint16_t>(sum2 + (file[i] ^ ((i - 6) & 0xFFFF)));
    }
    for (uint16_t s : {sum1, sum2}) {
        file.push_back(static_cast<uint8_t>(s >> 8));
        file.push_back(static_cast<uint8_t>(s));
    }
    return file;
}

// The answer byte and what the printer does next.
struct Result {
    Bytes answer;
    bool restart;
    std::string release;
};

Result Transfer(Printer& printer, const Bytes& banks, uint8_t first, uint8_t last, uint16_t sum1,
                uint16_t sum2) {
    EXPECT_FALSE(printer.Send(SendBanks(first, last)).answered);
    const sim::Outcome o = printer.Send(Program(banks, first, last, sum1, sum2));
    return {o.answer, o.restart, printer.state.Firmware()};
}

TEST(Loader, SumsFollowTheModeAndOnlyRightSumsInstall) {
    Printer u1(UpgradeProfile("U1"));
    Result r = Transfer(u1, kImage, 0, 2, 0x2AD4, 0xF0D2); // per-bank sums: wrong for U1
    EXPECT_EQ(r.answer, Bytes{0x99});
    EXPECT_FALSE(r.restart);
    EXPECT_EQ(r.release, "FW 1.0");
    r = Transfer(u1, kImage, 0, 2, 0x2AD4, 0xD3A2);
    EXPECT_EQ(r.answer, Bytes{0xAA});
    EXPECT_TRUE(r.restart);
    EXPECT_EQ(r.release, "1.24");
    EXPECT_EQ(S(u1.Send(B("\x1d\x49\x03")).answer), "1.24");

    Printer u3(UpgradeProfile("U3"));
    EXPECT_EQ(Transfer(u3, kImage, 0, 2, 0x2AD4, 0xD3A2).answer, Bytes{0x99});
    EXPECT_EQ(Transfer(u3, kImage, 0, 2, 0x2AD4, 0xF0D2).answer, Bytes{0xAA});
}

TEST(Loader, U5CodePartRestartsDataBanksAreAnsweredAndTheLastRestartsAgain) {
    Printer u5(UpgradeProfile("U5", R"(, "banks": 5)"));
    const Result code = Transfer(u5, kImage, 0, 2, 0x2AD4, 0xF0D2);
    EXPECT_EQ(code.answer, Bytes{0xAA});
    EXPECT_TRUE(code.restart);
    EXPECT_EQ(code.release, "1.24");
    // Bank 3 holds what looks like its program command at offset 8, and a piece of the stream ends right
    // after it: a bank is 100 bytes, so the transfer goes on. Sums: 0x1C + 0xFF + 3 + 3 + 92 * 255 =
    // 0x5CC5; (2012 for 8 x 0xFF) + 20 + 246 + 9 + 8 + (12 + 13 + 14 + 15) + 16590 (255 - i, i = 16..99)
    // = 0x49FB.
    Bytes bank3(8, 0xFF);
    for (uint8_t b : {0x1C, 0xFF, 3, 3, 0, 0, 0, 0})
        bank3.push_back(b);
    bank3.resize(100, 0xFF);
    Bytes stream = SendBanks(3, 3);
    stream.reserve(stream.size() + 16); // spares g++ 12 a false out-of-bounds warning on the growth
    stream.insert(stream.end(), bank3.begin(), bank3.begin() + 16);
    std::vector<sim::Request> requests;
    u5.recogniser.Feed(stream.data(), stream.size(), requests);
    stream = Program(Bytes(bank3.begin() + 16, bank3.end()), 3, 3, 0x5CC5, 0x49FB);
    u5.recogniser.Feed(stream.data(), stream.size(), requests);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].payload, bank3);
    const sim::Outcome data = u5.session.Handle(requests[1]);
    EXPECT_EQ(data.answer, Bytes{0xAA});
    EXPECT_FALSE(data.restart);
    EXPECT_EQ(Transfer(u5, kBank, 4, 4, 0x639C, 0x5047).answer, Bytes{0x99}); // one off: not installed
    const Result last = Transfer(u5, kBank, 4, 4, 0x639C, 0x5046);
    EXPECT_EQ(last.answer, Bytes{0xAA});
    EXPECT_TRUE(last.restart);
    std::vector<std::string> parts;
    for (const auto& t : u5.state.Transfers())
        parts.push_back(t.part + std::to_string(t.firstBank) + (t.installed ? "+" : "-"));
    EXPECT_EQ(parts, (std::vector<std::string>{"code0+", "data3+", "data4-", "data4+"}));
}

TEST(Loader, ModulesAreCheckedByTheirSumsAndIdAndArriveInAnyPieces) {
    Printer printer(UpgradeProfile("U3", R"(, "module_ids": "FL")"));
    const Bytes module = ModuleFile('F', 5000);
    // After the release request, in pieces that cut the header and the size line.
    std::vector<sim::Request> requests;
    Bytes stream = B("\x18\x1d\x49\x03");
    stream.insert(stream.end(), module.begin(), module.end());
    for (size_t at = 0; at < stream.size(); at += 7)
        printer.recogniser.Feed(stream.data() + at, std::min<size_t>(7, stream.size() - at), requests);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].Name(), "MODULE");
    const sim::Outcome ok = printer.session.Handle(requests[2]);
    EXPECT_EQ(ok.answer, Bytes{0xAA});
    EXPECT_TRUE(ok.restart);
    ASSERT_TRUE(ok.transfer.has_value());
    EXPECT_EQ(std::tie(ok.transfer->moduleType, ok.transfer->bytes), std::make_tuple(1, module.size()));

    Bytes spoilt = module;
    spoilt[5000] ^= 0x01;
    EXPECT_EQ(printer.Send(spoilt).answer, Bytes{0x44});
    const sim::Outcome refused = printer.Send(ModuleFile('E', 10));
    EXPECT_EQ(refused.answer, Bytes{0x33}); // a Bluetooth module this loader does not take
    EXPECT_FALSE(refused.restart);
}

TEST(Loader, FaultsSpoilEachStep) {
    const Bytes module = ModuleFile('L', 100);
    Printer printer(UpgradeProfile("U1"));
    printer.faults = sim::FaultInjector([] {
        sim::FaultSet set;
        for (const char* f : {"bad-sum=PROGRAM#1", "answer=PROGRAM#2:0x77", "slow-restart=PROGRAM#3:9000",
                              "other-release=2.00", "no-return=MODULE#1", "answer=MODULE#2:0x98"})
            sim::AddFault(set, f);
        return set;
    }());
    EXPECT_EQ(Transfer(printer, kImage, 0, 2, 0x2AD4, 0xD3A2).answer, Bytes{0x99});
    const Result flashError = Transfer(printer, kImage, 0, 2, 0x2AD4, 0xD3A2);
    EXPECT_EQ(flashError.answer, Bytes{0x77});
    EXPECT_FALSE(flashError.restart);
    EXPECT_EQ(flashError.release, "FW 1.0");
    (void)printer.Send(SendBanks(0, 2));
    const sim::Outcome slow = printer.Send(Program(kImage, 0, 2, 0x2AD4, 0xD3A2));
    EXPECT_EQ(slow.restartMs, 9000u);
    EXPECT_FALSE(slow.neverReturn);
    EXPECT_EQ(printer.state.Firmware(), "2.00");
    const sim::Outcome gone = printer.Send(module);
    EXPECT_TRUE(gone.restart && gone.neverReturn);
    EXPECT_EQ(printer.Send(module).answer, Bytes{0x98});
}

} // namespace
