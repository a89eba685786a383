// The upgrade and module session operations: the package fit rules and the last error of every
// refusal, with the port closed whichever way the operation ends.
#include "UpgradeRig.h"

#include "firmware/ModuleData.h"
#include "firmware/PSWHeaders.h"
#include "upgrade/UpgradeSession.h"

namespace {

TEST(UpgradeSessionFit, FamilyModelAndOrloCustomizations) {
    struct Case {
        const char* printerIds;
        int family, model, customization;
        DalvoraError error;
        bool ask;
    };
    const Case cases[] = {
        {"0;2;3", 7, 2, 3, 0, true},   // family 0 takes any package family
        {"4;2;3", 5, 2, 3, 9, false},  // families differ
        {"1;2;3", 1, 9, 3, 9, false},  // models differ
        {"1;2;3", 1, 2, 3, 0, true},   // same customization: the caller's choice stands
        {"1;2;0", 1, 2, 30, 9, false}, // standard printer, ORLO package
        {"1;2;20", 1, 2, 0, 0, false}, // ORLO printer, standard package: go on without asking
        {"1;2;20", 1, 2, 47, 0, false}, {"1;2;3", 1, 2, 0, 9, false}, // neither rule applies
        {"1;2;48", 1, 2, 0, 9, false},                                // 48 is past the ORLO range
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.printerIds);
        UpgradeDataInfo printer;
        ASSERT_TRUE(printer.SetUpgradeDeviceIDs(c.printerIds));
        PSWHeaderUpgrade package;
        package.iIDFamily = c.family;
        package.iIDModel = c.model;
        package.iIDCustomization = c.customization;
        const UpgradeSession::PackageFit fit = UpgradeSession::CheckPackageFit(printer, package, true);
        EXPECT_EQ(fit.error, c.error);
        EXPECT_EQ(fit.askConfirmation, c.ask);
    }
}

class UpgradeSessionTest : public UpgradeRig {
protected:
    void SetUp() override {
        UpgradeRig::SetUp();
        settings.type = COMM_SERIAL;
        settings.comPortName = "/dev/ttyS9";
        settings.baudRate = 115200;
    }
    // A printer answering the session's requests; an empty text leaves a request unanswered.
    void Answers(const std::string& capabilities, const std::string& upgradeInfo,
                 const std::string& modules = "", bool version = true) {
        auto reply = [this](const auto& command, const std::string& answer) {
            if (!answer.empty())
                script->ReplyTo(B(command), {PortScript::Of(answer)});
        };
        reply(Commands::Cmd_CommandGetProtVer, version ? "\x02<C1><1.00>\x03" : "");
        reply(Commands::Cmd_CommandDataAvailable,
              capabilities.empty() ? "" : "\x02<C40><" + capabilities + ">\x03");
        reply(Commands::Cmd_CommandUpgradeInfo,
              upgradeInfo.empty() ? "" : "\x02<C112>" + upgradeInfo + "\x03");
        reply(Commands::Cmd_CommandModulesList, modules);
    }
    CommLayer Layer() {
        return CommLayer([this](CommPortType k) -> std::unique_ptr<ComPort> {
            return std::make_unique<RigPort>(script, k);
        });
    }
};

TEST_F(UpgradeSessionTest, UpgradeRefusalsSetTheirLastErrorAndClose) {
    struct Case {
        const char* name;
        std::string capabilities;
        std::string upgradeInfo;
        int openFailures;
        DalvoraError error;
    };
    const Case cases[] = {
        {"port", "$0x25", "<U1><1><1;2;3>", 100, 6},
        {"no version", "", "", 0, 7},
        {"no capabilities", "", "", 0, 2},
        {"no firmware upgrade offered", "$0x05", "<U1><1><1;2;3>", 0, 24},
        {"no upgrade information", "$0x25", "", 0, 2},
        {"family", "$0x25", "<U1><1><4;2;3>", 0, 9},
        {"mode without a procedure", "$0x25", "<U2><1><1;2;3>", 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        script = std::make_shared<RigScript>();
        script->openFailures = c.openFailures;
        Answers(c.capabilities, c.upgradeInfo, "", std::string(c.name) != "no version");
        CommLayer layer = Layer();
        auto psw = Load(Format2({1, 2, 3, 4, 5, 6}, 3, 2));
        UpgradeSession session(0xFF, 1);
        EXPECT_FALSE(session.PrnCom_UpgradePrinter(&layer, psw.get(), &settings, nullptr, false));
        EXPECT_EQ(session.GetLastError(), c.error);
        EXPECT_EQ(layer.GetComPort(), nullptr);
        EXPECT_FALSE(Wrote(Bytes{0x1C, 0xFD, 0x00, 0x02}));
    }

    // A package without an upgrade header is refused before the port is touched.
    script = std::make_shared<RigScript>();
    fixtures::PackageDescription plain = fixtures::StandardPackage(true, {1, 2});
    std::get<fixtures::SoftwareSlot>(plain.slots[1]).bex = 0;
    PSWFile psw;
    const Bytes bytes = fixtures::WritePackage(plain);
    ASSERT_TRUE(psw.LoadPSWFromMemory(bytes.data(), static_cast<int>(bytes.size()), false));
    CommLayer layer = Layer();
    UpgradeSession session(0xFF, 1);
    EXPECT_FALSE(session.PrnCom_UpgradePrinter(&layer, &psw, &settings, nullptr, false));
    EXPECT_EQ(session.GetLastError(), UpgradeSession::kErrorPackageNotForThisSystem);
    EXPECT_TRUE(script->opens.empty());
}

TEST_F(UpgradeSessionTest, AFittingPackageRunsTheModeAndClosesThePort) {
    Answers("$0x25", "<U1><1><1;2;3>");
    script->ReplyTo(B(Commands::Cmd_CommandGetGSI), {Bytes{0x42}});
    script->ReplyTo(B(Commands::Cmd_CommandGetFWREL), {PortScript::Of("1.00")});
    const Bytes program{0x1C, 0xFF, 0x00, 0x02, 0x00, 21, 0x00, 16};
    script->ReplyTo(program, {Bytes{0xAA}});
    CommLayer layer = Layer();
    auto psw = Load(Format2({1, 2, 3, 4, 5, 6}, 3, 2));
    UpgradeSession session(1, 1);
    EXPECT_TRUE(session.PrnCom_UpgradePrinter(&layer, psw.get(), &settings, nullptr, true));
    EXPECT_EQ(session.GetLastError(), 0);
    EXPECT_EQ(script->CountWrites(program), 1);
    EXPECT_EQ(layer.GetComPort(), nullptr);
}

TEST_F(UpgradeSessionTest, ModuleTransferNeedsTheGroupAndGoesOnForUnlistedModules) {
    ModuleData module;
    const Bytes file = fixtures::WriteModuleFile(fixtures::StandardModule('F'));
    ASSERT_TRUE(module.LoadModuleFromMemory(file.data(), static_cast<int>(file.size())));
    const Bytes lastPacket(file.end() - static_cast<long>(file.size() % 4096), file.end());
    const std::string list = std::string("\x02<C64><1>OTHER") + '\0' + "\x03";
    struct Case {
        const char* capabilities;
        std::string modules;
        bool ok;
        DalvoraError error;
    };
    const Case cases[] = {
        {"$0x21", list, false, UpgradeSession::kErrorModulesNotOffered},
        {"$0x05", "", false, 7},
        {"$0x05", list, true, 0}, // not in the list: sent anyway
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capabilities);
        script = std::make_shared<RigScript>();
        Answers(c.capabilities, "", c.modules);
        script->ReplyTo(B(Commands::Cmd_CommandGetGSI), {Bytes{0x42}});
        script->ReplyTo(B(Commands::Cmd_CommandGetFWREL), {PortScript::Of("1.00")});
        script->ReplyTo(lastPacket, {Bytes{0xAA}});
        CommLayer layer = Layer();
        UpgradeSession session(0xFF, 1);
        EXPECT_EQ(session.PrnCom_WriteModule(&layer, &module, &settings, nullptr), c.ok);
        EXPECT_EQ(session.GetLastError(), c.error);
        EXPECT_EQ(Wrote(lastPacket), c.ok);
        EXPECT_EQ(layer.GetComPort(), nullptr);
    }
}

} // namespace
