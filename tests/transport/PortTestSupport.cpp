#include "tests/transport/PortTestSupport.h"

#include "base/Log.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <stdexcept>

LogCapture::LogCapture() {
    Log::SetLogEnable(2, true, m_dir.path().c_str());
}

LogCapture::~LogCapture() {
    Log::SetLogEnable(0, false, nullptr);
}

std::string LogCapture::Text() const {
    return ReadWholeFile(m_dir.file(Log::kFileName));
}

bool LogCapture::Has(const std::string& where, const std::string& text) const {
    return Text().find("[" + where + "]" + text + "\n") != std::string::npos;
}

LoopbackServer::LoopbackServer(int backlog) : m_listen(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (!m_listen.IsValid() || bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(m_listen.Get(), backlog) != 0 ||
        getsockname(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
}

UniqueFd LoopbackServer::Accept(int timeoutMs) const {
    if (!WaitReadable(m_listen.Get(), timeoutMs))
        return UniqueFd();
    return UniqueFd(accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
}

uint16_t UnusedLoopbackPort() {
    // Bound but never listening: connections to it are refused while it stays bound.
    static UniqueFd holder(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(holder.Get(), reinterpret_cast<sockaddr*>(&address), size);
    getsockname(holder.Get(), reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

bool WaitReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, timeoutMs) > 0;
}

std::vector<unsigned char> ReadBytes(int fd, size_t count, int timeoutMs) {
    std::vector<unsigned char> data;
    unsigned char piece[4096];
    while (data.size() < count && WaitReadable(fd, timeoutMs)) {
        const ssize_t got = ::read(fd, piece, std::min(sizeof piece, count - data.size()));
        if (got <= 0)
            break;
        data.insert(data.end(), piece, piece + got);
    }
    return data;
}

bool SendAll(int fd, const std::vector<unsigned char>& data) {
    size_t done = 0;
    while (done < data.size()) {
        // send() keeps a closed peer from raising SIGPIPE; a terminal is not a socket.
        ssize_t sent = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == ENOTSOCK)
            sent = ::write(fd, data.data() + done, data.size() - done);
        if (sent <= 0)
            return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

std::vector<unsigned char> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<unsigned char> Pattern(size_t size) {
    std::vector<unsigned char> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<unsigned char>((i * 7 + i / 251) & 0xff);
    return data;
}
