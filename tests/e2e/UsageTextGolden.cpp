#include "tests/e2e/UsageTextGolden.h"

#include <vector>

namespace {

// lead spaces, tabs, spaces after the tabs, text ("%s" is the program path), trailing spaces
struct Line {
    int lead;
    int tabs;
    int mid;
    const char* text;
    int trailing;
};

const std::vector<Line> kDevice = {
    {8, 0, 0, "where [device] is:", 0},
    {14, 0, 0, "for usb: device name as returned by usbdevlist or ANY for first device in list", 0},
    {14, 0, 0, "for eth: [ip address]:[port]", 0},
    {14, 0, 0, "for ser: [uart device]:[baudrate]:[flow control]", 0},
    {23, 0, 0, "flow control can be SW, HW or NONE", 0},
};

std::vector<Line> Lines() {
    std::vector<Line> lines = {
        {0, 0, 0, "Dalvora Command Line Application Rel:  1.1.1", 0},
        {0, 0, 0, "usage %s [--log]", 1},
        {8, 0, 0, "to start in gui mode", 0},
        {0, 0, 0, "usage: %s --version", 0},
        {8, 0, 0, "to get software version", 0},
        {0, 0, 0, "usage: %s --usbdevlist [-v/-lv/-lf]", 0},
        {8, 0, 0, "to get usb connected device list", 0},
        {0, 0, 0, "usage: %s --ethdevlist [-v/-lv/-lf]", 0},
        {8, 0, 0, "to get ethernet connected device list", 0},
        {0, 0, 0,
         "usage: %s --upgrade -f [filename] -t [usb|eth|ser] -d [device] [-c [upgfields]] [-v/-s/-lv/-lf]",
         0},
        {8, 0, 0, "to upgrade device", 0},
    };
    lines.insert(lines.end(), kDevice.begin(), kDevice.end());
    lines.insert(
        lines.end(),
        {
            {7, 0, 0, "[filename]   is the path of the upgrade file", 0},
            {7, 0, 0, "[upgfields]  if PFW upgrade file selected, specify the upgrade fields to update:", 1},
            {7, 3, 7, "S: FW", 2},
            {7, 3, 7, "F: FONTS MODULE", 2},
            {7, 3, 7, "L: LOGOS MODULE", 2},
            {7, 3, 7, "D: FLASH DISK MODULE", 2},
            {7, 3, 7, "O: OTHER MODULES", 1},
            {7, 3, 7, "A: ALL MODULES [default]", 1},
            {7, 3, 2, "Example: -c SL to specify to update only FW and LOGOS of the upgrade file", 1},
            {0, 0, 0,
             "usage %s --exectool -t [usb|eth|ser] -d [device] -rtool [[toolnum][-][toolid]] [toolfilename] "
             "[-v/-s/-lv/-lf/]",
             0},
            {8, 0, 0, "to exec tool on device", 0},
        });
    lines.insert(lines.end(), kDevice.begin(), kDevice.end());
    lines.insert(
        lines.end(),
        {
            {7, 0, 0, "[toolnum]        indicates the tool bitmask table", 0},
            {7, 0, 0, "[toolid]         indicates the id of the tool to call", 0},
            {7, 0, 0,
             "[toolfilename]   is the path of the file to read/write with specified tool and is mandatory "
             "only for the tools that required it",
             0},
            {0, 0, 0,
             "usage %s --sendtcfx -f [filename] -t [usb|eth|ser] -d [device] [-od [onlydiff]][-v/-s/-lv/-lf]",
             0},
            {8, 0, 0, "to send tcfx file to device", 0},
        });
    lines.insert(lines.end(), kDevice.begin(), kDevice.end());
    lines.insert(
        lines.end(),
        {
            {7, 0, 0, "[filename]   is the path of the tcfx file to be sent to the device", 0},
            {7, 0, 0,
             "[onlydiff]   send only differences compared to device configuration or send all fields:", 1},
            {7, 3, 7, "1: only differences [default]", 1},
            {7, 3, 7, "0: all fields", 1},
            {7, 0, 0, "-v:    enable verbose view on video", 0},
            {7, 0, 0, "-s:    enable silent mode (no messages on video)", 0},
            {7, 0, 0, "-lv:   enable log on video", 0},
            {7, 0, 0, "-lf:   enable log on file ([Home Directory]/VELMAR/Dalvora/Log/status.log)", 0},
            {7, 0, 0, "Possible values for [toolnum]-[toolid]:", 0},
            {16, 0, 0, "1-1       BLACKMARK AUTOSET", 0},
            {16, 0, 0, "1-2       PAPER CHARACTERIZATION", 0},
            {16, 0, 0, "1-3       PRINT DEVICE SETUP", 0},
            {16, 0, 0, "1-4       SET DATE/TIME", 0},
            {16, 0, 0, "1-5       HEAD TEST", 0},
            {16, 0, 0, "1-6       UPLOAD SPT FILE", 0},
            {16, 0, 0, "1-7       FLASH RESET", 0},
        });
    return lines;
}

} // namespace

std::string ExpectedUsageText(const std::string& programPath) {
    std::string out;
    std::vector<Line> lines = Lines();
    for (const Line& line : lines) {
        std::string text = line.text;
        if (size_t at = text.find("%s"); at != std::string::npos)
            text.replace(at, 2, programPath);
        out += std::string(line.lead, ' ') + std::string(line.tabs, '\t') + std::string(line.mid, ' ') +
               text + std::string(line.trailing, ' ') + "\n";
    }
    return out;
}
