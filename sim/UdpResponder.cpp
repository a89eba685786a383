// Discovery responder; see UdpResponder.h.
#include "sim/UdpResponder.h"

#include "base/Log.h"
#include "sim/TcpTransport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {
namespace {
constexpr char kQuery[] = "<VM><STSMOQ><NAME>";
constexpr char kAnswerTag[] = "<VM><STSMOA><NAME>";
} // namespace

UdpResponder::UdpResponder(const std::string& host, uint16_t port, std::string printerName)
    : m_name(std::move(printerName)) {
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        throw TransportError(std::string("udp socket: ") + std::strerror(errno));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    (void)::inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const std::string why = std::strerror(errno);
        ::close(m_fd);
        throw TransportError("udp " + host + ":" + std::to_string(port) + ": " + why);
    }
    socklen_t len = sizeof addr;
    (void)::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    Log::WriteLogP("UdpResponder", "Listening on %s:%u", host.c_str(), m_port);
}

UdpResponder::~UdpResponder() {
    ::close(m_fd);
}

bool UdpResponder::IsQuery(const uint8_t* data, size_t length) {
    return length == sizeof kQuery - 1 && std::memcmp(data, kQuery, length) == 0;
}

std::string UdpResponder::AnswerFor(const std::string& name) {
    return std::string(kAnswerTag) + "<" + name + ">";
}

std::string UdpResponder::HandleOne(bool answer) {
    uint8_t buffer[1024];
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    const ssize_t n =
        ::recvfrom(m_fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n <= 0 || !answer || !IsQuery(buffer, static_cast<size_t>(n)))
        return {};
    const std::string datagram = AnswerFor(m_name);
    // Straight back to the sender: a unicast reply, never a broadcast.
    if (::sendto(m_fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen) <
        0) {
        Log::WriteLogP("UdpResponder", "Answer not sent: %s", std::strerror(errno));
        return {};
    }
    char text[INET_ADDRSTRLEN] = {};
    (void)::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(from.sin_port));
}

} // namespace sim
