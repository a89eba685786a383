#include "app/CmdLineOptions.h"

#include "base/CmdConsole.h"
#include "app/CmdLineOperations.h"
#include "base/GenericFunctions.h"
#include "app/UsageText.h"
#include "base/Version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

CmdLineOptions& cmdline_options() {
    static CmdLineOptions options;
    return options;
}

namespace {

// A text value fits its 1024-byte buffer or is refused whole: a cut file or device name would name
// something the user never asked for.
void StoreText(std::string& target, const char* value, const char* option, CmdLineOptions& opts) {
    if (strlen(value) > CmdLineOptions::kMaxTextValue) {
        if (opts.overlongOption.empty())
            opts.overlongOption = option;
        return;
    }
    target = value;
}

bool IsToolPart(std::string_view part) {
    return part.size() <= CmdLineOptions::kMaxToolPart &&
           GenericFunctions::IsaNumericField(reinterpret_cast<const uint8_t*>(part.data()), part.size());
}

// "N-M": both sides digits only, else toolnumber and toolid stay as they were.
void StoreToolValue(const char* value, CmdLineOptions& opts) {
    std::string_view text(value);
    size_t dash = text.find('-');
    if (dash == std::string_view::npos)
        return;
    std::string number(text.substr(0, dash));
    std::string id(text.substr(dash + 1));
    if (!IsToolPart(number) || !IsToolPart(id))
        return;
    opts.toolnumber = GenericFunctions::ParseInt(number.c_str(), 0);
    opts.toolid = GenericFunctions::ParseInt(id.c_str(), 0);
}

struct FlagOption {
    std::string_view name;
    int CmdLineOptions::*flag;
    int value;
    bool isOperation;
};

constexpr FlagOption kFlagOptions[] = {
    {"-TM1", &CmdLineOptions::tampermode, 1, false},
    {"--usbdevlist", &CmdLineOptions::usbdevlist, 1, true},
    {"--ethdevlist", &CmdLineOptions::ethdevlist, 1, true},
    {"--printerversion", &CmdLineOptions::printerversion, 1, true},
    {"--exectool", &CmdLineOptions::executetool, 1, true},
    {"--upgrade", &CmdLineOptions::upgradedevice, 1, true},
    {"--sendtcfx", &CmdLineOptions::sendtcfx, 1, true},
    {"-lv", &CmdLineOptions::enable_log, 1, false},
    {"-lf", &CmdLineOptions::enable_log, 2, false},
    {"-v", &CmdLineOptions::showToVideo, 1, false},
    {"-s", &CmdLineOptions::silent_mode, 1, false},
};

const FlagOption* FindFlagOption(std::string_view arg) {
    for (const FlagOption& option : kFlagOptions)
        if (option.name == arg)
            return &option;
    return nullptr;
}

// Handles an option that takes a value at argv[i + 1]; returns the index the scan continues at, or
// argc when the value is missing (which ends the scan), or -1 when arg is no such option.
int ScanValueOption(std::string_view arg, int i, int argc, const char* const* argv, CmdLineOptions& opts) {
    static constexpr std::string_view kValueOptions[] = {"-f", "-t", "-d", "-m", "-c", "-od", "-rtool"};
    bool known = false;
    for (std::string_view option : kValueOptions)
        known = known || arg == option;
    if (!known)
        return -1;
    if (i + 1 >= argc)
        return argc;
    const char* value = argv[i + 1];
    if (arg == "-f")
        StoreText(opts.filename, value, "-f", opts);
    else if (arg == "-t")
        StoreText(opts.type, value, "-t", opts);
    else if (arg == "-d")
        StoreText(opts.device, value, "-d", opts);
    else if (arg == "-m")
        opts.timem = GenericFunctions::ParseInt(value, 0);
    if (arg == "-f" || arg == "-t" || arg == "-d" || arg == "-m")
        return i + 1; // the value is looked at again as an option
    if (arg == "-c") {
        opts.upgComponentsStr = value;
        return i + 2;
    }
    if (arg == "-od") {
        opts.tcfxonlydiff = GenericFunctions::ParseInt(value, 0);
        return i + 2;
    }
    StoreToolValue(value, opts);
    if (i + 2 < argc)
        StoreText(opts.toolfilename, argv[i + 2], "-rtool", opts);
    return i + 2; // the optional file name is looked at again as an option
}

} // namespace

ScanResult ScanCmdlineArgs(int argc, const char* const* argv, CmdLineOptions& opts) {
    ScanResult result;
    opts.filename.clear();
    opts.type.clear();
    opts.device.clear();
    opts.toolfilename.clear();
    opts.timem = 1;
    opts.showToVideo = 0;
    if (argc < 2)
        return result;
    std::string_view first(argv[1]);
    if (first == "--help") {
        result.outcome = ScanOutcome::ShowHelp;
        return result;
    }
    if (first == "--version") {
        result.outcome = ScanOutcome::ShowVersion;
        return result;
    }
    int i = 1;
    while (i < argc) {
        std::string_view arg(argv[i]);
        if (const FlagOption* option = FindFlagOption(arg)) {
            opts.*(option->flag) = option->value;
            result.operationCount += option->isOperation ? 1 : 0;
            ++i;
            continue;
        }
        int next = ScanValueOption(arg, i, argc, argv, opts);
        i = next < 0 ? i + 1 : next;
    }
    if (opts.silent_mode) {
        opts.showToVideo = 0;
        if (opts.enable_log == 1)
            opts.enable_log = 0;
    }
    return result;
}

std::string FormatArgsSummary(const CmdLineOptions& opts) {
    std::string line = "ARGS: usbdevlist=" + std::to_string(opts.usbdevlist);
    line += " ethdevlist=" + std::to_string(opts.ethdevlist);
    line += " filename=" + opts.filename + " type=" + opts.type + " device=" + opts.device;
    line += " upg_components_str=" + std::to_string(opts.upgComponentsStr.size());
    line += " rtool=" + std::to_string(opts.executetool);
    line += " toolfilename=" + opts.toolfilename;
    return line;
}

int parse_cmdline_args(int argc, char** argv) {
    CmdLineOptions& opts = cmdline_options();
    ScanResult result = ScanCmdlineArgs(argc, argv, opts);
    CmdConsole::iShowToVideo = opts.showToVideo;
    if (result.outcome == ScanOutcome::ShowHelp) {
        fputs(FormatUsageText(argv[0]).c_str(), stdout);
        opts.glbRetCode = 0;
        exit(0);
    }
    if (result.outcome == ScanOutcome::ShowVersion) {
        printf("Release: %s\n", kDalvoraRelease);
        print_error_description(0);
        exit(0);
    }
    CmdConsole::WriteToConsoleString("%s", FormatArgsSummary(opts).c_str());
    if (result.operationCount == 0)
        return 0;
    perform_cmdline_operation();
    return result.operationCount;
}
