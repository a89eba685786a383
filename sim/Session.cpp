// One request, one decision; see Session.h.
#include "sim/Session.h"

#include "sim/Answers.h"
#include "sim/BootDevice.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <tuple>

namespace sim {
namespace {

constexpr uint32_t kToolSetDateTime = 8, kToolUploadScript = 32, kToolFlashReset = 64;

const char* ToolName(uint32_t bit) {
    switch (bit) {
    case 1:
        return "BLACKMARK AUTOSET";
    case 2:
        return "CHARACTERIZATION PAPER";
    case 4:
        return "PRINT DEVICE SETUP";
    case 8:
        return "SET DATETIME";
    case 16:
        return "HEAD TEST";
    case 32:
        return "UPLOAD SPTFILE";
    case 64:
        return "FLASH RESET";
    default:
        return "TOOL";
    }
}

bool ParseId(const std::string& text, uint32_t& id) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || v > 0xFFFFFFFFull)
        return false;
    id = static_cast<uint32_t>(v);
    return true;
}

// Junk that holds none of the framing bytes, so the host's cutter skips it before the STX.
Bytes Garbage(uint32_t count) {
    Bytes junk;
    for (uint32_t i = 0; i < count; ++i)
        junk.push_back(static_cast<uint8_t>("#junk!"[i % 6]));
    return junk;
}

} // namespace

std::string ToolDateToItemText(const std::string& digits) {
    if (digits.size() != 12 || digits.find_first_not_of("0123456789") != std::string::npos)
        return {};
    const std::string text = "20" + digits.substr(4, 2) + "/" + digits.substr(2, 2) + "/" +
                             digits.substr(0, 2) + " " + digits.substr(6, 2) + ":" + digits.substr(8, 2) +
                             ":" + digits.substr(10, 2);
    return IsDateTimeText(text) ? text : std::string();
}

Outcome Session::Handle(const Request& request) {
    Outcome outcome;
    outcome.name = request.Name();
    if (request.kind == RequestKind::Cancel || request.kind == RequestKind::Stray ||
        request.kind == RequestKind::EscPosSwitch)
        return outcome; // the printer's reaction to these is not part of the exchange
    FaultDecision fault = m_faults.Decide(outcome.name);
    outcome.notes = fault.applied;
    std::optional<Bytes> answer;
    if (fault.errorNumber && request.kind == RequestKind::Framed)
        answer = ErrorAnswer(request.code, *fault.errorNumber);
    else if (request.kind == RequestKind::BootSwitch)
        answer = SwitchToBoot(request, fault, outcome);
    else if (request.kind == RequestKind::SendBanks || request.kind == RequestKind::Program ||
             request.kind == RequestKind::Module)
        answer = m_installer.Handle(request, fault, outcome);
    else
        answer = Answer(request, fault.wrongChecksum, outcome);
    if (answer && !m_faults.Set().stale.empty())
        answer = LateAnswer(outcome.name, std::move(*answer), fault.stale);
    if (!answer || fault.withhold)
        return outcome;
    outcome.answered = true;
    outcome.answer = Garbage(fault.garbageBytes);
    outcome.answer.insert(outcome.answer.end(), answer->begin(), answer->end());
    const FaultSet& set = m_faults.Set();
    outcome.delivery = {set.delayMs + fault.lateMs, set.dripBytes, set.dripIntervalMs, fault.dropAfter};
    if (fault.split)
        std::tie(outcome.delivery.dripBytes, outcome.delivery.dripIntervalMs) = *fault.split;
    return outcome;
}

// Remembers each answer by request name; a stale request gets the one remembered before it (its own
// when there is none yet).
Bytes Session::LateAnswer(const std::string& name, Bytes answer, bool stale) {
    auto [previous, first] = m_previousAnswers.try_emplace(name);
    std::swap(previous->second, answer);
    return stale && !first ? answer : previous->second;
}

std::optional<Bytes> Session::Answer(const Request& request, bool wrongChecksum, Outcome& outcome) {
    if (request.kind == RequestKind::Framed)
        return AnswerFramed(request, wrongChecksum, outcome);
    return AnswerIdentity(request);
}

std::optional<Bytes> Session::AnswerIdentity(const Request& request) const {
    const Profile& p = m_state.GetProfile();
    // Identity codes 0x100..0x1FE fit the one-byte answer; others need the 0xFF escape and two bytes.
    const bool oneByte = p.gsi >= 0x100 && p.gsi < 0x1FF;
    switch (request.kind) {
    case RequestKind::Identity:
        return Bytes{oneByte ? static_cast<uint8_t>(p.gsi - 0x100) : uint8_t{0xFF}};
    case RequestKind::IdentityExtended:
        return Bytes{static_cast<uint8_t>(p.gsi >> 8), static_cast<uint8_t>(p.gsi)};
    case RequestKind::FirmwareRelease:
        return Bytes(m_state.Firmware().begin(), m_state.Firmware().end());
    default:
        return std::nullopt;
    }
}

std::optional<Bytes> Session::AnswerFramed(const Request& request, bool wrongChecksum, Outcome& outcome) {
    const Profile& p = m_state.GetProfile();
    const auto unsupported = [&] {
        outcome.notes.push_back("unsupported command");
        return ErrorAnswer(request.code, PrinterError::UnsupportedCommand);
    };
    const auto lines = [&](const std::optional<std::vector<std::string>>& group) {
        return group ? TextLinesAnswer(request.code, *group) : unsupported();
    };
    switch (request.code) {
    case code::ProtocolVersion:
        return AnswerBuilder(request.code).Field(p.protocolVersion).Finish();
    case code::Header:
        return TextLinesAnswer(request.code, p.header);
    case code::IdList:
        return IdListAnswer(p, wrongChecksum);
    case code::IdInfo:
        return AnswerItem(request, wrongChecksum, outcome);
    case code::SetValue:
        return AnswerSetValue(request, outcome);
    case code::StoreValues:
        m_state.Store(outcome.changes);
        return std::nullopt;
    case code::Reset:
        m_state.Restart();
        outcome.restart = true;
        outcome.restartMs = p.resetMs;
        return std::nullopt;
    case code::LifeInfo:
        return lines(p.lifeInfo);
    case code::DeviceInfo:
        return lines(p.deviceInfo);
    case code::HeadInfo:
        return lines(p.headInfo);
    case code::Capabilities:
        if (!p.capabilities)
            return std::nullopt; // printers without capability groups stay silent
        return AnswerBuilder(request.code).Number(*p.capabilities).Finish();
    case code::Modules:
        return lines(p.modules);
    case code::ToolsSupported:
        if (!p.tools)
            return unsupported();
        return AnswerBuilder(request.code).Number(p.tools->group1).Number(p.tools->group2).Finish();
    case code::ToolExec:
        return AnswerTool(request, outcome);
    case code::Upgrade:
        return p.upgrade ? UpgradeAnswer(*p.upgrade) : unsupported();
    case code::GeneralStatusInfo:
    case code::ExtendedStatusInfo:
        return p.status ? StatusInfoAnswer(*p.status, request.code == code::ExtendedStatusInfo)
                        : unsupported();
    case code::GeneralStatus:
    case code::ExtendedStatus:
        if (auto status = AnswerStatus(request))
            return status;
        return unsupported();
    default:
        return unsupported();
    }
}

Bytes Session::AnswerItem(const Request& request, bool wrongChecksum, Outcome& outcome) const {
    uint32_t id = 0;
    const SetupItem* item = ParseId(request.fields[0], id) ? m_state.Find(id) : nullptr;
    if (item == nullptr) {
        outcome.notes.push_back("unknown id " + request.fields[0]);
        return ErrorAnswer(request.code, PrinterError::UnknownId);
    }
    return ItemAnswer(*item, wrongChecksum);
}

Bytes Session::AnswerSetValue(const Request& request, Outcome& outcome) {
    // The checksum covers every byte before its own field.
    const size_t checksumFieldLength = request.fields[2].size() + 2;
    const unsigned expected = ByteSumMod256(request.raw.data(), request.raw.size() - checksumFieldLength);
    uint32_t received = 0;
    if (!ParseId(request.fields[2], received) || received != expected) {
        outcome.notes.push_back("bad checksum <" + request.fields[2] + ">, expected <" +
                                std::to_string(expected) + ">");
        return ErrorAnswer(request.code, PrinterError::BadChecksum);
    }
    uint32_t id = 0;
    if (!ParseId(request.fields[0], id)) {
        outcome.notes.push_back("unknown id " + request.fields[0]);
        return ErrorAnswer(request.code, PrinterError::UnknownId);
    }
    if (m_faults.Set().KeepsOld(id)) {
        outcome.notes.push_back("value of " + std::to_string(id) + " acknowledged and not kept");
        return AcknowledgeAnswer(request.code);
    }
    std::string why;
    switch (m_state.Stage(id, request.fields[1], why, outcome.changes)) {
    case PrinterState::SetResult::Staged:
        return AcknowledgeAnswer(request.code);
    case PrinterState::SetResult::UnknownId:
        outcome.notes.push_back(why);
        return ErrorAnswer(request.code, PrinterError::UnknownId);
    case PrinterState::SetResult::Refused:
        break;
    }
    outcome.notes.push_back("value refused: " + why);
    return ErrorAnswer(request.code, PrinterError::ValueOutOfRange);
}

std::optional<Bytes> Session::AnswerTool(const Request& request, Outcome& outcome) {
    const Profile& p = m_state.GetProfile();
    uint32_t group = 0, bit = 0;
    const bool parsed = ParseId(request.fields[0], group) && ParseId(request.fields[1], bit);
    const uint32_t mask = !p.tools ? 0 : group == 1 ? p.tools->group1 : group == 2 ? p.tools->group2 : 0;
    if (!parsed || (mask & bit) == 0 || (bit & (bit - 1)) != 0) {
        outcome.notes.push_back("tool " + request.fields[0] + "/" + request.fields[1] + " not supported");
        return ErrorAnswer(request.code, PrinterError::UnsupportedCommand);
    }
    if (group == 1 && bit == kToolSetDateTime) {
        const std::string text = ToolDateToItemText(request.fields[2]);
        if (text.empty()) {
            outcome.notes.push_back("date " + request.fields[2] + " refused");
            return ErrorAnswer(request.code, PrinterError::ValueOutOfRange);
        }
        m_state.SetDateTimeItems(text, outcome.changes);
    } else if (group == 1 && bit == kToolUploadScript) {
        m_state.AddScript(request.payload);
        outcome.notes.push_back("script of " + std::to_string(request.payload.size()) + " bytes stored");
    } else if (group == 1 && bit == kToolFlashReset) {
        m_state.RestoreDefaults(outcome.changes);
    }
    auto it = p.tools->answerLines.find(bit);
    if (group == 1 && it != p.tools->answerLines.end())
        return ToolAnswer(it->second);
    return ToolAnswer({std::string(ToolName(group == 1 ? bit : 0)) + " DONE"});
}

// The printer confirms and restarts into its boot loader, which then enumerates in its place.
std::optional<Bytes> Session::SwitchToBoot(const Request& request, const FaultDecision& fault,
                                           Outcome& outcome) {
    const Profile& p = m_state.GetProfile();
    std::string mode = p.upgrade ? p.upgrade->mode : std::string();
    for (char& c : mode)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string& loader = request.fields[0];
    const bool fits = HasBootLoader(loader, mode);
    if (!fits || !p.capabilities || (*p.capabilities & kFirmwareUpgradeGroup) == 0) {
        outcome.notes.push_back("no " + loader + " boot loader in this printer");
        return std::nullopt;
    }
    m_state.Restart();
    outcome.restart = true;
    outcome.restartMs = p.upgrade->boot.appearMs;
    outcome.neverReturn = fault.neverReturn;
    outcome.bootLoader = loader;
    if (loader == "silabs")
        return std::nullopt; // restarts without a word
    static const std::string confirmation = "BOOT_RST";
    return Bytes(confirmation.begin(), confirmation.end());
}

std::optional<Bytes> Session::AnswerStatus(const Request& request) {
    const Profile& p = m_state.GetProfile();
    if (!p.status)
        return std::nullopt;
    if (request.code == code::GeneralStatus)
        return AnswerBuilder(request.code).DataBytes(m_state.NextGeneralStatus()).Finish();
    return AnswerBuilder(request.code).DataBytes(m_state.NextExtendedStatus()).Finish();
}

} // namespace sim
