// The upgrade driver against a scripted printer: the exact bytes of each mode, the answer codes, the
// refusals that must leave the wire untouched, the release question and the stop request.
#include "UpgradeRig.h"

#include "base/CmdConsole.h"
#include "firmware/PSWComponents.h"
#include "upgrade/UpgradeModeU1.h"
#include "upgrade/UpgradeModeU3U5.h"

namespace {

const Bytes kSixBytes{1, 2, 3, 4, 5, 6};
const Bytes kEightBytes{1, 2, 3, 4, 5, 6, 7, 8};

struct Outcome {
    bool ok;
    std::string console;
};

class UpgradeDriverTest : public UpgradeRig {
protected:
    // Runs the upgrade the package's format selects with the printer's console lines captured.
    Outcome Upgrade(UpgradePrinter& driver, CommLayer& layer, PSWFile& psw, const std::string& mode,
                    const std::string& configuration = "1") {
        UpgradeDataInfo info = Info(mode, configuration);
        PSWComponents components = psw.GetComponents();
        CmdConsole::iShowToVideo = 1;
        testing::internal::CaptureStdout();
        const bool ok =
            psw.GetPswType() == 1
                ? driver.StartUpgrade_PSW2(info, layer, psw, settings, nullptr, nullptr, components)
                : driver.StartUpgrade_PSW1(info, layer, psw, settings, nullptr, nullptr, components);
        std::string console = testing::internal::GetCapturedStdout();
        CmdConsole::iShowToVideo = 0;
        return {ok, console};
    }
};

TEST_F(UpgradeDriverTest, ModeU1SendsTheBanksAndTheWholeImageSums) {
    fixtures::PackageDescription format1 = fixtures::StandardPackage(false, kSixBytes);
    format1.binNewVariant = false;
    format1.numBanks = 3;
    format1.bankSize = 2;
    for (const auto& desc : {Format2(kSixBytes, 3, 2), format1}) {
        script = std::make_shared<RigScript>();
        auto layer = OpenPrinter(COMM_SERIAL);
        const Bytes program{0x1C, 0xFF, 0x00, 0x02, 0x00, 21, 0x00, 16};
        script->ReplyTo(program, {Bytes{0x55, 0xAA}});
        auto psw = Load(desc);
        UpgradePrinter_ModeU1 driver(UpgradePrinter::kScopeFirmware, 1);
        EXPECT_TRUE(Upgrade(driver, *layer, *psw, "U1").ok);
        EXPECT_EQ(WritesFrom(Bytes{0x1C, 0xFD, 0x00, 0x02}),
                  (std::vector<Bytes>{{0x1C, 0xFD, 0x00, 0x02}, {1, 2}, {3, 4}, {5, 6}, program}));
    }
}

TEST_F(UpgradeDriverTest, ModeU1AnswerBytesDecideRetries) {
    struct Case {
        uint8_t answer;
        bool ok;
        int programCommands;
        const char* message;
    };
    const Case cases[] = {
        {0xAA, true, 1, ""},
        {0x99, false, 3, "You have problem during the upgrade procedure.  Please repeat the upgrade."},
        {0x88, false, 3, "Please send your printer to Velmar Technical Service."},
        {0x77, false, 3, "Please send your printer to Velmar Technical Service."},
        {0x66, false, 1, ""},
        {0x33, false, 1, ""},
        {0x44, false, 1, ""},
        {0x98, false, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        script = std::make_shared<RigScript>();
        auto layer = OpenPrinter(COMM_SERIAL);
        const Bytes program{0x1C, 0xFF, 0x00, 0x02, 0x00, 21, 0x00, 16};
        script->ReplyTo(program, {Bytes{c.answer}});
        auto psw = Load(Format2(kSixBytes, 3, 2));
        UpgradePrinter_ModeU1 driver(UpgradePrinter::kScopeFirmware, 1);
        const Outcome run = Upgrade(driver, *layer, *psw, "U1");
        EXPECT_EQ(run.ok, c.ok);
        EXPECT_EQ(script->CountWrites(program), c.programCommands);
        EXPECT_NE(driver.GetMessage().find(c.message), std::string::npos);
        EXPECT_EQ(run.console.find("This is the 3/3 try.") != std::string::npos, c.programCommands == 3);
    }
}

TEST_F(UpgradeDriverTest, ModeU1LearnsTheResultFromTheRestartWhereNoAnswerComes) {
    struct Case {
        CommPortType kind;
        const char* configuration;
        const char* printerRelease;
        const char* releaseAfter;
        bool ok;
    };
    const Case cases[] = {
        {COMM_USB_PRN, "0;x", "1.00", "", true},     // no answers over this USB printer: the restart counts
        {COMM_ETHERNET, "1", "1.00", "1.23", true},  // the printer comes back with the package's release
        {COMM_ETHERNET, "1", "1.00", "1.00", false}, // it comes back with the old one: not programmed
        {COMM_ETHERNET, "1", "1.23", "", true},      // same release: nothing to poll for
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        script = std::make_shared<RigScript>();
        script->releaseAfterProgram = c.releaseAfter;
        auto layer = OpenPrinter(c.kind, c.printerRelease);
        auto psw = Load(Format2(kSixBytes, 3, 2));
        UpgradePrinter_ModeU1 driver(UpgradePrinter::kScopeFirmware, 1);
        EXPECT_EQ(Upgrade(driver, *layer, *psw, "U1", c.configuration).ok, c.ok);
    }
}

TEST_F(UpgradeDriverTest, ModesU3AndU5SumEachBankOnItsOwn) {
    // U3: one group; the second sum restarts its position in every bank: (1+3) + (3+5) + (5+7).
    auto layer = OpenPrinter(COMM_ETHERNET);
    auto psw = Load(Format2(kSixBytes, 3, 2));
    UpgradePrinter_ModeU3 u3(UpgradePrinter::kScopeFirmware, 1);
    EXPECT_TRUE(Upgrade(u3, *layer, *psw, "U3").ok);
    EXPECT_EQ(WritesFrom(Bytes{0x1C, 0xFD, 0x00, 0x02}),
              (std::vector<Bytes>{
                  {0x1C, 0xFD, 0x00, 0x02}, {1, 2}, {3, 4}, {5, 6}, {0x1C, 0xFF, 0, 2, 0, 21, 0, 24}}));

    // U5: the code part, then bank 3 alone with its own sums; the last bank waits for no answer.
    script = std::make_shared<RigScript>();
    layer = OpenPrinter(COMM_ETHERNET);
    psw = Load(Format2(kEightBytes, 4, 2));
    UpgradePrinter_ModeU5 u5(UpgradePrinter::kScopeFirmware, 1);
    EXPECT_TRUE(Upgrade(u5, *layer, *psw, "U5").ok);
    EXPECT_EQ(WritesFrom(Bytes{0x1C, 0xFD, 0x00, 0x02}),
              (std::vector<Bytes>{{0x1C, 0xFD, 0x00, 0x02},
                                  {1, 2},
                                  {3, 4},
                                  {5, 6},
                                  {0x1C, 0xFF, 0, 2, 0, 21, 0, 24},
                                  {0x1C, 0xFD, 3, 3},
                                  {7, 8},
                                  {0x1C, 0xFF, 3, 3, 0, 15, 0, 16}}));
}

TEST_F(UpgradeDriverTest, GroupTransferWidensThePortAndRestoresIt) {
    auto layer = OpenPrinter(COMM_ETHERNET); // packet size 1000
    ComPort& port = *layer->GetComPort();
    port.SetWTimeout(300);
    std::vector<const uint8_t*> banks{kSixBytes.data(), kSixBytes.data() + 2};
    UpgradePrinter_ModeU3 u3(UpgradePrinter::kScopeFirmware, 1);
    ASSERT_TRUE(u3.SendBankFlashGeneric(*layer, banks, 2, 0, 0, true, nullptr));
    // Every write of the group, start and program commands included: (57344 / 1000 + 1) × 300.
    EXPECT_EQ(script->writeTimeouts, std::vector<unsigned>(4, 58 * 300));
    EXPECT_EQ(port.GetWriteTimeout(), 300u);
    EXPECT_EQ(port.GetPacketSize(), 1000u);
}

TEST_F(UpgradeDriverTest, ModeU5DataBanksWaitForTheirVerdict) {
    const Bytes tenBytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const Bytes bank3Program{0x1C, 0xFF, 3, 3, 0, 15, 0, 16};
    const Bytes bank4Start{0x1C, 0xFD, 4, 4};
    for (uint8_t verdict : {0xAA, 0x99, 0x33}) {
        SCOPED_TRACE(verdict);
        script = std::make_shared<RigScript>();
        auto layer = OpenPrinter(COMM_ETHERNET);
        script->ReplyTo(bank3Program, {Bytes{0x00, verdict, 0x00}}); // the first code byte decides
        auto psw = Load(Format2(tenBytes, 5, 2));
        UpgradePrinter_ModeU5 driver(UpgradePrinter::kScopeFirmware, 1);
        EXPECT_EQ(Upgrade(driver, *layer, *psw, "U5").ok, verdict == 0xAA);
        EXPECT_EQ(Wrote(bank4Start), verdict == 0xAA);
    }
}

TEST_F(UpgradeDriverTest, RefusalsLeaveTheWireUntouched) {
    fixtures::PackageDescription withoutSoftware = fixtures::StandardPackage(true, kSixBytes);
    const Bytes manyBanks(256, 0x5A);
    struct Case {
        const char* mode;
        fixtures::PackageDescription desc;
        unsigned packetSize;
        const char* console;
    };
    const Case cases[] = {
        {"U5", Format2(Bytes{1, 2, 3, 4}, 2, 2), 1000, "needs at least 3"},
        {"U3", Format2(kSixBytes, 3, 2), 0, "packet size of 0"},
        {"U1", Format2(manyBanks, 256, 1), 1000, "more than the 255"},
        {"U3", withoutSoftware, 1000, "without a firmware module"},
        {"U1", Format2(kSixBytes, 4, 2), 1000, "shorter than its 4 banks"},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.console);
        AddModule(c.desc, 'f', Bytes(64, 0x46)); // modules would otherwise go first
        script = std::make_shared<RigScript>();
        script->packetSize = c.packetSize;
        auto layer = OpenPrinter(COMM_USB_PRN);
        auto psw = Load(c.desc);
        auto driver = UpgradePrinter::GetUpgradeClass(c.mode[1] - '0', 0xFF, 1);
        const Outcome run = Upgrade(*driver, *layer, *psw, c.mode);
        EXPECT_FALSE(run.ok);
        EXPECT_TRUE(script->writes.empty());
        EXPECT_NE(run.console.find(c.console), std::string::npos) << run.console;
    }
    EXPECT_EQ(UpgradePrinter::GetUpgradeClass(7, 0xFF, 1), nullptr);
}

TEST_F(UpgradeDriverTest, ReleaseQuestionOnlyForSameOrOlderAndNoSkipsTheFirmware) {
    struct Case {
        const char* printerRelease;
        bool askFlag;
        bool answer;
        bool asked;
        bool sent;
    };
    const Case cases[] = {
        {"1.00", true, false, false, true},
        {"1.23", true, false, true, false},
        {"1.30", true, true, true, true},
        {"1.30", false, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.printerRelease);
        script = std::make_shared<RigScript>();
        auto layer = OpenPrinter(COMM_SERIAL, c.printerRelease);
        script->ReplyTo(Bytes{0x1C, 0xFF, 0x00, 0x02, 0x00, 21, 0x00, 16}, {Bytes{0xAA}});
        bool asked = false;
        SetAskFWUpgradeHandler([&](const std::string& printer, const std::string& package) {
            asked = printer == c.printerRelease && package == "1.23";
            return c.answer;
        });
        auto psw = Load(Format2(kSixBytes, 3, 2));
        UpgradePrinter_ModeU1 driver(UpgradePrinter::kScopeFirmware, 1);
        driver.setAskDiffConfirmation(c.askFlag);
        EXPECT_TRUE(Upgrade(driver, *layer, *psw, "U1").ok);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(Wrote(Bytes{0x1C, 0xFD, 0x00, 0x02}), c.sent);
    }
    SetAskFWUpgradeHandler(nullptr);
}

TEST_F(UpgradeDriverTest, ModuleAnswersTimesAndPackets) {
    struct Case {
        Bytes answer;
        bool ok;
    };
    const Case cases[] = {
        {{0x10, 0x20, 0xAA}, true},
        {{0x33}, false},
        {{0x44}, false},
        {{0x66}, false},
        {{0x95}, false},
        {{0x88}, false},
        {{0x77}, false},
        {{0x98}, false},
        {{0x12}, false}, // no verdict: time-out
    };
    const Bytes image = fixtures::PatternBytes(5000, 7);
    const Bytes lastPacket(image.begin() + 4096, image.end());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.back());
        script = std::make_shared<RigScript>();
        auto layer = OpenPrinter(COMM_USB_PRN);
        script->ReplyTo(lastPacket, {c.answer});
        UpgradePrinter driver(0xFF, 1);
        EXPECT_EQ(driver.SendModule(*layer, ModulesAvailable::FONT, image.data(), 5000, nullptr), c.ok);
        EXPECT_EQ(WritesFrom(Bytes(image.begin(), image.begin() + 4096)),
                  (std::vector<Bytes>{Bytes(image.begin(), image.begin() + 4096), lastPacket}));
        EXPECT_EQ(layer->GetComPort(), nullptr); // closed on every outcome
    }
    EXPECT_EQ(UpgradePrinter::ModuleExtraTimeMs(1024000), 0);
    EXPECT_EQ(UpgradePrinter::ModuleExtraTimeMs(1024001), 20000);
    EXPECT_EQ(UpgradePrinter::ModuleExtraTimeMs(2048000), 40000);
    EXPECT_EQ(UpgradePrinter::ModuleExtraTimeMs(3000000), 40000);
}

TEST_F(UpgradeDriverTest, ModuleScopeOtherKeepsTheFirmwareAndOtherModules) {
    fixtures::PackageDescription desc = Format2(kSixBytes, 3, 2);
    const Bytes fonts(64, 0x46);
    const Bytes other(64, 0x4F);
    AddModule(desc, 'f', fonts);
    AddModule(desc, 'x', other);
    auto layer = OpenPrinter(COMM_SERIAL);
    script->ReplyTo(Bytes{0x1C, 0xFF, 0x00, 0x02, 0x00, 21, 0x00, 16}, {Bytes{0xAA}});
    script->ReplyTo(other, {Bytes{0xAA}});
    auto psw = Load(desc);
    UpgradePrinter_ModeU1 driver(UpgradePrinter::kScopeFirmware | UpgradePrinter::kScopeOtherModules, 1);
    EXPECT_TRUE(Upgrade(driver, *layer, *psw, "U1").ok);
    EXPECT_TRUE(Wrote(other));
    EXPECT_FALSE(Wrote(fonts));
    EXPECT_TRUE(Wrote(Bytes{0x1C, 0xFD, 0x00, 0x02}));
}

TEST_F(UpgradeDriverTest, StopRequestsEndBeforeATransferNeverInsideOne) {
    fixtures::PackageDescription desc = Format2(kSixBytes, 3, 2);
    const Bytes logos(64, 0x4C); // sent after the firmware
    AddModule(desc, 'l', logos);
    const Bytes program{0x1C, 0xFF, 0x00, 0x02, 0x00, 21, 0x00, 16};

    auto layer = OpenPrinter(COMM_SERIAL);
    RequestUpgradeStop();
    auto psw = Load(desc);
    UpgradePrinter_ModeU1 before(0xFF, 1);
    Outcome run = Upgrade(before, *layer, *psw, "U1");
    EXPECT_FALSE(run.ok);
    EXPECT_TRUE(script->writes.empty());
    EXPECT_NE(run.console.find("Upgrade stopped before sending anything"), std::string::npos);

    ClearUpgradeStop();
    script = std::make_shared<RigScript>();
    layer = OpenPrinter(COMM_SERIAL);
    script->ReplyTo(program, {Bytes{0xAA}});
    script->ReplyTo(logos, {Bytes{0xAA}});
    script->stopOnWrite = Bytes{1, 2}; // the first bank
    psw = Load(desc);
    UpgradePrinter_ModeU1 during(0xFF, 1);
    run = Upgrade(during, *layer, *psw, "U1");
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(WritesFrom(Bytes{0x1C, 0xFD, 0x00, 0x02}),
              (std::vector<Bytes>{{0x1C, 0xFD, 0x00, 0x02}, {1, 2}, {3, 4}, {5, 6}, program}));
    EXPECT_FALSE(Wrote(logos));
    EXPECT_NE(run.console.find("finishing the transfer in progress"), std::string::npos);
}

} // namespace
