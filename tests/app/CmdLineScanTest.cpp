// The option scanner: which options take values, where the scan goes on, and the silent/log rules.
#include "app/CmdLineOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Scanned {
    CmdLineOptions opts;
    ScanResult result;
};

Scanned Scan(std::vector<std::string> args) {
    args.insert(args.begin(), "dalvora");
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    Scanned scanned;
    scanned.result = ScanCmdlineArgs(static_cast<int>(argv.size()), argv.data(), scanned.opts);
    return scanned;
}

} // namespace

TEST(CmdLineScan, HelpAndVersionOnlyInFirstPosition) {
    EXPECT_EQ(Scan({"--help"}).result.outcome, ScanOutcome::ShowHelp);
    EXPECT_EQ(Scan({"--version", "--usbdevlist"}).result.outcome, ScanOutcome::ShowVersion);
    Scanned late = Scan({"-v", "--version"});
    EXPECT_EQ(late.result.outcome, ScanOutcome::Scanned);
    EXPECT_EQ(late.result.operationCount, 0); // the window opens
    EXPECT_EQ(late.opts.showToVideo, 1);
    EXPECT_EQ(Scan({"--usbdevlist", "--help"}).result.outcome, ScanOutcome::Scanned);
}

TEST(CmdLineScan, WindowedWithoutOperationOptions) {
    EXPECT_EQ(Scan({}).result.operationCount, 0);
    EXPECT_EQ(Scan({"--log"}).result.operationCount, 0);
    EXPECT_EQ(Scan({"--SWPRNLIFEINFO", "-lv", "-TM1", "unknown"}).result.operationCount, 0);
    EXPECT_EQ(Scan({"--USBDEVLIST"}).result.operationCount, 0); // options compare case-sensitively
}

TEST(CmdLineScan, CountsEveryOperationOption) {
    Scanned both = Scan({"--usbdevlist", "--ethdevlist"});
    EXPECT_EQ(both.result.operationCount, 2);
    EXPECT_EQ(both.opts.usbdevlist, 1);
    EXPECT_EQ(both.opts.ethdevlist, 1);
    Scanned all = Scan({"--printerversion", "--exectool", "--upgrade", "--sendtcfx"});
    EXPECT_EQ(all.result.operationCount, 4);
    EXPECT_EQ(all.opts.printerversion + all.opts.executetool + all.opts.upgradedevice + all.opts.sendtcfx, 4);
}

TEST(CmdLineScan, TextValuesAreLookedAtAgainAsOptions) {
    Scanned s = Scan({"--upgrade", "-f", "--usbdevlist"});
    EXPECT_EQ(s.opts.filename, "--usbdevlist");
    EXPECT_EQ(s.opts.usbdevlist, 1);
    EXPECT_EQ(s.result.operationCount, 2);

    Scanned chain = Scan({"-t", "-d", "eth"});
    EXPECT_EQ(chain.opts.type, "-d");
    EXPECT_EQ(chain.opts.device, "eth");

    Scanned m = Scan({"-m", "-s"});
    EXPECT_EQ(m.opts.timem, 0);
    EXPECT_EQ(m.opts.silent_mode, 1);
}

TEST(CmdLineScan, ComponentAndOnlyDiffValuesAreSkipped) {
    Scanned c = Scan({"--upgrade", "-c", "--usbdevlist"});
    EXPECT_EQ(c.opts.upgComponentsStr, "--usbdevlist");
    EXPECT_EQ(c.opts.usbdevlist, 0);
    EXPECT_EQ(c.result.operationCount, 1);

    Scanned od = Scan({"-od", "-v"});
    EXPECT_EQ(od.opts.tcfxonlydiff, 0); // strtol of a non-number
    EXPECT_EQ(od.opts.showToVideo, 0);
    EXPECT_EQ(Scan({"-od", "0"}).opts.tcfxonlydiff, 0);
    EXPECT_EQ(Scan({}).opts.tcfxonlydiff, 1);
}

TEST(CmdLineScan, NumericValuesFollowStrtol) {
    EXPECT_EQ(Scan({"-m", "5"}).opts.timem, 5);
    EXPECT_EQ(Scan({"-m", "7x"}).opts.timem, 7);
    EXPECT_EQ(Scan({"-m", "abc"}).opts.timem, 0);
    EXPECT_EQ(Scan({"-m"}).opts.timem, 1); // value missing: ignored
    EXPECT_EQ(Scan({"-od", " 3"}).opts.tcfxonlydiff, 3);
}

TEST(CmdLineScan, MissingValueEndsTheScanButKeepsCountedOperations) {
    Scanned s = Scan({"--sendtcfx", "-f", "a.tcfx", "-d"});
    EXPECT_EQ(s.opts.filename, "a.tcfx");
    EXPECT_EQ(s.opts.device, "");
    EXPECT_EQ(s.result.operationCount, 1);
    EXPECT_EQ(Scan({"--exectool", "-rtool"}).opts.toolnumber, 0);
}

TEST(CmdLineScan, ToolValueAndOptionalFileName) {
    Scanned s = Scan({"--exectool", "-rtool", "1-6", "script.spt", "-t", "usb", "-d", "ANY"});
    EXPECT_EQ(s.opts.toolnumber, 1);
    EXPECT_EQ(s.opts.toolid, 6);
    EXPECT_EQ(s.opts.toolfilename, "script.spt");
    EXPECT_EQ(s.opts.type, "usb");
    EXPECT_EQ(s.opts.device, "ANY");

    // The argument after the tool value is taken as the file name even when it is an option, and is
    // then scanned as that option too.
    Scanned t = Scan({"--exectool", "-rtool", "1-1", "-t", "eth"});
    EXPECT_EQ(t.opts.toolfilename, "-t");
    EXPECT_EQ(t.opts.type, "eth");

    EXPECT_EQ(Scan({"-rtool", "12-34"}).opts.toolid, 34);
}

TEST(CmdLineScan, MalformedToolValuesLeaveNumbersAlone) {
    for (const char* value : {"16", "1x-2", "1-2y", "a-b", "1 -2"}) {
        Scanned s = Scan({"--exectool", "-rtool", value});
        EXPECT_EQ(s.opts.toolnumber, 0) << value;
        EXPECT_EQ(s.opts.toolid, 0) << value;
    }
    EXPECT_EQ(Scan({"-rtool", "1-2-3"}).opts.toolid, 0); // "2-3" is not digits only
    std::string longPart(128, '1');
    EXPECT_EQ(Scan({"-rtool", longPart + "-1"}).opts.toolid, 0);
    EXPECT_EQ(Scan({"-rtool", "1-" + longPart}).opts.toolnumber, 0);
    EXPECT_EQ(Scan({"-rtool", "1-" + std::string(127, '0') + "2"}).opts.toolid, 0);
    EXPECT_EQ(Scan({"-rtool", "1-" + std::string(126, '0') + "2"}).opts.toolid, 2);
}

TEST(CmdLineScan, SilentModeWinsOverConsoleOutput) {
    Scanned a = Scan({"--upgrade", "-f", "x.psw", "-s", "-v"});
    EXPECT_EQ(a.opts.showToVideo, 0);
    Scanned b = Scan({"--upgrade", "-s", "-lv", "-lf"});
    EXPECT_EQ(b.opts.enable_log, 2); // a file log stays
    Scanned c = Scan({"--upgrade", "-lf", "-lv", "-s"});
    EXPECT_EQ(c.opts.enable_log, 0); // the later -lv asked for the console, which silence forbids
    EXPECT_EQ(Scan({"-lv"}).opts.enable_log, 1);
}

TEST(CmdLineScan, OverlongTextValuesAreRefusedNotCut) {
    std::string fits(CmdLineOptions::kMaxTextValue, 'a');
    std::string tooLong(CmdLineOptions::kMaxTextValue + 1, 'a');
    Scanned ok = Scan({"--sendtcfx", "-f", fits});
    EXPECT_EQ(ok.opts.filename, fits);
    EXPECT_TRUE(ok.opts.overlongOption.empty());

    Scanned bad = Scan({"--sendtcfx", "-f", tooLong, "-d", tooLong});
    EXPECT_EQ(bad.opts.filename, "");
    EXPECT_EQ(bad.opts.overlongOption, "-f"); // the first one is reported
    EXPECT_EQ(Scan({"-rtool", "1-6", tooLong}).opts.overlongOption, "-rtool");
    EXPECT_EQ(Scan({"-t", tooLong}).opts.overlongOption, "-t");
}

TEST(CmdLineScan, SummaryLine) {
    Scanned s = Scan({"--usbdevlist", "-f", "pkg.psw", "-t", "usb", "-d", "ANY", "-c", "SL", "--exectool"});
    EXPECT_EQ(FormatArgsSummary(s.opts),
              "ARGS: usbdevlist=1 ethdevlist=0 filename=pkg.psw type=usb device=ANY "
              "upg_components_str=2 rtool=1 toolfilename=");
}
