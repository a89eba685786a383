// Sending module images: one image with its answer wait, and every module of a package by kind.
#include "upgrade/UpgradePrinter.h"

#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "firmware/ModuleData.h"
#include "firmware/PSWComponents.h"
#include "firmware/PSWFile.h"

#include <vector>

namespace {

struct AnswerCode {
    uint8_t byte;
    const char* text;
};

constexpr uint8_t kModuleAccepted = 0xAA;
constexpr AnswerCode kModuleAnswerErrors[] = {
    {0x33, "ID Module Error"},
    {0x44, "Module Error"},
    {0x66, "Ram Error"},
    {0x95, "Generic Error"},
    {0x88, "Clear Flash Error"},
    {0x77, "Program Flash Error"},
    {0x98, "Upgrade Port not supported Error"},
};

// What each kind of package module logs and sends.
struct ModuleKind {
    int componentBits;
    const char* logLine;
    const char* sendingLine;
    const char* programmingLine;
    int moduleId;
    int moduleId2; // a second header kind of the same component, or -1
    ModulesAvailable::ModuleType type;
    const char* errorText;
    const char* notFoundText;
    const char* retryFormat;
};

constexpr ModuleKind kModuleKinds[] = {
    {0x02, "Send Fonts...", "Sending Fonts...", "Programming Fonts...", MODULE_FONTS, MODULE_FONTS_2,
     ModulesAvailable::FONT, "Programming Fonts Module Error", "Fonts Module not found",
     "ReOpen Error. Retry %d"},
    {0x04, "Send Flash Disk...", "Sending Flash Disk...", "Programming Flash Disk...", MODULE_FLASHDISK, -1,
     ModulesAvailable::DISK, "Programming Flash Disk Module Error.", "Flash Disk Module not found",
     "ReOpen Error. Retry %d"},
    {0x08, "Send Logos...", "Sending Logos...", "Programming Logos...", MODULE_LOGOS, -1,
     ModulesAvailable::LOGOS, "Programming Logos Module Error", "Logos Module not found",
     "ReOpen Error. Retry %d"},
    {0x10, "Send unknown module...", "Sending modules...", "Programming modules...", MODULE_OTHER, -1,
     ModulesAvailable::OTHER, "Programming unknown Module Error", "unknown Module not found",
     "ReOpen Error. Retry: %d"},
};

const ModuleKind* KindOf(int component) {
    for (const ModuleKind& kind : kModuleKinds)
        if ((component & 0xFF) == kind.componentBits)
            return &kind;
    return nullptr;
}

// An "other" module is sent with the type its own file header names.
ModulesAvailable::ModuleType TypeOfImage(const std::vector<uint8_t>& image) {
    ModuleData module;
    if (!module.LoadModuleFromMemory(image.data(), static_cast<int>(image.size())))
        return ModulesAvailable::OTHER;
    return static_cast<ModulesAvailable::ModuleType>(module.GetModuleType());
}

} // namespace

bool UpgradePrinter::SendModuleToDevice(CommLayer& comm, ModulesAvailable::ModuleType type,
                                        const uint8_t* image, int length, bool closeOnHandshakeFailure,
                                        void*) {
    constexpr const char* kWhere = "SendModuleToDevice";
    Log::WriteLog(kWhere, "Begin");
    if (StopBeforeTransfer(kWhere)) {
        comm.Close();
        return false;
    }
    if (image == nullptr || length <= 0) {
        Log::WriteLog(kWhere, "Empty module image");
        comm.Close();
        return false;
    }
    const int extra = ModuleExtraTimeMs(length);
    if (extra > 0)
        Log::WriteLog(kWhere, "Add Timeout module size > 2MB ");
    comm.CleanRX();
    if (!Handshake(comm) || comm.GetComPort() == nullptr) {
        Log::WriteLog(kWhere, "Handshake Communication Error ");
        if (closeOnHandshakeFailure)
            comm.Close();
        return false;
    }
    int answerMs = extra + kModuleAnswerMs;
    int writeTimeout = kModuleWriteTimeoutMs;
    if (type == ModulesAvailable::RFID_HF || type == ModulesAvailable::RFID_UHF) {
        Log::WriteLog(kWhere, "Add another Timeout due to RFID module ");
        writeTimeout = kRfidWriteTimeoutMs;
        answerMs = extra + kRfidAnswerMs;
    } else if (type == ModulesAvailable::BLUETOOTH) {
        Log::WriteLog(kWhere, "Add another Timeout due to Bluetooth module ");
        writeTimeout = kBluetoothWriteTimeoutMs;
    }
    ComPort* port = comm.GetComPort();
    const unsigned previousTimeout = port->GetWriteTimeout();
    port->SetWTimeout(writeTimeout);
    MarkTransferStarted();
    unsigned error = 0;
    const unsigned written = port->WritePackets(image, static_cast<unsigned>(length), kModulePacketPauseMs,
                                                kModulePacketSize, &error);
    Log::WriteLog(kWhere, "Waiting Answer...");
    port->SetWTimeout(static_cast<int>(previousTimeout));
    if (written != static_cast<unsigned>(length)) {
        Log::WriteLogP(kWhere, "Module Write Error (%u of %d bytes)", written, length);
        comm.Close();
        return false;
    }
    return WaitModuleAnswer(comm, DeadlineAfter(static_cast<uint64_t>(answerMs)));
}

bool UpgradePrinter::WaitModuleAnswer(CommLayer& comm, uint64_t deadline) {
    constexpr const char* kWhere = "SendModuleToDevice";
    std::vector<unsigned char> buffer(kAnswerReadSize);
    while (Clock::MonotonicMs() <= deadline && !comm.IsDeviceLost()) {
        NoteStopDuringTransfer();
        unsigned error = 0;
        const int count = comm.Read(buffer.data(), kAnswerReadSize, &error);
        if (count <= 0)
            continue;
        if (Clock::MonotonicMs() > deadline)
            break; // too late counts as no answer
        Log::WriteLogP(kWhere, "Read Answer len: %d", count);
        const uint8_t last = buffer[static_cast<size_t>(count - 1)];
        if (last == kModuleAccepted) {
            comm.Close();
            return true;
        }
        for (const AnswerCode& code : kModuleAnswerErrors)
            if (code.byte == last) {
                comm.Close();
                Log::WriteLogP(kWhere, "Answer Error(0x%02x) : %s", last, code.text);
                return false;
            }
    }
    comm.Close();
    Log::WriteLog(kWhere, "Wait Answer Error");
    return false;
}

bool UpgradePrinter::SendAllModules(CommLayer& comm, PSWFile& psw, PSWComponents& components, void* progress,
                                    int waitMs, bool sendBefore, bool sendAfter) {
    for (int i = 0; i < components.Size(); ++i) {
        if (!components.IsModule(i))
            continue;
        if ((components.IsModuleBefore(i) && !sendBefore) || (components.IsModuleAfter(i) && !sendAfter))
            continue;
        if (!SendModulesOfKind(comm, psw, components.Get(i), progress, waitMs))
            return false;
    }
    return true;
}

bool UpgradePrinter::SendModulesOfKind(CommLayer& comm, const PSWFile& psw, int component, void* progress,
                                       int waitMs) {
    constexpr const char* kWhere = "SendAllModules";
    const ModuleKind* kind = KindOf(component);
    if (kind == nullptr)
        return true;
    Log::WriteLog(kWhere, kind->logLine);
    CmdConsole::WriteToConsoleString("%s", kind->sendingLine);
    bool sent = false;
    for (const PSWHeaderModule* header : psw.GetModuleHeaders()) {
        if (header->modModuleID != kind->moduleId && header->modModuleID != kind->moduleId2)
            continue;
        if (StopBeforeTransfer(kWhere))
            return false;
        if (!ReOpenWithRetries(comm, kReOpenAttempts, 5000, kind->retryFormat,
                               "ReOpen Error. Num Max Retry found. Throw Error"))
            return false;
        CmdConsole::WriteToConsoleString("%s", kind->programmingLine);
        const ModulesAvailable::ModuleType type =
            kind->type == ModulesAvailable::OTHER ? TypeOfImage(header->GetData()) : kind->type;
        if (!SendModule(comm, type, header->GetData().data(), static_cast<int>(header->GetDataLength()),
                        progress)) {
            Log::WriteLog(kWhere, kind->errorText);
            return false;
        }
        sent = true;
    }
    if (!sent) {
        Log::WriteLog(kWhere, kind->notFoundText);
        return true;
    }
    CmdConsole::WriteToConsoleString("Programming OK!");
    Log::WriteLog(kWhere, "Programming OK");
    WaitScaled(static_cast<uint32_t>(waitMs));
    return true;
}
