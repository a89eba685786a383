#include "comm/Commands.h"

#include "base/Log.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool Supported(uint64_t version) {
    return version == kProtocolVersion100;
}

// Built from the constant rather than appended to an empty vector, which GCC 12 at -O3 misreads as
// an overflow.
template <size_t N> Bytes Start(const std::array<unsigned char, N>& head) {
    return Bytes(head.begin(), head.end());
}

void AppendField(const std::string& text, Bytes* out) {
    out->push_back('<');
    out->insert(out->end(), text.begin(), text.end());
    out->push_back('>');
}

// Sum of every byte written so far, modulo 256.
unsigned ChecksumOf(const Bytes& bytes) {
    unsigned sum = 0;
    for (unsigned char byte : bytes)
        sum += byte;
    return sum % 256;
}

std::string DateTimeField(const std::tm& now) {
    char text[32];
    snprintf(text, sizeof text, "%02d%02d%02d%02d%02d%02d", now.tm_mday, now.tm_mon + 1, now.tm_year % 100,
             now.tm_hour, now.tm_min, now.tm_sec);
    return text;
}

} // namespace

const unsigned char* Commands::GetCommand_GetHeaderSetup(uint64_t version) {
    return Supported(version) ? Cmd_CommandGetHeaderSetup.data() : nullptr;
}
int Commands::GetCommand_GetHeaderSetupCommandSize(uint64_t version) {
    return Supported(version) ? static_cast<int>(Cmd_CommandGetHeaderSetup.size()) : 0;
}
const unsigned char* Commands::GetCommand_GetIDList(uint64_t version) {
    return Supported(version) ? Cmd_CommandGetIDList.data() : nullptr;
}
int Commands::GetCommand_GetIDListCommandSize(uint64_t version) {
    return Supported(version) ? static_cast<int>(Cmd_CommandGetIDList.size()) : 0;
}
const unsigned char* Commands::GetCommand_SetAllValuesOnPrinter(uint64_t version) {
    return Supported(version) ? Cmd_CommandSetAllValuesOnPrinter.data() : nullptr;
}
int Commands::GetCommand_SetAllValuesOnPrinterSize(uint64_t version) {
    return Supported(version) ? static_cast<int>(Cmd_CommandSetAllValuesOnPrinter.size()) : 0;
}
const unsigned char* Commands::GetCommand_GetToolsSupported(uint64_t version) {
    return Supported(version) ? Cmd_CommandToolsSupported.data() : nullptr;
}
int Commands::GetCommand_GetToolsSupportedCommandSize(uint64_t version) {
    return Supported(version) ? static_cast<int>(Cmd_CommandToolsSupported.size()) : 0;
}

void Commands::PopulateVectorWithData(const unsigned char* bytes, int count, Bytes* out) {
    if (bytes == nullptr || out == nullptr || count < 1)
        return;
    out->insert(out->end(), bytes, bytes + count);
}

Bytes Commands::GetCommand_GetIDInformation(uint64_t version, unsigned long long id) {
    Bytes command;
    if (!Supported(version))
        return command;
    Log::WriteLogP("GetCommand_GetIDInformation", "Ask ID Information for ID %d ...", static_cast<int>(id));
    command = Start(Cmd_CommandGetIDInfo);
    AppendField(std::to_string(id), &command);
    return command;
}

// The value field is as long as the value: no fixed buffer limits what a printer may be sent.
Bytes Commands::GetCommand_SetIDValue(uint64_t version, unsigned long long id, const char* value,
                                      bool confidential) {
    Bytes command;
    if (!Supported(version))
        return command;
    std::string text = value ? value : "";
    std::string shown = confidential ? std::string(text.size(), '*') : text;
    Log::WriteLogP("GetCommand_SetIDValue", "Set ID Value %s for ID %llu ...", shown.c_str(), id);
    command = Start(Cmd_CommandSetIDValue);
    AppendField(std::to_string(id), &command);
    AppendField(text, &command);
    AppendField(std::to_string(ChecksumOf(command)), &command);
    return command;
}

Bytes Commands::GetCommand_ExecTool(uint64_t version, unsigned toolGroup, unsigned toolBit,
                                    const unsigned char* data, int dataLength) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return GetCommand_ExecTool(version, toolGroup, toolBit, data, dataLength, local);
}

Bytes Commands::GetCommand_ExecTool(uint64_t version, unsigned toolGroup, unsigned toolBit,
                                    const unsigned char* data, int dataLength, const std::tm& now) {
    Bytes command;
    if (!Supported(version))
        return command;
    command = Start(Cmd_CommandToolsExec);
    AppendField(std::to_string(toolGroup), &command);
    AppendField(std::to_string(toolBit), &command);
    if (toolBit == kToolBitSetDateTime) {
        AppendField(DateTimeField(now), &command);
    } else if (toolBit == kToolBitUploadScript) {
        AppendField(std::to_string(dataLength), &command);
        PopulateVectorWithData(data, dataLength, &command);
    }
    return command;
}
