#include "tests/transport/PortTestSupport.h"

#include "base/Clock.h"
#include "base/Log.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

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

LoopbackServer::LoopbackServer(const char* host) : m_listen(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, host, &address.sin_addr);
    socklen_t size = sizeof address;
    if (!m_listen.IsValid() || bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(m_listen.Get(), 8) != 0 ||
        getsockname(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error(std::string("cannot listen on ") + host);
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

void AbortConnection(UniqueFd& peer) {
    linger hard{1, 0};
    setsockopt(peer.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    peer.Reset();
}

bool WaitUntil(const std::function<bool()>& done, int limitMs) {
    const uint64_t end = Clock::MonotonicMs() + static_cast<uint64_t>(limitMs);
    while (!done()) {
        if (Clock::MonotonicMs() >= end)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::optional<std::string> RunInChild(const std::function<std::string()>& fn, int limitMs) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        return std::nullopt;
    UniqueFd reader(channel[0]);
    UniqueFd writer(channel[1]);
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        reader.Reset();
        const std::string report = fn();
        const bool sent = SendAll(writer.Get(), std::vector<unsigned char>(report.begin(), report.end()));
        _exit(sent ? 0 : 1);
    }
    writer.Reset();
    // The report ends when the child closes its end, by exiting.
    std::string report;
    const uint64_t end = Clock::MonotonicMs() + static_cast<uint64_t>(limitMs);
    bool finished = false;
    while (!finished && Clock::MonotonicMs() < end) {
        if (!WaitReadable(reader.Get(), static_cast<int>(end - Clock::MonotonicMs())))
            continue;
        char piece[4096];
        const ssize_t got = ::read(reader.Get(), piece, sizeof piece);
        if (got > 0)
            report.append(piece, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR)
            finished = true;
    }
    if (!finished)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!finished || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return report;
}
