// The command line's option state and the scanner that fills it. The scan itself is a pure function
// of the argument vector; parse_cmdline_args adds the output and the exits around it.
#pragma once

#include <string>

struct CmdLineOptions {
    static constexpr size_t kMaxTextValue = 1023; // -f, -t, -d and the tool file name
    static constexpr size_t kMaxToolPart = 127;   // each side of the -rtool "N-M" value

    std::string filename;
    std::string type;
    std::string device;
    std::string toolfilename;
    std::string upgComponentsStr;
    int toolnumber = 0;
    int toolid = 0;
    int timem = 1;
    int tcfxonlydiff = 1;
    int tampermode = 0;
    int silent_mode = 0;
    int enable_log = 0;
    int usbdevlist = 0;
    int ethdevlist = 0;
    int printerversion = 0;
    int executetool = 0;
    int upgradedevice = 0;
    int sendtcfx = 0;
    int showToVideo = 0; // copied into CmdConsole::iShowToVideo
    int glbRetCode = 0;

    // Name of an option whose text value was longer than its buffer; such values are refused, not
    // stored, and a command-line operation then ends with "Parameter not OK".
    std::string overlongOption;
};

enum class ScanOutcome { ShowHelp, ShowVersion, Scanned };

struct ScanResult {
    ScanOutcome outcome = ScanOutcome::Scanned;
    int operationCount = 0;
};

// The process-wide option state read by the command-line operations.
CmdLineOptions& cmdline_options();

// Scans the arguments into opts (which the caller resets); prints nothing and never exits.
ScanResult ScanCmdlineArgs(int argc, const char* const* argv, CmdLineOptions& opts);

// The "ARGS: ..." line written through the console writer after the scan.
std::string FormatArgsSummary(const CmdLineOptions& opts);

// Scans into cmdline_options(); answers --help and --version and exits; runs the command-line
// operation (which exits) when one is asked for. Returns the number of operation options (0: window).
int parse_cmdline_args(int argc, char** argv);
