// The command-line operations: one operation per run, chosen by priority from the option state,
// ending the process with an exit status and its message.
#pragma once

#include "app/CmdLineOptions.h"
#include "comm/PrinterJob.h"
#include "transport/CommPortSettings.h"

#include <string>

enum class CmdOperation { None, ExecTool, UsbDevList, EthDevList, PrinterVersion, Upgrade, SendTcfx };

// Exit statuses of the command line.
enum CmdExitStatus : int {
    kExitSuccess = 0,
    kExitFile = 11,
    kExitNotCompatible = 12,
    kExitParameter = 13,
    kExitCommunication = 14,
    kExitDeviceNotFound = 15,
    kExitEthDiscovery = 255,
};

// File kinds recognised by their ending, set by parse_filename.
struct FileKindFlags {
    bool isMod = false;
    bool isPswPfw = false;
    bool isBin = false;
    bool isZpd = false;
    bool isSpt = false;
};
FileKindFlags& file_kind_flags();

// False when the file does not exist, the name is shorter than five characters or its ending is not
// one of the known kinds; otherwise sets the one matching flag (all flags are cleared first).
bool parse_filename(const char* name);

// The first operation flag set, in the order exectool, usbdevlist, ethdevlist, printerversion or
// upgrade, sendtcfx.
CmdOperation ChooseOperation(const CmdLineOptions& opts);

// The message of an exit status, "Error %d" for codes without one.
std::string ErrorDescription(int code);

// Shows the code's message on the console and in the log, then, for the tool, upgrade and archive
// operations and unless silent, prints the "Result:" line on standard output.
void print_error_description(int code);

// Creates home/VELMAR/Dalvora/Log part by part (mode 0775) and returns it; failures are ignored.
std::string CreateLogDirectory(const std::string& home);

// Turns on the log the options ask for (-lv console, -lf file in the log directory).
void SetUpCmdlineLogging(const CmdLineOptions& opts);

// The USB printers of the maker as "VID|PID|SN" lines in bus order, cut at a whole line within
// capacity bytes (terminator included). Printers that could not be read are left out; `error`, when
// given, receives the text of the last such failure (empty when every printer was read).
std::string UsbPrinterLines(size_t capacity, std::string* error = nullptr);
inline constexpr size_t kUsbListCapacity = 8192;
inline constexpr size_t kUsbAnyCapacity = 1024;

// --usbdevlist and --ethdevlist: print the list on standard output (whatever -s and -v say).
int RunUsbDeviceList();
int RunEthDeviceList();

// "eth", "usb", "ser" (exactly, lower case) into a port kind; COMM_NONE otherwise.
CommPortType PortKindFromType(const std::string& type);
// Fresh settings from the -d option for the kind: "ANY" or "VID|PID|SN" (any case) for USB,
// "address:port" for Ethernet, "device:baud:SW|HW|NONE" for serial. False for a malformed text.
bool parse_device(CommPortType type, CommPortSettings* settings);
bool ParseDeviceText(CommPortType type, const std::string& device, CommPortSettings* settings);

// Finds the printer and runs the operation, whose result is the exit status, with a session object of
// the caller's when given (the upgrade's). A failure thrown while finding the printer or inside the
// operation is reported as "<operationName> FAILURE (code)", status 14.
int RunPrinterJob(const CmdLineOptions& opts, PrinterData& data, const char* operationName,
                  const PrinterJob::Operation& operation, PrinterComm* session = nullptr);

// The printer operations; each returns its exit status after printing its own messages.
int RunPrinterVersion(const CmdLineOptions& opts);
int RunExecTool(const CmdLineOptions& opts);
int RunSendTcfx(const CmdLineOptions& opts);

// Runs the chosen operation and returns its exit status, after printing its own messages.
int RunCmdlineOperation(CmdOperation operation, const CmdLineOptions& opts);

// Runs the operation of the option state and ends the process; returns 0 only without operation.
int perform_cmdline_operation();
