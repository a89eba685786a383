#include "app/UsageText.h"

#include "base/Version.h"

namespace {

// Indentation and trailing blanks are part of the text users and scripts have seen for years.
constexpr const char* kDeviceLines[] = {
    "        where [device] is:",
    "              for usb: device name as returned by usbdevlist or ANY for first device in list",
    "              for eth: [ip address]:[port]",
    "              for ser: [uart device]:[baudrate]:[flow control]",
    "                       flow control can be SW, HW or NONE",
};

constexpr const char* kUpgradeDetailLines[] = {
    "       [filename]   is the path of the upgrade file",
    "       [upgfields]  if PFW upgrade file selected, specify the upgrade fields to update: ",
    "       \t\t\t       S: FW  ",
    "       \t\t\t       F: FONTS MODULE  ",
    "       \t\t\t       L: LOGOS MODULE  ",
    "       \t\t\t       D: FLASH DISK MODULE  ",
    "       \t\t\t       O: OTHER MODULES ",
    "       \t\t\t       A: ALL MODULES [default] ",
    "       \t\t\t  Example: -c SL to specify to update only FW and LOGOS of the upgrade file ",
};

constexpr const char* kToolDetailLines[] = {
    "       [toolnum]        indicates the tool bitmask table",
    "       [toolid]         indicates the id of the tool to call",
    ("       [toolfilename]   is the path of the file to read/write with specified tool and is mandatory "
     "only for the tools that required it"),
};

constexpr const char* kTcfxDetailLines[] = {
    "       [filename]   is the path of the tcfx file to be sent to the device",
    "       [onlydiff]   send only differences compared to device configuration or send all fields: ",
    "       \t\t\t       1: only differences [default] ",
    "       \t\t\t       0: all fields ",
};

constexpr const char* kClosingLines[] = {
    "       -v:    enable verbose view on video",
    "       -s:    enable silent mode (no messages on video)",
    "       -lv:   enable log on video",
    "       -lf:   enable log on file ([Home Directory]/VELMAR/Dalvora/Log/status.log)",
    "       Possible values for [toolnum]-[toolid]:",
    "                1-1       BLACKMARK AUTOSET",
    "                1-2       PAPER CHARACTERIZATION",
    "                1-3       PRINT DEVICE SETUP",
    "                1-4       SET DATE/TIME",
    "                1-5       HEAD TEST",
    "                1-6       UPLOAD SPT FILE",
    "                1-7       FLASH RESET",
};

template <size_t N> void AppendLines(std::string& out, const char* const (&lines)[N]) {
    for (const char* line : lines) {
        out += line;
        out += '\n';
    }
}

void AppendUsage(std::string& out, const char* before, const char* path, const char* after) {
    out += before;
    out += path;
    out += after;
    out += '\n';
}

} // namespace

std::string FormatUsageText(const char* programPath) {
    const char* path = programPath ? programPath : "";
    std::string out;
    AppendUsage(out, "Dalvora Command Line Application Rel:  ", kDalvoraRelease, "");
    AppendUsage(out, "usage ", path, " [--log] ");
    out += "        to start in gui mode\n";
    AppendUsage(out, "usage: ", path, " --version");
    out += "        to get software version\n";
    AppendUsage(out, "usage: ", path, " --usbdevlist [-v/-lv/-lf]");
    out += "        to get usb connected device list\n";
    AppendUsage(out, "usage: ", path, " --ethdevlist [-v/-lv/-lf]");
    out += "        to get ethernet connected device list\n";
    AppendUsage(out, "usage: ", path,
                " --upgrade -f [filename] -t [usb|eth|ser] -d [device] [-c [upgfields]] [-v/-s/-lv/-lf]");
    out += "        to upgrade device\n";
    AppendLines(out, kDeviceLines);
    AppendLines(out, kUpgradeDetailLines);
    AppendUsage(out, "usage ", path,
                " --exectool -t [usb|eth|ser] -d [device] -rtool [[toolnum][-][toolid]] [toolfilename] "
                "[-v/-s/-lv/-lf/]");
    out += "        to exec tool on device\n";
    AppendLines(out, kDeviceLines);
    AppendLines(out, kToolDetailLines);
    AppendUsage(out, "usage ", path,
                " --sendtcfx -f [filename] -t [usb|eth|ser] -d [device] [-od [onlydiff]][-v/-s/-lv/-lf]");
    out += "        to send tcfx file to device\n";
    AppendLines(out, kDeviceLines);
    AppendLines(out, kTcfxDetailLines);
    AppendLines(out, kClosingLines);
    return out;
}
