// Cuts the byte stream a host sends into the printer's requests: the raw identification commands of
// the handshake, the framed 1F FF commands with their parameter fields, and the upgrade transfers: the
// send-banks command 1C FD first last, the bank bytes up to the program command 1C FF first last and
// its four sum bytes, and a module image (its text header names its size). Bytes that form no command
// are handed on as stray bytes (a real printer would print them).
#pragma once

#include "sim/Wire.h"

#include <string>
#include <vector>

namespace sim {

enum class RequestKind {
    Cancel,
    EscPosSwitch,
    Identity,
    IdentityExtended,
    FirmwareRelease,
    Framed,
    SendBanks,  // 1C FD first last: bank bytes follow
    Program,    // the bank bytes (payload) and 1C FF first last sum1 sum2 (raw)
    Module,     // a module image (payload)
    BootSwitch, // restart into a boot loader: fields[0] names which ("renesas")
    Stray
};

struct Request {
    RequestKind kind = RequestKind::Stray;
    unsigned code = 0;               // framed: the command code (the answer tag's number)
    std::vector<std::string> fields; // framed: parameter field contents, brackets removed
    Bytes payload;                   // tool data bytes after the length field, bank bytes, a module image
    Bytes raw;                       // the request's bytes as received (the payload apart)

    // "CAN", "EPOS", "GSI", "GSIFF", "FWREL", "C<code>", "BANKS", "PROGRAM", "MODULE", "BOOT" or "STRAY":
    // the names fault switches use.
    [[nodiscard]] std::string Name() const;
};

class Recogniser {
public:
    static constexpr size_t kMaxFieldLength = 1024;
    static constexpr size_t kMaxPayload = 16u << 20;
    static constexpr size_t kMaxImage = 64u << 20; // a firmware group or a module

    // Appends the bytes and moves every complete request to `out`; incomplete tails wait.
    void Feed(const uint8_t* data, size_t length, std::vector<Request>& out);
    // Forgets a half-received request or transfer (a new connection, a restart).
    void Clear();
    [[nodiscard]] size_t PendingBytes() const { return m_pending.size() + m_banks.size(); }

private:
    enum class Parse { Complete, NeedMore, NotACommand };
    // Each looks at the `have` bytes at `p` only.
    static Parse TryParse(const uint8_t* p, size_t have, Request& request, size_t& used);
    static Parse TryFramed(const uint8_t* p, size_t have, Request& request, size_t& used);
    static Parse TryModule(const uint8_t* p, size_t have, Request& request, size_t& used);
    static Parse TryBootSwitch(const uint8_t* p, size_t have, Request& request, size_t& used);
    static Parse ReadField(const uint8_t* p, size_t have, size_t& pos, std::string& content);
    // Takes the pending bytes as bank bytes; true when the program command ended the transfer.
    bool TakeBankBytes(std::vector<Request>& out);

    Bytes m_pending;
    // Between a send-banks command and its program command: the range announced and the bytes so far.
    bool m_inTransfer = false;
    uint8_t m_firstBank = 0, m_lastBank = 0;
    Bytes m_banks;
    // The bank size of the last group that began at bank 0: a group of later banks of the same image
    // (U5's data banks, one at a time) ends only after whole banks of that size, which keeps a 1C FF
    // inside a bank from passing for the program command. Kept across connections.
    size_t m_imageBankSize = 0;
};

} // namespace sim
