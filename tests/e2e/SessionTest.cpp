// The printer operations of the command line, run as a user runs them against the simulated printer:
// identity and setup over TCP, a serial line and USB, every service tool, and the parameter and file
// errors that must stop before any port is opened.
#include "tests/e2e/SimPrinter.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>

namespace {

const char kUmockdevRun[] = UMOCKDEV_RUN;

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

} // namespace

TEST(PrinterVersion, ReadsIdentityAndWholeSetupOverTcp) {
    SimPrinter printer;
    ASSERT_TRUE(printer.Started());
    ProcessResult r = Dalvora(Args({"--printerversion", "-v", "-lv"}, printer.DeviceArgs()));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "GSI: 0x0141\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "Firmware release: TK180 FW 3.12.4 SIM\n"));
    EXPECT_TRUE(Has(r.out, "Protocol version: 100\n"));
    EXPECT_TRUE(Has(r.out, "Operation Completed\n"));
    EXPECT_FALSE(Has(r.out, "Result:")) << "no result line without --upgrade";
    // Every item of the id list was asked for once and read.
    const int items = printer.Count("C4");
    EXPECT_GE(items, 50);
    EXPECT_TRUE(Has(r.out, "Setup items: " + std::to_string(items) + " (data errors: 0)\n")) << r.out;
    // Two sessions: the search, then the read.
    EXPECT_EQ(printer.Count("GSI"), 2);
    // Password items (one with an additional description, one with a link) are read, never logged.
    EXPECT_FALSE(Has(r.out, "velmar"));
    EXPECT_FALSE(Has(r.out, "A1B2C3D4"));
    EXPECT_TRUE(Has(r.out, "Found Field: Value TEXT: ********"));
}

// No capability answer: only the setup is read, which still succeeds; no tools: refused with its code.
TEST(PrinterVersion, MinimalPrinterReadsItsSetupAndRefusesTools) {
    SimPrinter minimal({.profile = "minimal"});
    ASSERT_TRUE(minimal.Started());
    ProcessResult r = Dalvora(Args({"--printerversion", "-lv"}, minimal.DeviceArgs()));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "NO Get ProtocollDataAvailable Setup"));
    EXPECT_GT(minimal.Count("C4"), 0);
    r = Dalvora(Args({"--exectool", "-rtool", "1-3", "-v"}, minimal.DeviceArgs()));
    EXPECT_EQ(r.exitCode, 14);
    EXPECT_TRUE(Has(r.out, "Execute Tool FAILURE (2)\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "Result: failure(14)\n"));
}

TEST(PrinterVersion, SerialSearchFindsThePrinterAt38400) {
    SimPrinter printer({.pty = true});
    ASSERT_TRUE(printer.Started());
    ProcessResult r = Dalvora(Args({"--printerversion", "-v", "-lv"}, printer.DeviceArgs()), 120000);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    // 115200, then 9600, then 38400, where the printer answers; 19200 is never tried.
    size_t at = 0;
    for (const char* rate : {"115200", "9600", "38400"}) {
        at = r.out.find(std::string("Try Baudrate: ") + rate, at);
        ASSERT_NE(at, std::string::npos) << rate << "\n" << r.out;
    }
    EXPECT_FALSE(Has(r.out, "Try Baudrate: 19200"));
    EXPECT_TRUE(Has(r.out, "Printer found"));
    // The session after the search runs at the rate found.
    EXPECT_TRUE(Has(r.out, "GSI: 0x0141\n"));
    EXPECT_GT(printer.Count("C4"), 50);
}

TEST(PrinterVersion, WholeSetupsAndAToolOverUsb) {
    for (const auto& [profile, minimum] : {std::pair<std::string, int>{"default", 50}, {"large", 600}}) {
        TempDir dir;
        ProcessResult r = DalvoraOverUsb({"--profile", profile, "--transcript", dir.file("t.jsonl")},
                                         {"--printerversion", "-v"}, 180000);
        ASSERT_EQ(r.exitCode, 0) << profile << "\n" << r.out << r.err;
        EXPECT_TRUE(Has(r.out, "GSI: 0x")) << r.out;
        const std::string transcript = ReadWholeFile(dir.file("t.jsonl"));
        const int items = Occurrences(transcript, "\"request\":\"C4\"");
        EXPECT_GE(items, minimum) << profile;
        EXPECT_TRUE(Has(r.out, "Setup items: " + std::to_string(items) + " (data errors: 0)")) << r.out;
        // All over USB, and every open of the device was closed.
        EXPECT_EQ(Occurrences(transcript, "\"via\":\"usb\""), Occurrences(transcript, "\"via\":"));
        EXPECT_EQ(Occurrences(transcript, "\"connect\""), Occurrences(transcript, "\"disconnect\""));
    }
    ProcessResult tool = DalvoraOverUsb({}, {"--exectool", "-v", "-rtool", "1-5"});
    EXPECT_EQ(tool.exitCode, 0) << tool.out << tool.err;
    EXPECT_TRUE(Has(tool.out, "HEAD TEST OK\n")) << tool.out;
}

TEST(ExecTool, EveryToolRunsWithItsOwnRequest) {
    SimPrinter printer;
    ASSERT_TRUE(printer.Started());
    TempDir dir;
    const std::string script = "! SCRIPT\nPRINT \"hello\"\n\x01\x02";
    dir.write("job.spt", script);
    for (int id = 1; id <= 7; ++id) {
        std::vector<std::string> args = Args({"--exectool", "-v", "-lv"}, printer.DeviceArgs());
        args.insert(args.end(), {"-rtool", "1-" + std::to_string(id)});
        if (id == 6)
            args.push_back(dir.file("job.spt"));
        ProcessResult r = Dalvora(args);
        EXPECT_EQ(r.exitCode, 0) << "tool 1-" << id << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, "Result: success\n")) << id;
        if (id == 5) {
            EXPECT_TRUE(Has(r.out, "HEAD TEST OK\n")) << "the answer lines reach the console";
        }
    }
    std::vector<std::string> bits;
    for (const auto& line : printer.Log().Lines()) {
        if (line.value("request", "") != "C81")
            continue;
        bits.push_back(line["fields"][1].get<std::string>());
        if (bits.back() == "32") {
            EXPECT_EQ(line["fields"][2].get<std::string>(), std::to_string(script.size()));
            EXPECT_EQ(line.value("payload_bytes", 0u), script.size());
        }
    }
    EXPECT_EQ(bits, (std::vector<std::string>{"1", "2", "4", "8", "16", "32", "64"}));
}

// Every parameter and script error ends with its status before the printer sees a byte.
TEST(ParameterErrors, StopBeforeAnyPortIsOpenedAndArchiveErrorsAreFileErrors) {
    SimPrinter printer;
    ASSERT_TRUE(printer.Started());
    TempDir dir;
    dir.write("notes.txt", "not a script");
    dir.write("broken.tcfx", "<DataFile><nothing/>");
    // A FIFO would block the program in open(): refused as a file error without waiting for a writer.
    ASSERT_EQ(mkfifo(dir.file("fifo.spt").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(dir.file("fifo.tcfx").c_str(), 0600), 0);
    const std::string eth = "127.0.0.1:" + std::to_string(printer.Port());
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const auto tool = [&](const std::vector<std::string>& rest) {
        return Args({"--exectool", "-t", "eth", "-d", eth, "-rtool"}, rest);
    };
    const std::vector<Case> cases = {
        {{"--printerversion", "-t", "ETH", "-d", eth}, 13, "type argument not valid\n"},
        {{"--printerversion", "-t", "eth", "-d", "127.0.0.1"}, 13, "device argument not valid\n"},
        {{"--printerversion", "-t", "eth", "-d", "127.0.0.1:port"}, 13, "device argument not valid\n"},
        {{"--printerversion", "-t", "ser", "-d", "/dev/ttyS0:38400:none"}, 13, "device argument not valid\n"},
        {{"--printerversion", "-t", "ser", "-d", "/dev/ttyS0:38400"}, 13, "device argument not valid\n"},
        {{"--printerversion", "-t", "usb", "-d", ""}, 13, "device argument not valid\n"},
        {{"--sendtcfx", "-f", "x.tcfx", "-t", "eth", "-d", "nohost"}, 13, "device argument not valid\n"},
        {tool({"1-8"}), 13, "-rtool argument not valid\n"},
        {tool({"2-1"}), 13, "-rtool argument not valid\n"},
        {tool({"0-1"}), 13, "-rtool argument not valid\n"},
        {tool({"1-6"}), 13, "[toolfilename] for upload SPT file not specified\n"},
        {tool({"1-6", dir.file("notes.txt")}), 11, "filename argument not valid\n"},
        {tool({"1-6", dir.file("missing.spt")}), 11, "filename argument not valid\n"},
        {tool({"1-6", dir.file("fifo.spt")}), 11, "LoadBinFile FAILURE\n"},
    };
    for (const Case& c : cases) {
        ProcessResult r = Dalvora(Args({"-v"}, c.args));
        EXPECT_EQ(r.exitCode, c.status) << ::testing::PrintToString(c.args) << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, c.message)) << ::testing::PrintToString(c.args) << "\n" << r.out;
    }
    EXPECT_FALSE(printer.Log().AnyConnection());
    // An archive is read once the printer answered: its file errors come after that, with the same status.
    for (const char* archive : {"broken.tcfx", "missing.tcfx", "fifo.tcfx"}) {
        ProcessResult r = Dalvora({"--sendtcfx", "-v", "-t", "eth", "-d", eth, "-f", dir.file(archive)});
        EXPECT_EQ(r.exitCode, 11) << archive << "\n" << r.out;
        EXPECT_TRUE(Has(r.out, "Read tcfx file FAILURE\n")) << archive << "\n" << r.out;
    }
}

TEST(ParameterErrors, UpperCaseUsbAnyIsAcceptedButNoPrinterIsNotFound) {
    // "any" means "ANY"; without a USB printer the search finds nothing: a device error, not 14. The run
    // sees an emulated machine without USB devices, whatever is plugged into this one.
    if (kUmockdevRun[0] == '\0')
        GTEST_SKIP() << "needs umockdev-run";
    ProcessOptions options;
    options.env.emplace_back("QT_QPA_PLATFORM", "offscreen");
    // umockdev's preload comes before the sanitizer runtime in sanitizer builds: keep the caller's
    // sanitizer options, without the library-order check.
    const char* asan = std::getenv("ASAN_OPTIONS");
    options.env.emplace_back("ASAN_OPTIONS", std::string(asan ? asan : "") + (asan && *asan ? ":" : "") +
                                                 "verify_asan_link_order=0");
    ProcessResult r = RunProcess(
        kUmockdevRun, {"--", DALVORA_BINARY, "--printerversion", "-t", "usb", "-d", "any", "-v"}, options);
    EXPECT_EQ(r.exitCode, 13) << r.out;
    EXPECT_TRUE(Has(r.out, "device argument not valid\n"));
}
