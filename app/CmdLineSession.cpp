// The command-line operations that talk to one printer: its identity and setup, a service tool, and
// sending a configuration archive. Each opens one session and ends with an exit status.
#include "app/CmdLineOperations.h"

#include "audit/AuditRecords.h"
#include "base/CmdConsole.h"
#include "base/GenericFunctions.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/PrinterComm.h"
#include "comm/PrinterJob.h"
#include "model/PrinterData.h"
#include "model/ToolsData.h"

#include <cctype>
#include <cstring>
#include <optional>

namespace {

constexpr const char* kWhere = "perform_cmdline_operation";
// The command line may send every firmware component.
constexpr int kAllComponents = 255;

// Port kind and device into the settings: 0, or the exit status of the parameter error.
int PrepareSettings(const CmdLineOptions& opts, CommPortSettings& settings) {
    const CommPortType kind = PortKindFromType(opts.type);
    if (kind == COMM_NONE) {
        CmdConsole::WriteToConsoleString("type argument not valid\n");
        return kExitParameter;
    }
    if (!parse_device(kind, &settings)) {
        CmdConsole::WriteToConsoleString("device argument not valid\n");
        return kExitParameter;
    }
    return kExitSuccess;
}

// The lines of a tool's answer: a two-digit count, then one 128-byte slot per line.
void ShowToolAnswer(const AnswerRecord& answer) {
    const LineTable* table = answer.Get<LineTable>();
    if (table == nullptr || table->Buffer.size() < 2)
        return;
    const std::vector<char>& buffer = table->Buffer;
    const int count = (buffer[0] - '0') * 10 + (buffer[1] - '0');
    for (int line = 0; line < count; ++line) {
        const size_t start = 2 + static_cast<size_t>(line) * LineTable::kSlotSize;
        if (start >= buffer.size())
            break;
        const size_t room = std::min(LineTable::kSlotSize, buffer.size() - start);
        const std::string text(buffer.data() + start, strnlen(buffer.data() + start, room));
        CmdConsole::WriteToConsoleString("%s", text.c_str());
    }
}

// What the identity read found, for the console (-v); the full account is in the log.
void ShowPrinterVersion(const PrinterData& data, uint64_t dataErrors) {
    if (data.GetGSI())
        CmdConsole::WriteToConsoleString("GSI: 0x%04llx", static_cast<unsigned long long>(*data.GetGSI()));
    if (data.GetFWRel())
        CmdConsole::WriteToConsoleString("Firmware release: %s", data.GetFWRel()->c_str());
    if (const ProtocolVersion* version = data.GetProtocolVersion())
        CmdConsole::WriteToConsoleString("Protocol version: %llu",
                                         static_cast<unsigned long long>(version->Version));
    CmdConsole::WriteToConsoleString("Setup items: %u (data errors: %llu)", data.GetNumSetupItems(),
                                     static_cast<unsigned long long>(dataErrors));
}

// The script of the upload tool: 0 with its bytes, or the exit status of the file error.
int LoadToolScript(const CmdLineOptions& opts, std::vector<uint8_t>& script) {
    if (opts.toolfilename.empty()) {
        CmdConsole::WriteToConsoleString("[toolfilename] for upload SPT file not specified\n");
        return kExitParameter;
    }
    const bool named = parse_filename(opts.toolfilename.c_str());
    const FileKindFlags& kinds = file_kind_flags();
    Log::WriteLogP(kWhere, "parse_filename %s (%d) m=%d p=%d b=%d z=%d s=%d", opts.toolfilename.c_str(),
                   named, kinds.isMod, kinds.isPswPfw, kinds.isBin, kinds.isZpd, kinds.isSpt);
    if (!named || !kinds.isSpt) {
        CmdConsole::WriteToConsoleString("filename argument not valid\n");
        return kExitFile;
    }
    int size = 0;
    std::optional<std::vector<uint8_t>> bytes = GenericFunctions::readfile(opts.toolfilename.c_str(), &size);
    if (!bytes || size < 0) {
        CmdConsole::WriteToConsoleString("LoadBinFile FAILURE\n");
        return kExitFile;
    }
    script = std::move(*bytes);
    return kExitSuccess;
}

bool ValidToolChoice(const CmdLineOptions& opts) {
    return opts.toolnumber != 0 && opts.toolid >= 1 && opts.toolid <= 32 &&
           ToolsData::ValidTool(opts.toolnumber, static_cast<int>(ToolsData::FromIntToToolMask(opts.toolid)));
}

} // namespace

int RunPrinterJob(const CmdLineOptions& opts, PrinterData& data, const char* operationName,
                  const PrinterJob::Operation& operation, PrinterComm* session) {
    CommPortSettings settings;
    if (int status = PrepareSettings(opts, settings); status != kExitSuccess)
        return status;
    PrinterJob job(data, settings, {kAllComponents, opts.timem});
    const PrinterJobOutcome outcome = session ? job.Run(*session, operation) : job.Run(operation);
    switch (outcome.failedAt) {
    case PrinterJobOutcome::Stage::Done:
        return outcome.result;
    case PrinterJobOutcome::Stage::FindingPrinter:
        CmdConsole::WriteToConsoleString("PrnCom_Init FAILURE (%d)\n", outcome.result);
        break;
    case PrinterJobOutcome::Stage::Operation:
        CmdConsole::WriteToConsoleString("%s FAILURE (%d)\n", operationName, outcome.result);
        break;
    }
    return kExitCommunication;
}

CommPortType PortKindFromType(const std::string& type) {
    if (type == "eth")
        return COMM_ETHERNET;
    if (type == "usb")
        return COMM_USB_PRN;
    if (type == "ser")
        return COMM_SERIAL;
    return COMM_NONE;
}

bool parse_device(CommPortType type, CommPortSettings* settings) {
    return ParseDeviceText(type, cmdline_options().device, settings);
}

bool ParseDeviceText(CommPortType type, const std::string& device, CommPortSettings* settings) {
    *settings = CommPortSettings{};
    if (type == COMM_USB_PRN) {
        std::string name = device;
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        settings->type = COMM_USB_PRN;
        if (name == "ANY") {
            const std::string lines = UsbPrinterLines(kUsbAnyCapacity);
            name = lines.substr(0, lines.find('\n'));
        }
        settings->usbDeviceName = name;
        return !name.empty();
    }
    const size_t colon = device.find(':');
    if (colon == std::string::npos)
        return false;
    if (type == COMM_ETHERNET) {
        int port = 0;
        if (!GenericFunctions::ParseCheckInt(device.substr(colon + 1).c_str(), &port))
            return false;
        settings->type = COMM_ETHERNET;
        settings->ipAddress = device.substr(0, colon);
        settings->tcpPort = port;
        return true;
    }
    if (type != COMM_SERIAL)
        return false;
    const size_t second = device.find(':', colon + 1);
    if (second == std::string::npos)
        return false;
    int baud = 0;
    if (!GenericFunctions::ParseCheckInt(device.substr(colon + 1, second - colon - 1).c_str(), &baud))
        return false;
    const std::string flow = device.substr(second + 1);
    if (flow != "SW" && flow != "HW" && flow != "NONE")
        return false;
    settings->type = COMM_SERIAL;
    settings->comPortName = device.substr(0, colon);
    settings->baudRate = baud;
    settings->flowControl = flow == "SW" ? 2 : flow == "HW" ? 1 : 0;
    return true;
}

int RunPrinterVersion(const CmdLineOptions& opts) {
    PrinterData data;
    data.Init();
    return RunPrinterJob(opts, data, "PrnCom_ReadSetupData", [](PrinterJobSession& s) {
        const uint64_t dataErrors = s.comm.PrnCom_ReadSetupData(&s.layer, &s.data, &s.settings, true);
        ShowPrinterVersion(s.data, dataErrors);
        return kExitSuccess;
    });
}

int RunExecTool(const CmdLineOptions& opts) {
    if (!ValidToolChoice(opts)) {
        CmdConsole::WriteToConsoleString("-rtool argument not valid\n");
        return kExitParameter;
    }
    const uint32_t mask = ToolsData::FromIntToToolMask(opts.toolid);
    std::vector<uint8_t> script;
    const bool upload = mask == 0x20;
    if (upload) {
        if (int status = LoadToolScript(opts, script); status != kExitSuccess)
            return status;
    }
    const ToolTag tool{static_cast<uint32_t>(opts.toolnumber), mask, "",
                       ToolsData::GetToolTimeout(opts.toolnumber, opts.toolid)};
    PrinterData data;
    data.Init();
    return RunPrinterJob(opts, data, "Execute Tool", [&](PrinterJobSession& s) {
        const AnswerRecord answer = s.comm.PrnComExecToolOnPrinter(
            &s.layer, &s.data, &s.settings, &tool, upload ? script.data() : nullptr,
            upload ? static_cast<int>(script.size()) : -1, false);
        ShowToolAnswer(answer);
        return kExitSuccess;
    });
}

namespace {

// Every write that reached the printer, whatever came of it, goes into the audit trail.
void RecordWrite(const PrinterData& printer, const CommPortSettings& settings, const WriteReport& report,
                 int status) {
    audit::Entry entry =
        audit::NewEntry(audit::kFrontEndCommandLine, audit::kOperationWrite, printer, settings);
    entry.items = report.items;
    entry.ok = status == kExitSuccess;
    entry.status = status;
    entry.reason = entry.ok ? "" : ErrorDescription(status);
    (void)audit::Record(entry);
}

} // namespace

int RunSendTcfx(const CmdLineOptions& opts) {
    PrinterData printer;
    printer.Init();
    PrinterComm comm(kAllComponents, opts.timem);
    std::optional<CommPortSettings> written;
    const int status = RunPrinterJob(
        opts, printer, "WriteDataToPrinter",
        [&](PrinterJobSession& s) {
            PrinterData archive;
            if (!LoadArchiveFile(opts.filename, archive)) {
                // A file that is not an archive of ours is a file error like a missing one.
                CmdConsole::WriteToConsoleString("Read tcfx file FAILURE\n");
                return kExitFile;
            }
            ProtocolDataAvailable toSave;
            toSave.SetupDataToSave(false, true);
            written = s.settings;
            if (!s.comm.PrnCom_WriteDataToPrinter(&s.layer, &archive, &toSave, &s.settings,
                                                  opts.tcfxonlydiff != 0)) {
                CmdConsole::WriteToConsoleString("WriteDataToPrinter ERROR\n");
                return kExitCommunication;
            }
            CmdConsole::WriteToConsoleString("OPERATION SUCCESS\n");
            return kExitSuccess;
        },
        &comm);
    if (written)
        RecordWrite(printer, *written, comm.GetWriteReport(), status);
    return status;
}
