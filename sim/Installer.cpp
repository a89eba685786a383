// The printer's loader; see Installer.h.
#include "sim/Installer.h"

#include "sim/Session.h"

#include <cctype>
#include <cstdlib>

namespace sim {
namespace {

std::string UpperMode(const Profile& p) {
    std::string mode = p.upgrade ? p.upgrade->mode : std::string();
    for (char& c : mode)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return mode;
}

bool Offers(const Profile& p, uint32_t group) {
    return p.capabilities && (*p.capabilities & group) != 0;
}

} // namespace

int UsbProgramAnswer(const std::string& settings) {
    const std::string token = settings.substr(0, settings.find(';'));
    char* end = nullptr;
    const long value = std::strtol(token.c_str(), &end, 10);
    return token.empty() || *end != '\0' ? 1 : static_cast<int>(value);
}

std::optional<Bytes> Installer::Handle(const Request& request, const FaultDecision& fault, Outcome& outcome) {
    switch (request.kind) {
    case RequestKind::SendBanks:
        outcome.notes.push_back("receiving banks " + request.fields[0] + ".." + request.fields[1]);
        return std::nullopt; // the banks follow at once; the program command gets the answer
    case RequestKind::Program:
        return Program(request, fault, outcome);
    case RequestKind::Module:
        return Module(request, fault, outcome);
    default:
        return std::nullopt;
    }
}

std::optional<Bytes> Installer::Program(const Request& request, const FaultDecision& fault,
                                        Outcome& outcome) {
    const Profile& p = m_state.GetProfile();
    if (!p.upgrade || !Offers(p, kFirmwareUpgradeGroup)) {
        outcome.notes.push_back("firmware upgrade not offered");
        return std::nullopt;
    }
    const std::string mode = UpperMode(p);
    TransferRecord t;
    t.kind = "firmware";
    t.firstBank = request.raw[2];
    t.lastBank = request.raw[3];
    t.bytes = request.payload.size();
    t.bankSize = t.bytes / (t.lastBank - t.firstBank + 1);
    t.part = mode != "U5" ? "image" : t.firstBank == 0 ? "code" : "data";
    t.received = {static_cast<uint16_t>((request.raw[4] << 8) | request.raw[5]),
                  static_cast<uint16_t>((request.raw[6] << 8) | request.raw[7])};
    t.computed = ImageSums(request.payload.data(), t.bytes, mode == "U1" ? 0 : t.bankSize);
    t.sumsOk = t.received == t.computed && !fault.badSum;
    t.sha256 = Sha256Hex(request.payload);
    t.answer = fault.answerByte.value_or(t.sumsOk ? result::Done : result::ChecksumError);
    t.installed = t.answer == result::Done;
    const bool lastData = t.part == "data" && p.upgrade->banks && t.lastBank + 1 == *p.upgrade->banks;
    if (t.installed && t.part != "data") {
        if (fault.otherRelease)
            m_state.SetFirmware(*fault.otherRelease);
        else if (p.upgrade->firmwareAfter)
            m_state.SetFirmware(*p.upgrade->firmwareAfter);
    }
    if (t.installed && (t.part != "data" || lastData))
        Restart(fault, outcome);
    t.release = m_state.Firmware();
    // A data bank is always answered; the image's programming answer may be kept from a USB host.
    outcome.silentOnUsb = t.part != "data" && UsbProgramAnswer(p.upgrade->settings) == 0;
    if (!t.sumsOk)
        outcome.notes.push_back("sums of banks " + std::to_string(t.firstBank) + ".." +
                                std::to_string(t.lastBank) + " do not match");
    m_state.AddTransfer(t);
    outcome.transfer = std::move(t);
    return Bytes{outcome.transfer->answer};
}

std::optional<Bytes> Installer::Module(const Request& request, const FaultDecision& fault, Outcome& outcome) {
    const Profile& p = m_state.GetProfile();
    if (!Offers(p, kModuleUpgradeGroup)) {
        outcome.notes.push_back("module upgrade not offered");
        return std::nullopt;
    }
    const ModuleCheck check = CheckModule(request.payload);
    TransferRecord t;
    t.kind = "module";
    t.part = check.moduleId ? std::string(1, *check.moduleId) : std::string();
    t.moduleType = check.moduleType;
    t.bytes = request.payload.size();
    t.received = check.stored;
    t.computed = check.computed;
    t.sumsOk = check.SumsOk() && !fault.badSum;
    t.sha256 = Sha256Hex(request.payload);
    const bool accepted =
        check.moduleId && (!p.upgrade || !p.upgrade->moduleIds ||
                           p.upgrade->moduleIds->find(*check.moduleId) != std::string::npos);
    t.answer = fault.answerByte.value_or(!t.sumsOk   ? result::ModuleError
                                         : !accepted ? result::IdModuleError
                                                     : result::Done);
    t.installed = t.answer == result::Done;
    if (t.installed)
        Restart(fault, outcome);
    else
        outcome.notes.push_back(!t.sumsOk ? "module sums do not match" : "module id not taken");
    t.release = m_state.Firmware();
    m_state.AddTransfer(t);
    outcome.transfer = std::move(t);
    return Bytes{outcome.transfer->answer};
}

// Running what was installed: the printer restarts, forgetting values set but not stored.
void Installer::Restart(const FaultDecision& fault, Outcome& outcome) {
    const Profile& p = m_state.GetProfile();
    m_state.Restart();
    outcome.restart = true;
    outcome.restartMs = fault.restartMs.value_or(p.upgrade ? p.upgrade->restartMs : p.resetMs);
    outcome.neverReturn = fault.neverReturn;
}

} // namespace sim
