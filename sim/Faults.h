// Fault switches: what the simulated printer does wrong, set from the profile's "faults" list or from
// --fault options with the same syntax, and the per-request decisions taken from them.
//
//   delay=MS             every answer waits MS milliseconds (scaled)
//   drip=BYTES:MS        answers go out BYTES at a time with MS between pieces
//   silence              no answer at all, handshake included
//   no-answer=KIND[#N]   no answer to requests of KIND (only the Nth when #N is given)
//   error=KIND[#N]:NN    the refusal <ERRnn> instead of the answer
//   wrong-checksum=KIND[#N]  the answer's checksum field is off by one
//   garbage=KIND[#N]:COUNT   COUNT junk bytes before the STX
//   drop=KIND[#N]:BYTES  only the first BYTES bytes of the answer, then the connection drops
//   stale=KIND[#N]       the answer to the previous request of KIND instead of this one's (a late
//                        answer taken for the next request)
//   late=KIND[#N]:MS     that answer alone waits MS milliseconds (scaled): a stall at one chosen exchange
//   split=KIND[#N]:BYTES:MS  that answer alone goes out BYTES at a time, MS apart (drip= for one answer)
//   keep-old=ID          a new value for setup item ID (or * for every item) is acknowledged but the
//                        item keeps its old one: a printer whose write does not take
// Upgrade transfers (KIND PROGRAM for a firmware group, MODULE for a module image):
//   bad-sum=KIND[#N]     the loader finds the sums wrong (bytes spoilt on the way): 0x99, 0x44 for a module
//   answer=KIND[#N]:BYTE this result byte (0xNN or decimal) instead of the loader's own; only 0xAA installs
//   slow-restart=KIND[#N]:MS  the restart after installing lasts MS milliseconds
//   no-return=KIND[#N]   the printer never comes back from the restart after installing
//   other-release=TEXT   after a firmware upgrade the printer reports TEXT instead of the profile's release
// Boot loaders (KIND BOOT for the switch into the boot loader, R<hex byte> for a Renesas boot command by
// its first byte, R50 a programming frame, RTERM the terminate frame):
//   no-return=BOOT       the printer leaves the bus and no boot device ever appears
//   no-answer=R27        the boot loader does not answer that command
//   answer=R55:0x00      the answer's first byte is BYTE; on a frame (R50) the rejection D0 BYTE
// The Silicon Labs HID boot loader's records are S<hex byte> by their command byte (S31, S33#2):
//   no-answer=S33#2      that record is not acknowledged
//   answer=S33:0x43      the answer report's first byte is BYTE
//   drop=S33#2:3         the answer report carries only its first 3 bytes
// KIND is a request name: GSI, GSIFF, FWREL, C<code> (C4, C138, ...), BANKS, PROGRAM, MODULE, BOOT,
// R<hex byte>, RTERM, S<hex byte>, or * for every request.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

struct FaultTarget {
    std::string kind; // "*" matches every request
    uint32_t nth = 0; // 0: every occurrence
    [[nodiscard]] bool Matches(const std::string& name, uint32_t occurrence) const;
};

struct FaultSet {
    uint32_t delayMs = 0;
    uint32_t dripBytes = 0;
    uint32_t dripIntervalMs = 0;
    bool silence = false;
    std::vector<FaultTarget> noAnswer;
    std::vector<std::pair<FaultTarget, int>> errorAnswer;
    std::vector<FaultTarget> wrongChecksum;
    std::vector<std::pair<FaultTarget, uint32_t>> garbage;
    std::vector<std::pair<FaultTarget, uint32_t>> dropAfter;
    std::vector<FaultTarget> stale;
    std::vector<std::pair<FaultTarget, uint32_t>> late;
    std::vector<std::pair<FaultTarget, std::pair<uint32_t, uint32_t>>> split; // bytes, interval
    std::vector<FaultTarget> badSum;
    std::vector<std::pair<FaultTarget, uint32_t>> answerByte;
    std::vector<std::pair<FaultTarget, uint32_t>> slowRestart;
    std::vector<FaultTarget> noReturn;
    std::optional<std::string> otherRelease;
    std::vector<uint32_t> keepOld; // item ids; kKeepOldEvery for every item

    static constexpr uint32_t kKeepOldEvery = UINT32_MAX;
    [[nodiscard]] bool KeepsOld(uint32_t id) const;
};

class FaultSyntaxError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Adds one switch; throws FaultSyntaxError naming the switch and the expected form.
void AddFault(FaultSet& set, const std::string& text);

// What to do with one answer.
struct FaultDecision {
    bool withhold = false;
    std::optional<int> errorNumber;
    bool wrongChecksum = false;
    uint32_t garbageBytes = 0;
    std::optional<uint32_t> dropAfter;
    bool stale = false;
    uint32_t lateMs = 0;
    std::optional<std::pair<uint32_t, uint32_t>> split; // bytes, interval
    bool badSum = false;
    std::optional<uint8_t> answerByte;
    std::optional<uint32_t> restartMs;
    bool neverReturn = false;
    std::optional<std::string> otherRelease;
    std::vector<std::string> applied; // the switches that fired, for the transcript
};

class FaultInjector {
public:
    explicit FaultInjector(FaultSet set = {}) : m_set(std::move(set)) {}

    // Counts the request of that name and decides its faults.
    [[nodiscard]] FaultDecision Decide(const std::string& requestName);
    [[nodiscard]] const FaultSet& Set() const { return m_set; }
    [[nodiscard]] uint32_t Count(const std::string& requestName) const;

private:
    void DecideUpgrade(const std::string& requestName, uint32_t occurrence, FaultDecision& d) const;
    FaultSet m_set;
    std::map<std::string, uint32_t> m_counts;
};

} // namespace sim
