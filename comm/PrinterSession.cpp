// The shared pieces of the printer operations.
#include "comm/PrinterSession.h"

#include "base/Log.h"
#include "model/PrinterData.h"

namespace printer_session {

PortCloser::~PortCloser() {
    try {
        Close();
    } catch (...) {
        // Leaving an operation must not fail a second time; the port is gone either way.
        Log::WriteLog("PortCloser", "Close Error");
    }
}

void PortCloser::Close() {
    if (!m_open)
        return;
    m_open = false;
    m_layer.Close();
}

std::optional<Answer> Ask(CommLayer& layer, const unsigned char* command, size_t size,
                          std::optional<int> timeoutMs) {
    if (command == nullptr || size == 0) {
        Log::WriteLog("Ask", "Command not available in this protocol version");
        return std::nullopt;
    }
    layer.Write(command, static_cast<unsigned>(size));
    std::optional<std::vector<uint8_t>> bytes =
        timeoutMs ? layer.ReadProtocolData(*timeoutMs) : layer.ReadProtocolData();
    if (!bytes)
        return std::nullopt;
    Answer answer;
    answer.fields.CreateFields(bytes->data(), static_cast<int>(bytes->size()));
    DalvoraError code = 0;
    if (answer.fields.CheckAnswer(&code))
        answer.refusal = code != 0 ? code : ProtocolFields::kMalformedAnswer;
    return answer;
}

AnswerRecord RecordOf(const Answer& answer, const PrinterData& data, uint64_t& dataErrors) {
    OBJTYPE type = OBJTYPE_NONE;
    return answer.fields.CreateSetupItem(dataErrors, data.GetProtocolVersion(), type);
}

uint64_t VersionOf(const PrinterData& data) {
    const ProtocolVersion* version = data.GetProtocolVersion();
    return version ? version->Version : 0;
}

void Cancel(CommLayer& layer) {
    layer.WriteBytes(Commands::Cmd_CommandCAN);
}

void Fail(const char* where, const char* text, DalvoraError code) {
    Log::WriteLog(where, text);
    throw DalvoraException(code);
}

void FailRefused(const char* where, DalvoraError code) {
    Log::WriteLogP(where, "Return is a Error Answer %d", code);
    throw DalvoraException(code);
}

void FailCommunication(const char* where, int layerCode) {
    Log::WriteLog(where, "Communication Error");
    Log::WriteLogP(where, "Error: %d", layerCode);
    throw DalvoraException(7);
}

} // namespace printer_session
