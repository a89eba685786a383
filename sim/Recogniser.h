// Cuts the byte stream a host sends into the printer's requests: the raw identification commands of
// the handshake and the framed 1F FF commands with their parameter fields. Bytes that form no command
// are handed on as stray bytes (a real printer would print them).
#pragma once

#include "sim/Wire.h"

#include <string>
#include <vector>

namespace sim {

enum class RequestKind { Cancel, EscPosSwitch, Identity, IdentityExtended, FirmwareRelease, Framed, Stray };

struct Request {
    RequestKind kind = RequestKind::Stray;
    unsigned code = 0;               // framed: the command code (the answer tag's number)
    std::vector<std::string> fields; // framed: parameter field contents, brackets removed
    Bytes payload;                   // tool data bytes after the length field
    Bytes raw;                       // every byte of the request as received

    // "CAN", "EPOS", "GSI", "GSIFF", "FWREL", "C<code>" or "STRAY": the names fault switches use.
    [[nodiscard]] std::string Name() const;
};

class Recogniser {
public:
    static constexpr size_t kMaxFieldLength = 1024;
    static constexpr size_t kMaxPayload = 16u << 20;

    // Appends the bytes and moves every complete request to `out`; incomplete tails wait.
    void Feed(const uint8_t* data, size_t length, std::vector<Request>& out);
    // Forgets a half-received request (a new connection, a restart).
    void Clear() { m_pending.clear(); }
    [[nodiscard]] size_t PendingBytes() const { return m_pending.size(); }

private:
    enum class Parse { Complete, NeedMore, NotACommand };
    // Each looks at the `have` bytes at `p` only.
    static Parse TryParse(const uint8_t* p, size_t have, Request& request, size_t& used);
    static Parse TryFramed(const uint8_t* p, size_t have, Request& request, size_t& used);
    static Parse ReadField(const uint8_t* p, size_t have, size_t& pos, std::string& content);

    Bytes m_pending;
};

} // namespace sim
