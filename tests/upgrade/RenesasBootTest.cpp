// Modes U2 and U4 against a scripted printer and boot loader: the boot commands in their order, the
// security steps the loader's release decides, the new boot loader's answers, one retry per bank, and
// the refusals that must come before any frame. (What the frames carry is checked by the simulated
// boot device in the end-to-end suite.)
#include "RenesasBootRig.h"

#include "base/CmdConsole.h"
#include "firmware/PSWComponents.h"

namespace {

class RenesasBootTest : public UpgradeRig {
protected:
    // A fresh printer and boot loader for the next case.
    void Reset() { boot = std::make_shared<BootScript>(); }
    // Opens the printer on a USB port whose re-opens and boot-device opens all reach `boot`.
    std::unique_ptr<CommLayer> OpenBootPrinter() {
        script = boot;
        auto layer = std::make_unique<CommLayer>([this](CommPortType k) -> std::unique_ptr<ComPort> {
            return std::make_unique<BootRigPort>(boot, k);
        });
        layer->Open(COMM_USB_PRN, "0DD4|0195|X1", 115200, 0, 700);
        boot->ReplyTo(B(Commands::Cmd_CommandGetGSI), {Bytes{0x42}});
        boot->ReplyTo(B(Commands::Cmd_CommandGetFWREL), {PortScript::Of("1.00")});
        boot->ReplyTo({0x1C, 0x4C, 0x49}, {PortScript::Of("BOOT_RST")});
        return layer;
    }
    static std::unique_ptr<UpgradePrinter> Driver(int mode) {
        if (mode == 2)
            return std::make_unique<OnScriptedBus<UpgradePrinter_ModeU2>>(UpgradePrinter::kScopeFirmware, 1);
        return std::make_unique<OnScriptedBus<UpgradePrinter_ModeU4>>(UpgradePrinter::kScopeFirmware, 1);
    }
    // Programs `image`; the console.
    std::string Program(UpgradePrinter& driver, CommLayer& layer, const Bytes& image, bool& ok) {
        auto psw = Load(Format2(image, 1, static_cast<uint32_t>(image.size())));
        UpgradeDataInfo info = Info(driver.GetUpgradeMode() == 2 ? "U2" : "U4");
        PSWComponents components = psw->GetComponents();
        CmdConsole::iShowToVideo = 1;
        testing::internal::CaptureStdout();
        ok = driver.StartUpgrade_PSW2(info, layer, *psw, settings, nullptr, nullptr, components);
        CmdConsole::iShowToVideo = 0;
        return testing::internal::GetCapturedStdout();
    }
    std::vector<uint8_t> BootCommandBytes() const {
        std::vector<uint8_t> firsts;
        for (const Bytes& w : boot->bootWrites)
            firsts.push_back(w[0]);
        return firsts;
    }
    std::vector<Bytes> Frames() const {
        std::vector<Bytes> frames;
        for (const Bytes& w : boot->bootWrites)
            if (w[0] == 0x50 && w.size() > 6)
                frames.push_back(w);
        return frames;
    }
    bool BootGot(uint8_t command) const {
        return std::any_of(boot->bootWrites.begin(), boot->bootWrites.end(),
                           [&](const Bytes& w) { return w[0] == command; });
    }

    std::shared_ptr<BootScript> boot = std::make_shared<BootScript>();
};

const std::vector<uint8_t> kConnection{0x55, 0x27, 0x10, 0x11, 0x25, 0x3F, 0x06, 0x40, 0x4F, 0x4D, 0x62};
const std::vector<uint8_t> kProgramming{0x4F, 0x43, 0x50, 0x50, 0x50, 0x50, 0x7A};

} // namespace

// The whole dialogue of each mode: U2 reads the loader's release and saves its security from 1.00 on
// (byte order, not numbers: "0.99" sorts below), the new loader (0x15) adds its own save and answers
// 0x52 in the status and blank check; U4 has neither and never resets.
TEST_F(RenesasBootTest, EachModeSpeaksItsDialogue) {
    struct Case {
        int mode;
        std::string release;
        bool newLoader;
        std::vector<uint8_t> security;
    };
    const Case cases[] = {{2, "1.00", false, {0x32, 0x33}},
                          {2, "0.99", false, {0x32}},
                          {2, "1.00", true, {0x32, 0x33, 0x34}},
                          {4, "1.00", false, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode * 1000 + (c.newLoader ? 100 : 0) + (c.release == "0.99" ? 1 : 0));
        Reset();
        boot->release = c.release;
        boot->newLoader = c.newLoader;
        auto layer = OpenBootPrinter();
        bool ok = false;
        Program(*Driver(c.mode), *layer, fixtures::PatternBytes(512, 7), ok);
        EXPECT_TRUE(ok);
        std::vector<uint8_t> expected(kConnection);
        expected.insert(expected.begin() + 1, c.security.begin(), c.security.end());
        expected.insert(expected.end(), kProgramming.begin(), kProgramming.end());
        expected.insert(expected.end() - 1, 0x50); // the terminate frame
        if (c.mode == 2)
            expected.push_back(0x31);
        EXPECT_EQ(BootCommandBytes(), expected);
    }
}

// The new loader's programming step insists on 0x52 in the status: an old-style 0x00 there is refused.
TEST_F(RenesasBootTest, NewLoaderStatusWithoutItsMarkIsRefused) {
    boot->newLoader = true;
    boot->override[0x4F] = {0x5F, 0x02, 0x3F, 0x00, 0};
    auto layer = OpenBootPrinter();
    bool ok = true;
    Program(*Driver(2), *layer, fixtures::PatternBytes(256, 1), ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(Frames().empty());
    EXPECT_EQ(BootCommandBytes().back(), 0x31); // the loader is reset, not left waiting
}

// A boot loader whose release cannot be asked for is a case for the maker's service; it is still reset.
TEST_F(RenesasBootTest, AReleaseRequestThatCannotBeWrittenNamesTheService) {
    boot->failCommand = 0x32;
    auto layer = OpenBootPrinter();
    bool ok = true;
    const std::string console = Program(*Driver(2), *layer, fixtures::PatternBytes(256, 1), ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(console.find("Impossible to retrieve bootloader release. Contact VELMAR Technical Service"),
              std::string::npos);
    EXPECT_EQ(BootCommandBytes(), (std::vector<uint8_t>{0x55, 0x31}));
}

// An image that is no whole number of frames, and a loader that reports 0 as its frame size, are
// refused before the first frame; the U2 loader is reset rather than left holding the printer.
TEST_F(RenesasBootTest, ImagesThatFramesCannotCarryAreRefusedBeforeAnyFrame) {
    struct Case {
        size_t imageSize;
        uint16_t programmingSize;
    };
    for (const Case c : {Case{1000, 128}, Case{512, 0}}) {
        SCOPED_TRACE(c.imageSize);
        Reset();
        boot->programmingSize = c.programmingSize;
        auto layer = OpenBootPrinter();
        bool ok = true;
        Program(*Driver(2), *layer, fixtures::PatternBytes(c.imageSize, 3), ok);
        EXPECT_FALSE(ok);
        EXPECT_FALSE(BootGot(0x50));
        EXPECT_EQ(BootCommandBytes().back(), 0x31);
    }
}

// A rejected frame is sent once more without a second progress line; a second rejection of the same
// bank ends the upgrade (U2 resets the loader, U4 never writes 0x31).
TEST_F(RenesasBootTest, EachBankGetsOneRetryAndProgressCountsItOnce) {
    struct Case {
        int mode;
        std::vector<Bytes> answers; // for frames 1, 2, ...
        bool ok;
        size_t frames;
    };
    const Case cases[] = {
        {2, {{0x06}, {0xD0}, {0x06}}, true, 5}, // the error byte is missing: still a rejection
        {4, {{0xD0, 0x2A}, {0x15}}, false, 2},
        {4, {{0x06}, {0x06}, {0x06}, {0xD0, 0x11}, {0x06}}, true, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers.size() * 10 + c.mode);
        Reset();
        boot->frameAnswers.assign(c.answers.begin(), c.answers.end());
        auto layer = OpenBootPrinter();
        bool ok = !c.ok;
        const std::string console = Program(*Driver(c.mode), *layer, fixtures::PatternBytes(512, 9), ok);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(Frames().size(), c.frames);
        for (const char* line :
             {"Sending bank 1/4 (25%)", "Sending bank 2/4 (50%)", "Sending bank 4/4 (100%)"}) {
            const size_t first = console.find(line);
            EXPECT_EQ(console.find(line, first == std::string::npos ? first : first + 1), std::string::npos)
                << line << " twice";
        }
        EXPECT_NE(console.find("Sending bank 1/4 (25%)"), std::string::npos);
        EXPECT_EQ(BootGot(0x31), c.mode == 2); // U2 resets after success and failure alike
        EXPECT_EQ(BootGot(0x7A), c.ok);
    }
}
