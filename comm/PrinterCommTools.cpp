// The service tools and the status of a printer: which tools it has, running one, the descriptions of
// its status bits and the live status bytes.
#include "comm/PrinterComm.h"

#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/PrinterSession.h"
#include "model/PrinterData.h"

#include <cstring>

using namespace printer_session;

struct PrinterComm::LiveStatusRequest {
    const char* where;
    const std::array<unsigned char, 3>& command;
    const char* missingText;
    bool logsLifeInfoLine; // the general form's refusal also says "NO Get PrnLifeInfo"
};

namespace {

template <class Record>
std::unique_ptr<Record> ReadStatusGroup(const char* where, CommLayer& layer, const PrinterData& data,
                                        const std::array<unsigned char, 3>& command, OBJTYPE type,
                                        const char* missingText, const char* okText, const char* errorText) {
    Cancel(layer);
    std::optional<Answer> answer = Ask(layer, command);
    if (!answer)
        Fail(where, missingText, kErrorNoAnswer);
    if (answer->refusal != 0) {
        Log::WriteLogP(where, "Return is a Error Answer %d", answer->refusal);
        Fail(where, "NO Get PrnLifeInfo", answer->refusal);
    }
    AnswerRecord record = RecordOf(*answer, data);
    std::unique_ptr<Record> result = record.Type() == type ? record.Take<Record>() : nullptr;
    if (!result)
        Fail(where, errorText, kErrorBadAnswer);
    Log::WriteLog(where, okText);
    return result;
}

} // namespace

std::unique_ptr<ToolsData> PrinterComm::ReadToolMasks(const char* where, CommLayer& layer,
                                                      const PrinterData& data, std::optional<int> timeoutMs) {
    Cancel(layer);
    const uint64_t version = VersionOf(data);
    std::optional<Answer> answer = Ask(layer, Commands::GetCommand_GetToolsSupported(version),
                                       Commands::GetCommand_GetToolsSupportedCommandSize(version), timeoutMs);
    if (!answer)
        Fail(where, "Get Tools Type Error", kErrorNoAnswer);
    if (answer->refusal != 0) {
        // Reading the tools has always logged this line with the refusal.
        if (!timeoutMs) {
            Log::WriteLogP(where, "Return is a Error Answer %d", answer->refusal);
            Fail(where, "NO Get PrnLifeInfo", answer->refusal);
        }
        FailRefused(where, answer->refusal);
    }
    AnswerRecord record = RecordOf(*answer, data);
    std::unique_ptr<ToolsData> tools =
        record.Type() == OBJTYPE_TOOLS_DATA ? record.Take<ToolsData>() : nullptr;
    if (!tools)
        Fail(where, "Extract ToolsType Error", kErrorBadAnswer);
    Log::WriteLog(where, "Extract ToolsType OK");
    return tools;
}

void PrinterComm::PrnCom_ReadTools(CommLayer* layer, PrinterData* data, CommPortSettings* settings) {
    constexpr const char* kWhere = "PrnCom_ReadTools";
    Log::WriteLog(kWhere, "Begin");
    Guarded(kWhere, [&] {
        PortCloser port(*layer);
        Preamble(kWhere, *layer, *data, *settings);
        if (!data->GetProtocolDataAvailable()->Has(ProtocolDataAvailable::kTools))
            Fail(kWhere, "Printer Tools not supported!", kErrorGroupNotOffered);
        Log::WriteLog(kWhere, "PRINTER TOOLS DATA AVAILABLE");
        std::unique_ptr<ToolsData> tools = ReadToolMasks(kWhere, *layer, *data, std::nullopt);
        data->GetToolsData().SetTools1(tools->GetTools1());
        data->GetToolsData().SetTools2(tools->GetTools2());
        port.Close();
    });
    Log::WriteLog(kWhere, "End");
}

AnswerRecord PrinterComm::PrnComExecToolOnPrinter(CommLayer* layer, PrinterData* data,
                                                  CommPortSettings* settings, const ToolTag* tool,
                                                  const unsigned char* toolData, int dataLength,
                                                  bool resetAfter) {
    constexpr const char* kWhere = "PrnComExecToolOnPrinter";
    Log::WriteLog(kWhere, "Begin");
    AnswerRecord result = Guarded(kWhere, [&] {
        PortCloser port(*layer);
        StartSession(kWhere, *layer, *data, *settings, "Extract SetupItemProtocollVersion Error");
        Cancel(*layer);
        std::optional<Answer> answer = Ask(*layer, Commands::Cmd_CommandDataAvailable);
        if (!answer)
            Fail(kWhere, "NO Get ProtocollDataAvailable Error", kErrorBadAnswer);
        if (answer->refusal != 0)
            FailRefused(kWhere, answer->refusal);
        AnswerRecord offered = RecordOf(*answer, *data);
        if (offered.Type() != OBJTYPE_PROTOCOL_DATA_AVAILABLE || !offered.Get<ProtocolDataAvailable>())
            Fail(kWhere, "Extract SetupItemProtocollDataAvailable Error", kErrorBadAnswer);
        if (!offered.Get<ProtocolDataAvailable>()->Has(ProtocolDataAvailable::kTools))
            Fail(kWhere, "Tools not available", kErrorToolsNotAvailable);

        const int timeoutMs = static_cast<int>(tool->Timeout);
        Log::WriteLogP(kWhere, "Tool %u-%u timeout %u ms", tool->ToolNum, tool->ToolMask, tool->Timeout);
        std::unique_ptr<ToolsData> tools = ReadToolMasks(kWhere, *layer, *data, timeoutMs);
        if (!tools->IsRequestedToolSupported(tool->ToolNum, tool->ToolMask))
            Fail(kWhere, "Tools not supported", kErrorToolNotSupported);
        std::optional<Answer> done = Ask(*layer,
                                         Commands::GetCommand_ExecTool(VersionOf(*data), tool->ToolNum,
                                                                       tool->ToolMask, toolData, dataLength),
                                         timeoutMs);
        if (!done)
            Fail(kWhere, "Exec Tool Error", kErrorNoToolAnswer);
        if (done->refusal != 0)
            FailRefused(kWhere, done->refusal);
        AnswerRecord record = RecordOf(*done, *data);
        if (resetAfter) {
            layer->WriteBytes(Commands::Cmd_CommandPrnReset);
            Log::WriteLog(kWhere, "end Printer Reset AOP");
        }
        port.Close();
        return record;
    });
    Log::WriteLog(kWhere, "End");
    return result;
}

void PrinterComm::PrnCom_ReadStatusInfo(CommLayer* layer, PrinterData* data, CommPortSettings* settings) {
    constexpr const char* kWhere = "PrnCom_ReadStatusInfo";
    Log::WriteLog(kWhere, "Begin");
    Guarded(kWhere, [&] {
        PortCloser port(*layer);
        Preamble(kWhere, *layer, *data, *settings);
        if (!data->GetProtocolDataAvailable()->Has(ProtocolDataAvailable::kStatusPrinter))
            Fail(kWhere, "Printer Status not not supported!", kErrorGroupNotOffered);
        Log::WriteLog(kWhere, "PRINTER STATUS INFO AVAILABLE");
        data->SetStatusInfoGenData(ReadStatusGroup<StatusInfoGenData>(
            kWhere, *layer, *data, Commands::Cmd_GetGenStatusInfo, OBJTYPE_STATUS_INFO_GEN,
            "Get Generic Status Info Error", "Extract Generic Status Info OK",
            "Extract Generic Status Info Error"));
        data->SetStatusInfoExtData(ReadStatusGroup<StatusInfoExtData>(
            kWhere, *layer, *data, Commands::Cmd_GetExtStatusInfo, OBJTYPE_STATUS_INFO_EXT,
            "Get Extended Status Info Error", "Extract Extended Status Info OK",
            "Extract Extended Status Info Error"));
        port.Close();
    });
    Log::WriteLog(kWhere, "End");
}

void PrinterComm::ReadLiveStatus(const LiveStatusRequest& request, CommLayer& layer, PrinterData& data,
                                 CommPortSettings& settings, unsigned char* out, int capacity, int* length) {
    const char* where = request.where;
    Log::WriteLog(where, "Begin");
    Guarded(where, [&] {
        PortCloser port(layer);
        if (!OpenCommunicationPort(&layer, &settings))
            Fail(where, "Open Error", kErrorDeviceNotFound);
        if (!layer.HandshakeCommunication(&data, 0))
            Fail(where, "Handshake Communication Error", kErrorDeviceNotFound);
        Cancel(layer);
        std::optional<Answer> answer = Ask(layer, request.command);
        if (!answer)
            Fail(where, request.missingText, kErrorNoStatusAnswer);
        if (answer->refusal != 0) {
            if (request.logsLifeInfoLine)
                Log::WriteLog(where, "NO Get PrnLifeInfo");
            FailRefused(where, answer->refusal);
        }
        AnswerRecord record = RecordOf(*answer, data);
        const StatusData* status = record.Type() == OBJTYPE_STATUS_DATA ? record.Get<StatusData>() : nullptr;
        if (status == nullptr)
            Fail(where, "Extract StatusData Error", kErrorBadAnswer);
        if (length != nullptr) {
            *length = 0;
            if (out != nullptr && capacity >= 0 && status->Length() <= static_cast<size_t>(capacity)) {
                std::memcpy(out, status->Bytes.data(), status->Length());
                *length = static_cast<int>(status->Length());
            }
        }
        port.Close();
    });
    Log::WriteLog(where, "End");
}

void PrinterComm::PrnCom_GetPrinterStatusGeneral(CommLayer* layer, PrinterData* data,
                                                 CommPortSettings* settings, unsigned char* out, int capacity,
                                                 int* length) {
    ReadLiveStatus({"PrnCom_GetPrinterStatusGeneral", Commands::Cmd_GetPrinterStatusGen,
                    "GetPrinterStatusGen Error", true},
                   *layer, *data, *settings, out, capacity, length);
}

void PrinterComm::PrnCom_GetPrinterStatusExtended(CommLayer* layer, PrinterData* data,
                                                  CommPortSettings* settings, unsigned char* out,
                                                  int capacity, int* length) {
    ReadLiveStatus({"PrnCom_GetPrinterStatusExtended", Commands::Cmd_GetPrinterStatusExt,
                    "GetPrinterStatusExt Error", false},
                   *layer, *data, *settings, out, capacity, length);
}
