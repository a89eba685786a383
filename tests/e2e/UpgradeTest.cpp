// --upgrade end to end: the real dalvora sends packages and module files to the real simulator, which
// judges every byte it receives. Each mode over each port the printer offers, the -c choices, the
// refusals that must come before the first image byte, the printer's faults at each step, and Ctrl-C.
#include "tests/e2e/SimPrinter.h"
#include "tests/e2e/UpgradeFiles.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

enum class Port { Tcp, Pty, Usb, UsbSilent }; // UsbSilent: no programming answer over USB

const char* PortName(Port port) {
    static const char* const kNames[] = {"tcp", "pty", "usb", "usb without programming answer"};
    return kNames[static_cast<int>(port)];
}

struct Outcome {
    ProcessResult result;
    std::vector<SimTransfer> transfers;
    std::vector<std::string> order;
    std::vector<std::string> requests;
};

// The printer the packages are made for, in the given mode.
std::vector<std::string> PrinterFor(const std::string& mode, int banks = 4) {
    return {"upgrade.mode=" + mode, "upgrade.device_ids=1;2;3", "upgrade.banks=" + std::to_string(banks)};
}

Outcome Collect(ProcessResult result, const SimTranscript& transcript) {
    return {std::move(result), transcript.Transfers(), transcript.TransferOrder(), transcript.Requests()};
}

Outcome RunUpgrade(Port port, std::vector<std::string> sets, const std::vector<std::string>& faults,
                   const std::vector<std::string>& args, int limitMs = 90000) {
    const std::vector<std::string> command = Args({"--upgrade", "-v"}, args);
    if (port == Port::Usb || port == Port::UsbSilent) {
        sets.push_back(std::string("upgrade.settings=") + (port == Port::Usb ? "1;" : "0;"));
        TempDir dir;
        SimTranscript transcript(dir.file("transcript.jsonl"));
        std::vector<std::string> simArgs{"--transcript", transcript.Path()};
        for (const std::string& set : sets)
            simArgs.insert(simArgs.end(), {"--set", set});
        for (const std::string& fault : faults)
            simArgs.insert(simArgs.end(), {"--fault", fault});
        return Collect(DalvoraOverUsb(simArgs, command, limitMs), transcript);
    }
    SimPrinter printer({.faults = faults, .pty = port == Port::Pty, .sets = sets});
    EXPECT_TRUE(printer.Started());
    return Collect(Dalvora(Args(command, printer.DeviceArgs()), limitMs), printer.Log());
}

// Every transfer carried exactly the bytes of the file it came from, and the printer installed it.
void ExpectFaithful(const Outcome& o, const UpgradeFile& file, uint32_t bankSize, const std::string& name) {
    for (const SimTransfer& t : o.transfers) {
        size_t offset = 0;
        size_t length = file.firmware.size();
        if (t.kind == "module") {
            ASSERT_EQ(file.modules.count(t.part[0]), 1u) << name << ": module " << t.part;
            EXPECT_EQ(t.sha256, Sha256Of(file.modules.at(t.part[0]))) << name << ": module " << t.part;
            EXPECT_EQ(t.bytes, file.modules.at(t.part[0]).size()) << name;
        } else {
            offset = static_cast<size_t>(t.firstBank) * bankSize;
            length = static_cast<size_t>(t.lastBank - t.firstBank + 1) * bankSize;
            EXPECT_TRUE(t.part != "image" || length == file.firmware.size()) << name << ": the whole image";
            EXPECT_EQ(t.sha256, Sha256Of(file.firmware, offset, length)) << name << ": banks " << t.firstBank;
            EXPECT_EQ(t.bytes, length) << name;
        }
        EXPECT_EQ(t.sums, "ok") << name;
        EXPECT_TRUE(t.installed) << name << ": " << t.kind << " " << t.part << " answered " << t.answer;
    }
}

bool NothingSent(const Outcome& o) {
    return o.transfers.empty() && std::count(o.requests.begin(), o.requests.end(), "BANKS") == 0 &&
           std::count(o.requests.begin(), o.requests.end(), "MODULE") == 0;
}

const std::vector<std::string> kFirmware{"firmware:image"};

struct ModeCase {
    std::string mode;
    Port port;
    PackageShape package;
    std::vector<std::string> order;
};

void RunModeCases(const std::vector<ModeCase>& cases) {
    for (const ModeCase& c : cases) {
        const std::string name = c.mode + " over " + PortName(c.port) + ", format " +
                                 std::to_string(c.package.format) + " with modules '" + c.package.modules +
                                 "'";
        TempDir dir;
        const UpgradeFile file = WriteUpgradePackage(dir, c.package);
        const Outcome o = RunUpgrade(c.port, PrinterFor(c.mode, c.package.banks), {}, {"-f", file.path});
        EXPECT_FALSE(o.result.timedOut) << name;
        EXPECT_EQ(o.result.exitCode, 0) << name << "\n" << o.result.out << o.result.err;
        EXPECT_TRUE(Has(o.result.out, "PSW FILE INFO:\n")) << name;
        EXPECT_TRUE(Has(o.result.out, "OPERATION SUCCESS\n")) << name;
        // U1 tells when the printer programs the image; U3 and U5 count the banks they send.
        EXPECT_TRUE(Has(o.result.out, c.mode == "U1" ? "Programming Firmware..." : "Sending bank..."))
            << name;
        EXPECT_EQ(o.order, c.order) << name;
        ExpectFaithful(o, file, c.package.bankSize, name);
    }
}

} // namespace

// Format 1 never carries modules; in U1 and U3 the fonts and disk go before the firmware and the
// logos and other modules after it, while U5 sends every module after the firmware.
TEST(UpgradeE2e, EachModeOverTcpAndSerialSendsTheExactImageAndModulesInItsOrder) {
    RunModeCases({
        {"U1",
         Port::Tcp,
         {.modules = "fdlo"},
         {"module:F", "module:D", "firmware:image", "module:L", "module:E"}},
        {"U1", Port::Pty, {.format = 1, .banks = 3, .bankSize = 1000}, kFirmware},
        {"U1", Port::Tcp, {.format = 1, .banks = 2, .scrambleByte = 0x5B}, kFirmware},
        {"U3", Port::Tcp, {.format = 1}, kFirmware},
        {"U3", Port::Pty, {.modules = "fl"}, {"module:F", "firmware:image", "module:L"}},
        {"U5", Port::Tcp, {.modules = "lf"}, {"firmware:code", "firmware:data", "module:L", "module:F"}},
        {"U5", Port::Tcp, {.banks = 3}, {"firmware:code"}}, // the code part alone: no data part
        {"U5",
         Port::Pty,
         {.format = 1, .banks = 6},
         {"firmware:code", "firmware:data", "firmware:data", "firmware:data"}},
    });
}

#if DALVORA_UPGRADE_OVER_USB
TEST(UpgradeE2e, EachModeOverUsbSendsTheExactImageAndModulesInItsOrder) {
    RunModeCases({
        {"U1", Port::Usb, {}, kFirmware},
        {"U1", Port::UsbSilent, {.modules = "do"}, {"module:D", "firmware:image", "module:E"}},
        {"U3", Port::Usb, {.format = 1}, kFirmware},
        {"U5", Port::Usb, {.modules = "d"}, {"firmware:code", "firmware:data", "module:D"}},
    });
}
#endif

TEST(UpgradeE2e, ComponentChoiceSendsOnlyWhatTheLettersName) {
    const struct {
        std::string letters;
        int status;
        std::vector<std::string> order;
        std::string message;
    } cases[] = {
        {"SL", 0, {"firmware:image", "module:L"}, "OPERATION SUCCESS\n"},
        {"LF", 0, {"module:F", "module:L"}, "OPERATION SUCCESS\n"},
        {"A", 0, {"module:F", "module:D", "firmware:image", "module:L"}, "OPERATION SUCCESS\n"},
        {"xq", 13, {}, "PSW file check FAILURE (No available module selected)\n"},
        {"O", 13, {}, "PSW file check FAILURE (No available module selected)\n"},
    };
    TempDir dir;
    const PackageShape shape{.modules = "fdl"};
    const UpgradeFile file = WriteUpgradePackage(dir, shape);
    for (const auto& c : cases) {
        const Outcome o = RunUpgrade(Port::Tcp, PrinterFor("U1"), {}, {"-f", file.path, "-c", c.letters});
        EXPECT_EQ(o.result.exitCode, c.status) << c.letters << "\n" << o.result.out;
        EXPECT_EQ(o.order, c.order) << c.letters;
        EXPECT_TRUE(Has(o.result.out, c.message)) << c.letters << "\n" << o.result.out;
        ExpectFaithful(o, file, shape.bankSize, c.letters);
    }
}

// A module file goes out byte for byte whatever its kind, and the printer learns its kind from it.
TEST(UpgradeE2e, ModuleFilesOfEveryKindArriveWhole) {
    const struct {
        char id;
        int type;
    } kinds[] = {{'F', 1},  {'D', 2},   {'H', 4},   {'I', 8},     {'E', 16},
                 {'L', 64}, {'N', 128}, {'O', 128}, {'Z', 0x8000}};
    for (const auto& k : kinds) {
        const std::string name(1, k.id);
        TempDir dir;
        const UpgradeFile file = WriteModule(dir, k.id);
        const Outcome o = RunUpgrade(Port::Tcp, PrinterFor("U3"), {}, {"-f", file.path});
        EXPECT_EQ(o.result.exitCode, 0) << name << "\n" << o.result.out;
        EXPECT_TRUE(Has(o.result.out, "MODULE INFO:\n")) << name;
        ASSERT_EQ(o.order, std::vector<std::string>{"module:" + name}) << name;
        EXPECT_EQ(o.transfers[0].moduleType, k.type) << name;
        ExpectFaithful(o, file, 0, name);
    }
}

TEST(UpgradeE2e, FilesThatAreNotSentEndWithTheirStatus) {
    TempDir dir;
    for (const char* name : {"x.zpd", "x.bin", "x.psw"})
        dir.write(name, "not a package");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
        bool connects; // the file's name is checked before the printer is looked for, its content after
    } cases[] = {
        {{"-f", dir.file("x.zpd")}, 0, "OPERATION SUCCESS\n", true},
        {{"-f", dir.file("x.bin")}, 11, "filename not correct (must be a modpfw/psw)\n", false},
        {{"-f", dir.file("x.psw"), "-TM1"},
         11,
         "filename not correct for this type of upgrade (must be a bin)\n",
         false},
        {{"-f", dir.file("x.psw")}, 11, "LoadPSWFromFile FAILURE\n", true},
    };
    for (const auto& c : cases) {
        SimPrinter printer({.sets = PrinterFor("U1")});
        const ProcessResult r = Dalvora(Args(Args({"--upgrade", "-v"}, c.args), printer.DeviceArgs()));
        EXPECT_EQ(r.exitCode, c.status) << c.args[1] << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << c.args[1] << "\n" << r.out;
        EXPECT_TRUE(printer.Log().Transfers().empty()) << c.args[1];
        EXPECT_EQ(printer.Log().AnyConnection(), c.connects) << c.args[1];
    }
}

// Nothing that does not fit, or that the printer cannot take, leaves the host. (Each fit rule is the
// upgrade session suite's; here a refusal and an ORLO printer taking a standard package.)
TEST(UpgradeE2e, PackageFitIsDecidedBeforeTheFirstByte) {
    const struct {
        std::string what;
        PackageShape package;
        std::vector<std::string> printer; // on top of the U1 printer the packages are made for
        int status;
        std::string message;
        std::vector<std::string> args = {};
    } cases[] = {
        {"other family", {}, {"upgrade.device_ids=5;2;3"}, 14, "Upgrade Printer Error 14 (9)"},
        {"ORLO printer, standard package",
         {.customization = 0},
         {"upgrade.device_ids=1;2;20"},
         0,
         "OPERATION SUCCESS\n"},
        // The command line installs the same or an older release without asking.
        {"same release", {}, {"firmware=\"3.13\""}, 0, "OPERATION SUCCESS\n"},
        {"older release", {}, {"firmware=\"9.99\""}, 0, "OPERATION SUCCESS\n"},
        {"no signature for this system", {.signature = 0x00}, {}, 11, "LoadPSWFromFile FAILURE\n"},
        // Such a package has no signature either, so it is refused as a file whatever -c says.
        {"must be installed whole", {.signature = 0xCC}, {}, 11, "LoadPSWFromFile FAILURE\n", {"-c", "SL"}},
        {"no firmware upgrade offered", {}, {"capabilities=0x195"}, 12, "Upgrade Printer Error 12 (24)"},
        {"wrong package sum", {.sums = fixtures::Sums::WrongSecond}, {}, 11, "LoadPSWFromFile FAILURE\n"},
        {"format 1 wrong sum",
         {.format = 1, .sums = fixtures::Sums::WrongFirst},
         {},
         11,
         "LoadPSWFromFile FAILURE\n"},
        {"truncated package", {.modules = "f", .truncateTo = 700}, {}, 11, "LoadPSWFromFile FAILURE\n"},
        {"too few banks for U5", {.banks = 2}, {"upgrade.mode=U5"}, 11, "Upgrade Printer Error 11 (2)"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const UpgradeFile file = WriteUpgradePackage(dir, c.package);
        const Outcome o = RunUpgrade(Port::Tcp, Args(PrinterFor("U1", c.package.banks), c.printer), {},
                                     Args({"-f", file.path}, c.args));
        EXPECT_EQ(o.result.exitCode, c.status) << c.what << "\n" << o.result.out;
        EXPECT_TRUE(Has(o.result.out, c.message)) << c.what << "\n" << o.result.out;
        EXPECT_EQ(NothingSent(o), c.status != 0) << c.what;
        ExpectFaithful(o, file, c.package.bankSize, c.what);
    }
}

TEST(UpgradeE2e, ModuleFilesThePrinterCannotTakeAreRefusedBeforeTheFirstByte) {
    fixtures::ModuleDescription badSum = fixtures::StandardModule('F');
    badSum.sums = fixtures::Sums::WrongFirst;
    std::vector<uint8_t> truncated = fixtures::WriteModuleFile(fixtures::StandardModule('F'));
    truncated.resize(3000);
    const struct {
        std::string what;
        std::vector<uint8_t> bytes;
        std::vector<std::string> printer;
        int status;
        std::string message;
    } cases[] = {
        {"no module upgrade offered",
         fixtures::WriteModuleFile(fixtures::StandardModule('F')),
         {"capabilities=0x1B1"},
         14,
         "Upgrade Module Error 14 (15)"},
        {"wrong sum", fixtures::WriteModuleFile(badSum), {}, 11, "LoadModuleFromFile FAILURE\n"},
        {"truncated", truncated, {}, 11, "LoadModuleFromFile FAILURE\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.write("m.mod", std::string(c.bytes.begin(), c.bytes.end()));
        const Outcome o =
            RunUpgrade(Port::Tcp, Args(PrinterFor("U1"), c.printer), {}, {"-f", dir.file("m.mod")});
        EXPECT_EQ(o.result.exitCode, c.status) << c.what << "\n" << o.result.out;
        EXPECT_TRUE(Has(o.result.out, c.message)) << c.what << "\n" << o.result.out;
        EXPECT_TRUE(NothingSent(o)) << c.what;
    }
}

// Every failure of the printer ends the run with a failure status within the waits the procedure
// allows (scaled), never 0 and never a hang. Retries that succeed end with 0.
TEST(UpgradeE2e, PrinterFaultsAtEachStepEndWithTheirStatus) {
    const struct {
        std::string what;
        std::string mode;
        Port port;
        PackageShape package;
        std::vector<std::string> faults;
        int status;
        std::string message;
        std::vector<std::string> order;
        int limitMs = 30000;
        bool module = false; // send the package's first module as a module file instead
        std::vector<std::string> printer = {};
    } cases[] = {
        // A package's modules go out without asking whether the printer takes modules; one that does
        // not never answers.
        {"modules not offered",
         "U1",
         Port::Tcp,
         {.modules = "f"},
         {},
         11,
         "Upgrade Printer Error 11 (2)",
         {},
         30000,
         false,
         {"capabilities=0x1B1"}},
        {"silent printer", "U1", Port::Tcp, {}, {"silence"}, 14, "PrnCom_Init FAILURE (6)", {}},
        {"no protocol version",
         "U1",
         Port::Tcp,
         {},
         {"no-answer=C1"},
         12,
         "Upgrade Printer Error 12 (7)",
         {}},
        {"upgrade information refused",
         "U1",
         Port::Tcp,
         {},
         {"error=C112:05"},
         14,
         "Upgrade Printer Error 14 (105)",
         {}},
        // The handshake asks five times.
        {"no handshake before the image",
         "U1",
         Port::Tcp,
         {},
         {"no-answer=GSI#2", "no-answer=GSI#3", "no-answer=GSI#4", "no-answer=GSI#5", "no-answer=GSI#6"},
         11,
         "Upgrade Printer Error 11 (2)",
         {}},
        {"no release before the image",
         "U3",
         Port::Tcp,
         {},
         {"no-answer=FWREL#2"},
         11,
         "Upgrade Printer Error 11 (2)",
         {}},
        {"no module list",
         "U1",
         Port::Tcp,
         {},
         {"no-answer=C64"},
         12,
         "Upgrade Module Error 12 (7)",
         {},
         30000,
         true},
        {"banks damaged: no retry",
         "U1",
         Port::Pty,
         {},
         {"answer=PROGRAM:0x66"},
         11,
         "Upgrade Printer Error 11 (2)",
         {"firmware:image"}},
        {"sums spoilt once: retried",
         "U1",
         Port::Pty,
         {},
         {"bad-sum=PROGRAM#1"},
         0,
         "Error on sending banks. This is the 1/3 try.",
         {"firmware:image", "firmware:image"}},
        // U3 and U5 read no result before the restart, but a printer that refuses the image says so
        // while the host waits: that is a failure, not a success.
        {"U3 image refused",
         "U3",
         Port::Tcp,
         {},
         {"bad-sum=PROGRAM"},
         11,
         "Answer Error(0x99) : Checksum Error",
         {"firmware:image"}},
        {"U5 code part refused",
         "U5",
         Port::Pty,
         {.banks = 5},
         {"bad-sum=PROGRAM#1"},
         11,
         "Answer Error(0x99) : Checksum Error",
         {"firmware:code"}},
        {"printer never returns",
         "U1",
         Port::Tcp,
         {},
         {"no-return=PROGRAM"},
         11,
         "Upgrade Printer Error 11 (2)",
         {"firmware:image"}},
        {"wrong release after the restart",
         "U1",
         Port::Tcp,
         {},
         {"other-release=9.99"},
         11,
         "Error on sending banks. This is the 3/3 try.",
         {"firmware:image", "firmware:image", "firmware:image"}},
        {"slow restart",
         "U1",
         Port::Tcp,
         {},
         {"slow-restart=PROGRAM:3000"},
         0,
         "OPERATION SUCCESS\n",
         {"firmware:image"}},
        {"package module refused",
         "U1",
         Port::Tcp,
         {.modules = "fl"},
         {"answer=MODULE#1:0x33"},
         11,
         "Upgrade Printer Error 11 (2)",
         {"module:F"}},
        {"U5 data bank unanswered",
         "U5",
         Port::Tcp,
         {.banks = 5},
         {"no-answer=PROGRAM#2"},
         11,
         "Upgrade Printer Error 11 (2)",
         {"firmware:code", "firmware:data"},
         40000},
        {"module file refused",
         "U1",
         Port::Tcp,
         {.modules = "f"},
         {"answer=MODULE:0x44"},
         14,
         "Upgrade Module Error 14 (",
         {"module:F"},
         30000,
         true},
        {"module file unanswered",
         "U1",
         Port::Tcp,
         {.modules = "f"},
         {"no-answer=MODULE"},
         14,
         "Upgrade Module Error 14 (",
         {"module:F"},
         30000,
         true},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const UpgradeFile package = WriteUpgradePackage(dir, c.package);
        const UpgradeFile module = WriteModule(dir, 'F');
        const Outcome o = RunUpgrade(c.port, Args(PrinterFor(c.mode, c.package.banks), c.printer), c.faults,
                                     {"-f", c.module ? module.path : package.path}, c.limitMs);
        EXPECT_FALSE(o.result.timedOut) << c.what;
        EXPECT_EQ(o.result.exitCode, c.status) << c.what << "\n" << o.result.out;
        EXPECT_TRUE(Has(o.result.out, c.message)) << c.what << "\n" << o.result.out;
        EXPECT_EQ(o.order, c.order) << c.what;
    }
}

namespace {

// An upgrade whose image takes long enough on the wire for a signal to land in it, with a logos
// module left to send after the firmware.
struct InterruptedUpgrade {
    TempDir dir;
    PackageShape shape{.banks = 16, .bankSize = 1u << 20, .modules = "l"};
    UpgradeFile file = WriteUpgradePackage(dir, shape);
    SimPrinter printer{{.sets = PrinterFor("U1", shape.banks)}};
    BackgroundProcess run{DALVORA_BINARY,
                          Args({"--upgrade", "-v", "-f", file.path}, printer.DeviceArgs()),
                          {std::string("DALVORA_TESTONLY_TIME_SCALE=") + kTimeScale},
                          true};

    bool Requested(const std::string& name) const { return printer.Count(name) > 0; }
};

} // namespace

TEST(UpgradeE2e, CtrlCBeforeTheImageEndsWithNothingSent) {
    InterruptedUpgrade u;
    ASSERT_TRUE(WaitUntil([&] { return u.Requested("C112"); }, 20000));
    u.run.Signal(SIGINT);
    const ProcessResult r = u.run.Finish(60000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Upgrade stopped before sending anything")) << r.out;
    EXPECT_TRUE(u.printer.Log().Transfers().empty());
    EXPECT_EQ(u.printer.Count("BANKS"), 0);
}

TEST(UpgradeE2e, CtrlCDuringTheImageFinishesItAndSendsNothingMore) {
    InterruptedUpgrade u;
    ASSERT_TRUE(WaitUntil([&] { return u.Requested("BANKS"); }, 20000));
    u.run.Signal(SIGINT);
    const ProcessResult r = u.run.Finish(60000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_NE(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "Stop requested: finishing the transfer in progress")) << r.out;
    EXPECT_EQ(u.printer.Log().TransferOrder(), kFirmware); // the logos module stays unsent
    ExpectFaithful({r, u.printer.Log().Transfers(), {}, {}}, u.file, u.shape.bankSize, "interrupted");
}

TEST(UpgradeE2e, ASecondCtrlCEndsTheProgramAtOnce) {
    InterruptedUpgrade u;
    ASSERT_TRUE(WaitUntil([&] { return u.Requested("BANKS"); }, 20000));
    u.run.Signal(SIGINT);
    ASSERT_TRUE(u.run.WaitForError("Stop requested", 20000));
    u.run.Signal(SIGINT);
    const ProcessResult r = u.run.Finish(20000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, SIGINT);
}
