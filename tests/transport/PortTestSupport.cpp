#include "tests/transport/PortTestSupport.h"

#include "base/Log.h"
#include "transport/ComPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <tuple>

LogCapture::LogCapture() {
    Log::SetLogEnable(2, true, m_dir.path().c_str());
}

LogCapture::~LogCapture() {
    Log::SetLogEnable(0, false, nullptr);
}

std::string LogCapture::Text() const {
    return ReadWholeFile(m_dir.file(Log::kFileName));
}

size_t LogCapture::Count(const std::string& where, const std::string& text) const {
    const std::string log = Text();
    const std::string line = "[" + where + "]" + text + "\n";
    size_t count = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
        ++count;
    return count;
}

std::pair<UniqueFd, uint16_t> BoundSocket(int type, uint16_t port, const char* host) {
    UniqueFd fd(socket(AF_INET, type | SOCK_CLOEXEC, 0));
    sockaddr_in address{AF_INET, htons(port), {}, {}};
    inet_pton(AF_INET, host, &address.sin_addr);
    socklen_t size = sizeof address;
    if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        fd.Reset();
    return {std::move(fd), ntohs(address.sin_port)};
}

LoopbackServer::LoopbackServer(const char* host) {
    std::tie(m_listen, m_port) = BoundSocket(SOCK_STREAM, 0, host);
    if (!m_listen.IsValid() || listen(m_listen.Get(), 8) != 0)
        throw std::runtime_error(std::string("cannot listen on ") + host);
}

UniqueFd LoopbackServer::Accept() const {
    if (!WaitReadable(m_listen.Get(), 5000))
        return UniqueFd();
    return UniqueFd(accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
}

Written WriteOnce(ComPort& port, const std::vector<unsigned char>& data) {
    unsigned error = 9;
    const unsigned written = port.Write(data.data(), static_cast<unsigned>(data.size()), &error);
    return {written, error};
}

Received ReadOnce(ComPort& port, size_t size) {
    std::string data(size, '\0');
    unsigned error = 9;
    data.resize(
        port.Read(reinterpret_cast<unsigned char*>(data.data()), static_cast<unsigned>(size), &error));
    return {data, error};
}

void ExpectReadAllEndsAtOnce(ComPort& port, const LogCapture& log, const std::string& read) {
    const size_t before = log.Count(read, "Begin");
    unsigned char buf[8];
    unsigned error = 0;
    EXPECT_EQ(port.ReadAll(buf, sizeof buf, 600000, &error), 0);
    EXPECT_EQ(error, 1u);
    EXPECT_TRUE(port.IsDeviceLost());
    EXPECT_EQ(log.Count(read, "Begin") - before, 1u) << "ReadAll went on reading";
    EXPECT_TRUE(log.Has("ReadAll", "Device lost, no more data can come"));
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

void AbortConnection(UniqueFd& peer) {
    linger hard{1, 0};
    setsockopt(peer.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    peer.Reset();
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
