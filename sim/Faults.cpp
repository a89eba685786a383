// Fault switch parsing and decisions; see Faults.h.
#include "sim/Faults.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

std::string ToHexByte(uint32_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", byte & 0xFF);
    return text;
}

[[noreturn]] void Bad(const std::string& text, const std::string& expected) {
    throw FaultSyntaxError("fault \"" + text + "\": expected " + expected);
}

bool ParseUnsigned(const std::string& text, uint32_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || v > 0xFFFFFFFFull)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// A Renesas boot command: "R" and its first byte in upper-case hexadecimal ("R55", "R50" a frame).
bool IsRenesasCommandName(const std::string& kind) {
    return kind == "RTERM" ||
           (kind.size() == 3 && kind[0] == 'R' && std::isxdigit(static_cast<unsigned char>(kind[1])) &&
            std::isxdigit(static_cast<unsigned char>(kind[2])) &&
            !std::islower(static_cast<unsigned char>(kind[1])) &&
            !std::islower(static_cast<unsigned char>(kind[2])));
}

// A Silicon Labs boot record: "S" and its command byte in upper-case hexadecimal ("S33").
bool IsSilabsRecordName(const std::string& kind) {
    return kind.size() == 3 && kind[0] == 'S' && std::isxdigit(static_cast<unsigned char>(kind[1])) &&
           std::isxdigit(static_cast<unsigned char>(kind[2])) &&
           !std::islower(static_cast<unsigned char>(kind[1])) &&
           !std::islower(static_cast<unsigned char>(kind[2]));
}

bool IsRequestName(const std::string& kind) {
    if (kind == "*" || kind == "GSI" || kind == "GSIFF" || kind == "FWREL" || kind == "BANKS" ||
        kind == "PROGRAM" || kind == "MODULE" || kind == "BOOT" || IsRenesasCommandName(kind) ||
        IsSilabsRecordName(kind))
        return true;
    uint32_t code = 0;
    return kind.size() > 1 && kind[0] == 'C' && ParseUnsigned(kind.substr(1), code) && code < 256;
}

FaultTarget ParseTarget(const std::string& part, const std::string& whole, const std::string& form) {
    FaultTarget target;
    const size_t hash = part.find('#');
    target.kind = part.substr(0, hash);
    if (hash != std::string::npos && (!ParseUnsigned(part.substr(hash + 1), target.nth) || target.nth == 0))
        Bad(whole, form + " with #N counted from 1");
    if (!IsRequestName(target.kind))
        Bad(whole, form + " where KIND is GSI, GSIFF, FWREL, C<code>, BANKS, PROGRAM, MODULE, BOOT, "
                          "R<hex byte>, RTERM, S<hex byte> or *");
    return target;
}

// "KIND[#N]:NUMBER"
std::pair<FaultTarget, uint32_t> ParseTargetNumber(const std::string& value, const std::string& whole,
                                                   const std::string& form) {
    const size_t colon = value.rfind(':');
    uint32_t number = 0;
    if (colon == std::string::npos || !ParseUnsigned(value.substr(colon + 1), number))
        Bad(whole, form);
    return {ParseTarget(value.substr(0, colon), whole, form), number};
}

// "KIND[#N]:BYTE" with BYTE as 0xNN or decimal.
std::pair<FaultTarget, uint32_t> ParseTargetByte(const std::string& value, const std::string& whole) {
    const std::string form = "answer=KIND[#N]:BYTE with BYTE 0x00..0xFF";
    const size_t colon = value.rfind(':');
    if (colon == std::string::npos)
        Bad(whole, form);
    const std::string number = value.substr(colon + 1);
    const bool hex = number.size() > 2 && (number.rfind("0x", 0) == 0 || number.rfind("0X", 0) == 0);
    const std::string digits = hex ? number.substr(2) : number;
    const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.size() > 3 || digits.find_first_not_of(allowed) != std::string::npos)
        Bad(whole, form);
    const unsigned long byte = std::stoul(digits, nullptr, hex ? 16 : 10);
    if (byte > 0xFF)
        Bad(whole, form);
    return {ParseTarget(value.substr(0, colon), whole, form), static_cast<uint32_t>(byte)};
}

} // namespace

bool FaultSet::KeepsOld(uint32_t id) const {
    return std::any_of(keepOld.begin(), keepOld.end(),
                       [id](uint32_t kept) { return kept == kKeepOldEvery || kept == id; });
}

bool FaultTarget::Matches(const std::string& name, uint32_t occurrence) const {
    return (kind == "*" || kind == name) && (nth == 0 || nth == occurrence);
}

void AddFault(FaultSet& set, const std::string& text) {
    const size_t eq = text.find('=');
    const std::string key = text.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : text.substr(eq + 1);
    if (key == "silence" && eq == std::string::npos) {
        set.silence = true;
    } else if (key == "delay") {
        if (!ParseUnsigned(value, set.delayMs))
            Bad(text, "delay=MS");
    } else if (key == "drip") {
        const size_t colon = value.find(':');
        if (colon == std::string::npos || !ParseUnsigned(value.substr(0, colon), set.dripBytes) ||
            !ParseUnsigned(value.substr(colon + 1), set.dripIntervalMs) || set.dripBytes == 0)
            Bad(text, "drip=BYTES:MS with BYTES at least 1");
    } else if (key == "no-answer" && !value.empty()) {
        set.noAnswer.push_back(ParseTarget(value, text, "no-answer=KIND[#N]"));
    } else if (key == "wrong-checksum" && !value.empty()) {
        set.wrongChecksum.push_back(ParseTarget(value, text, "wrong-checksum=KIND[#N]"));
    } else if (key == "stale" && !value.empty()) {
        set.stale.push_back(ParseTarget(value, text, "stale=KIND[#N]"));
    } else if (key == "error") {
        auto [target, number] = ParseTargetNumber(value, text, "error=KIND[#N]:NN");
        if (number > 99)
            Bad(text, "error=KIND[#N]:NN with NN at most 99");
        set.errorAnswer.emplace_back(target, static_cast<int>(number));
    } else if (key == "garbage") {
        set.garbage.push_back(ParseTargetNumber(value, text, "garbage=KIND[#N]:COUNT"));
    } else if (key == "drop") {
        set.dropAfter.push_back(ParseTargetNumber(value, text, "drop=KIND[#N]:BYTES"));
    } else if (key == "split") {
        // KIND[#N]:BYTES:MS, the target's own colon-free part first.
        const std::string form = "split=KIND[#N]:BYTES:MS with BYTES at least 1";
        const size_t last = value.rfind(':');
        uint32_t interval = 0;
        if (last == std::string::npos || !ParseUnsigned(value.substr(last + 1), interval))
            Bad(text, form);
        auto [target, bytes] = ParseTargetNumber(value.substr(0, last), text, form);
        if (bytes == 0)
            Bad(text, form);
        set.split.push_back({target, {bytes, interval}});
    } else if (key == "late") {
        set.late.push_back(ParseTargetNumber(value, text, "late=KIND[#N]:MS"));
    } else if (key == "bad-sum" && !value.empty()) {
        set.badSum.push_back(ParseTarget(value, text, "bad-sum=KIND[#N]"));
    } else if (key == "answer") {
        set.answerByte.push_back(ParseTargetByte(value, text));
    } else if (key == "slow-restart") {
        set.slowRestart.push_back(ParseTargetNumber(value, text, "slow-restart=KIND[#N]:MS"));
    } else if (key == "no-return" && !value.empty()) {
        set.noReturn.push_back(ParseTarget(value, text, "no-return=KIND[#N]"));
    } else if (key == "keep-old" && !value.empty()) {
        uint32_t id = FaultSet::kKeepOldEvery;
        if (value != "*" && (!ParseUnsigned(value, id) || id == FaultSet::kKeepOldEvery))
            Bad(text, "keep-old=ID or keep-old=*");
        set.keepOld.push_back(id);
    } else if (key == "other-release" && !value.empty()) {
        if (std::any_of(value.begin(), value.end(), [](unsigned char c) { return c < 0x20 || c > 0x7E; }))
            Bad(text, "other-release=TEXT of printable characters");
        set.otherRelease = value;
    } else {
        Bad(text, "one of delay=, drip=, silence, no-answer=, error=, wrong-checksum=, garbage=, drop=, "
                  "stale=, late=, split=, bad-sum=, answer=, slow-restart=, no-return=, other-release=, "
                  "keep-old=");
    }
}

uint32_t FaultInjector::Count(const std::string& requestName) const {
    auto it = m_counts.find(requestName);
    return it == m_counts.end() ? 0 : it->second;
}

FaultDecision FaultInjector::Decide(const std::string& requestName) {
    const uint32_t occurrence = ++m_counts[requestName];
    FaultDecision d;
    const std::string at = requestName + "#" + std::to_string(occurrence);
    if (m_set.silence) {
        d.withhold = true;
        d.applied.push_back("silence");
    }
    for (const auto& t : m_set.noAnswer)
        if (t.Matches(requestName, occurrence)) {
            d.withhold = true;
            d.applied.push_back("no-answer " + at);
        }
    for (const auto& [t, number] : m_set.errorAnswer)
        if (t.Matches(requestName, occurrence)) {
            d.errorNumber = number;
            d.applied.push_back("error " + at + " ERR" + std::to_string(number));
        }
    for (const auto& t : m_set.wrongChecksum)
        if (t.Matches(requestName, occurrence)) {
            d.wrongChecksum = true;
            d.applied.push_back("wrong-checksum " + at);
        }
    for (const auto& [t, count] : m_set.garbage)
        if (t.Matches(requestName, occurrence)) {
            d.garbageBytes = count;
            d.applied.push_back("garbage " + at);
        }
    for (const auto& [t, bytes] : m_set.dropAfter)
        if (t.Matches(requestName, occurrence)) {
            d.dropAfter = bytes;
            d.applied.push_back("drop " + at + " after " + std::to_string(bytes) + " bytes");
        }
    for (const auto& t : m_set.stale)
        if (t.Matches(requestName, occurrence)) {
            d.stale = true;
            d.applied.push_back("stale " + at);
        }
    for (const auto& [t, piece] : m_set.split)
        if (t.Matches(requestName, occurrence)) {
            d.split = piece;
            d.applied.push_back("split " + at + " " + std::to_string(piece.first) + " bytes");
        }
    for (const auto& [t, ms] : m_set.late)
        if (t.Matches(requestName, occurrence)) {
            d.lateMs = ms;
            d.applied.push_back("late " + at + " " + std::to_string(ms) + " ms");
        }
    DecideUpgrade(requestName, occurrence, d);
    return d;
}

void FaultInjector::DecideUpgrade(const std::string& requestName, uint32_t occurrence,
                                  FaultDecision& d) const {
    const std::string at = requestName + "#" + std::to_string(occurrence);
    for (const auto& t : m_set.badSum)
        if (t.Matches(requestName, occurrence)) {
            d.badSum = true;
            d.applied.push_back("bad-sum " + at);
        }
    for (const auto& [t, byte] : m_set.answerByte)
        if (t.Matches(requestName, occurrence)) {
            d.answerByte = static_cast<uint8_t>(byte);
            d.applied.push_back("answer " + at + " " + ToHexByte(byte));
        }
    for (const auto& [t, ms] : m_set.slowRestart)
        if (t.Matches(requestName, occurrence)) {
            d.restartMs = ms;
            d.applied.push_back("slow-restart " + at + " " + std::to_string(ms) + " ms");
        }
    for (const auto& t : m_set.noReturn)
        if (t.Matches(requestName, occurrence)) {
            d.neverReturn = true;
            d.applied.push_back("no-return " + at);
        }
    if (m_set.otherRelease && requestName == "PROGRAM") {
        d.otherRelease = m_set.otherRelease;
        d.applied.push_back("other-release " + *m_set.otherRelease);
    }
}

} // namespace sim
