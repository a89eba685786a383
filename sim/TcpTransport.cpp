// TCP listener and connection; see TcpTransport.h.
#include "sim/TcpTransport.h"

#include "base/Log.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {
namespace {

class TcpLink final : public Link {
public:
    explicit TcpLink(int fd) : m_fd(fd) {}
    ~TcpLink() override {
        Log::WriteLog("TcpLink", "Close");
        ::close(m_fd);
    }
    int Fd() const override { return m_fd; }
    long ReadSome(uint8_t* buffer, size_t capacity) override {
        const ssize_t n = ::recv(m_fd, buffer, capacity, 0);
        if (n < 0)
            return errno == EAGAIN || errno == EINTR ? -1 : 0;
        return static_cast<long>(n);
    }
    bool WriteAll(const uint8_t* data, size_t length) override {
        while (length > 0) {
            const ssize_t n = ::send(m_fd, data, length, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            length -= static_cast<size_t>(n);
        }
        return true;
    }
    std::string Via() const override { return "tcp"; }

private:
    int m_fd;
};

} // namespace

void SplitAddress(const std::string& text, std::string& host, uint16_t& port, bool portOptional,
                  uint16_t defaultPort) {
    const size_t colon = text.rfind(':');
    host = text.substr(0, colon);
    in_addr probe{};
    if (host.empty() || ::inet_pton(AF_INET, host.c_str(), &probe) != 1)
        throw TransportError("\"" + text + "\": expected a dotted IPv4 address");
    if (colon == std::string::npos) {
        if (!portOptional)
            throw TransportError("\"" + text + "\": expected ADDRESS:PORT");
        port = defaultPort;
        return;
    }
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(digits) > 65535)
        throw TransportError("\"" + text + "\": the port must be 0..65535");
    port = static_cast<uint16_t>(std::stoul(digits));
}

TcpListener::TcpListener(const std::string& host, uint16_t port) : m_host(host), m_port(port) {
    Bind();
}

TcpListener::~TcpListener() {
    Stop();
}

void TcpListener::Bind() {
    Log::WriteLog("TcpListener::Bind", "Begin");
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw TransportError(std::string("tcp socket: ") + std::strerror(errno));
    const int one = 1;
    (void)::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_port);
    (void)::inet_pton(AF_INET, m_host.c_str(), &addr.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        throw TransportError("tcp " + m_host + ":" + std::to_string(m_port) + ": " + why);
    }
    socklen_t len = sizeof addr;
    (void)::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_fd = fd;
    Log::WriteLogP("TcpListener::Bind", "Listening on %s:%u", m_host.c_str(), m_port);
    Log::WriteLog("TcpListener::Bind", "End");
}

std::unique_ptr<Link> TcpListener::Accept() {
    if (m_fd < 0)
        return nullptr;
    const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // Answers are small and must leave at once; the host waits for each before the next request.
    const int one = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Log::WriteLog("TcpListener::Accept", "Host connected");
    return std::make_unique<TcpLink>(fd);
}

void TcpListener::Stop() {
    if (m_fd >= 0) {
        Log::WriteLog("TcpListener::Stop", "Not listening");
        ::close(m_fd);
        m_fd = -1;
    }
}

bool TcpListener::Restart() {
    try {
        Bind();
        return true;
    } catch (const TransportError& e) {
        Log::WriteLogP("TcpListener::Restart", "Cannot listen again: %s", e.what());
        return false;
    }
}

} // namespace sim
