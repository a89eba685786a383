// The --help text as users know it, line by line with its exact blanks: tabs are written "\t" and
// trailing spaces stand before the "\n"; "%s" is the program path.
#include "tests/e2e/UsageTextGolden.h"

namespace {

// After each operation that takes a device.
const std::string kDevice =
    "        where [device] is:\n"
    "              for usb: device name as returned by usbdevlist or ANY for first device in list\n"
    "              for eth: [ip address]:[port]\n"
    "              for ser: [uart device]:[baudrate]:[flow control]\n"
    "                       flow control can be SW, HW or NONE\n";

} // namespace

std::string ExpectedUsageText(const std::string& programPath) {
    std::string text =
        std::string("Dalvora Command Line Application Rel:  1.1.1\n"
                    "usage %s [--log] \n"
                    "        to start in gui mode\n"
                    "usage: %s --version\n"
                    "        to get software version\n"
                    "usage: %s --usbdevlist [-v/-lv/-lf]\n"
                    "        to get usb connected device list\n"
                    "usage: %s --ethdevlist [-v/-lv/-lf]\n"
                    "        to get ethernet connected device list\n"
                    "usage: %s --upgrade -f [filename] -t [usb|eth|ser] -d [device] [-c [upgfields]] "
                    "[-v/-s/-lv/-lf]\n"
                    "        to upgrade device\n") +
        kDevice +
        std::string(
            "       [filename]   is the path of the upgrade file\n"
            "       [upgfields]  if PFW upgrade file selected, specify the upgrade fields to update: \n"
            "       \t\t\t       S: FW  \n"
            "       \t\t\t       F: FONTS MODULE  \n"
            "       \t\t\t       L: LOGOS MODULE  \n"
            "       \t\t\t       D: FLASH DISK MODULE  \n"
            "       \t\t\t       O: OTHER MODULES \n"
            "       \t\t\t       A: ALL MODULES [default] \n"
            "       \t\t\t  Example: -c SL to specify to update only FW and LOGOS of the upgrade file \n"
            "usage %s --exectool -t [usb|eth|ser] -d [device] -rtool [[toolnum][-][toolid]] [toolfilename] "
            "[-v/-s/-lv/-lf/]\n"
            "        to exec tool on device\n") +
        kDevice +
        std::string(
            "       [toolnum]        indicates the tool bitmask table\n"
            "       [toolid]         indicates the id of the tool to call\n"
            "       [toolfilename]   is the path of the file to read/write with specified tool and is "
            "mandatory only for the tools that required it\n"
            "usage %s --sendtcfx -f [filename] -t [usb|eth|ser] -d [device] [-od [onlydiff]][-v/-s/-lv/-lf]\n"
            "        to send tcfx file to device\n") +
        kDevice +
        std::string("       [filename]   is the path of the tcfx file to be sent to the device\n"
                    "       [onlydiff]   send only differences compared to device configuration or send all "
                    "fields: \n"
                    "       \t\t\t       1: only differences [default] \n"
                    "       \t\t\t       0: all fields \n"
                    "       -v:    enable verbose view on video\n"
                    "       -s:    enable silent mode (no messages on video)\n"
                    "       -lv:   enable log on video\n"
                    "       -lf:   enable log on file ([Home Directory]/VELMAR/Dalvora/Log/status.log)\n"
                    "       Possible values for [toolnum]-[toolid]:\n"
                    "                1-1       BLACKMARK AUTOSET\n"
                    "                1-2       PAPER CHARACTERIZATION\n"
                    "                1-3       PRINT DEVICE SETUP\n"
                    "                1-4       SET DATE/TIME\n"
                    "                1-5       HEAD TEST\n"
                    "                1-6       UPLOAD SPT FILE\n"
                    "                1-7       FLASH RESET\n");
    for (size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at + programPath.size()))
        text.replace(at, 2, programPath);
    return text;
}
