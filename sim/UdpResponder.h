// The printer's side of the network discovery: a UDP socket bound to the one address given (port 15000
// unless the address says otherwise) that answers the 18-byte query "<VM><STSMOQ><NAME>" with
// "<VM><STSMOA><NAME><" + the printer's name + ">" to the sender. It never sends anywhere else.
#pragma once

#include "sim/Wire.h"

#include <cstdint>
#include <string>

namespace sim {

class UdpResponder {
public:
    static constexpr uint16_t kDiscoveryPort = 15000;

    UdpResponder(const std::string& host, uint16_t port, std::string printerName); // throws TransportError
    ~UdpResponder();
    UdpResponder(const UdpResponder&) = delete;
    UdpResponder& operator=(const UdpResponder&) = delete;

    [[nodiscard]] int Fd() const { return m_fd; }
    [[nodiscard]] uint16_t Port() const { return m_port; }

    // Reads one datagram; answers it when it is the query and `answer` is set (a restarting printer
    // is deaf). Returns the sender as "a.b.c.d:port" when it answered, empty otherwise.
    [[nodiscard]] std::string HandleOne(bool answer);

    // The answer datagram for a printer name.
    [[nodiscard]] static std::string AnswerFor(const std::string& name);
    [[nodiscard]] static bool IsQuery(const uint8_t* data, size_t length);

private:
    int m_fd = -1;
    uint16_t m_port = 0;
    std::string m_name;
};

} // namespace sim
