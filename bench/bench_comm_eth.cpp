// Round trips (write a command, read its echo) through ComPortEth against a loopback echo server, next
// to the same exchange on a raw socket: the port's own cost is the difference between the two.
#include "transport/ComPortEth.h"
#include "transport/UniqueFd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Echoes every byte back on each accepted connection until the process ends.
class EchoServer {
public:
    EchoServer() : m_listen(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), size);
        listen(m_listen.Get(), 8);
        getsockname(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        std::thread([fd = m_listen.Get()] {
            for (;;) {
                const int peer = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (peer < 0)
                    return;
                std::thread(Echo, peer).detach();
            }
        }).detach();
    }
    uint16_t Port() const { return m_port; }

private:
    static void Echo(int peer) {
        UniqueFd owned(peer);
        const int on = 1;
        setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        char buf[65536];
        for (;;) {
            const ssize_t got = recv(peer, buf, sizeof buf, 0);
            if (got <= 0 || send(peer, buf, static_cast<size_t>(got), MSG_NOSIGNAL) != got)
                return;
        }
    }

    UniqueFd m_listen;
    uint16_t m_port = 0;
};

EchoServer& Server() {
    static EchoServer server;
    return server;
}

// Reads until `count` bytes are in through the given reader; false when it stops early.
template <typename ReadFn> bool ReadFully(size_t count, ReadFn read) {
    size_t have = 0;
    while (have < count) {
        const long got = read(have);
        if (got <= 0)
            return false;
        have += static_cast<size_t>(got);
    }
    return true;
}

void BM_ComPortEthRoundTrip(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    std::vector<unsigned char> out(size, 0x5a);
    std::vector<unsigned char> in(size);
    auto port = std::make_unique<ComPortEth>(); // opened once: closing costs a 2 s pause
    if (port->OpenEthernet("127.0.0.1", Server().Port()) != 0) {
        state.SkipWithError("cannot connect to the echo server");
        return;
    }
    for (auto _ : state) {
        unsigned error = 0;
        if (port->Write(out.data(), static_cast<unsigned>(size), &error) != size) {
            state.SkipWithError("write failed");
            break;
        }
        const bool ok = ReadFully(size, [&](size_t have) {
            return static_cast<long>(
                port->Read(in.data() + have, static_cast<unsigned>(size - have), &error));
        });
        if (!ok) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(in.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size * 2));
}

void BM_RawSocketRoundTrip(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    std::vector<unsigned char> out(size, 0x5a);
    std::vector<unsigned char> in(size);
    UniqueFd sock(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(Server().Port());
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(sock.Get(), reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        state.SkipWithError("cannot connect to the echo server");
        return;
    }
    for (auto _ : state) {
        size_t sent = 0;
        while (sent < size) {
            const size_t chunk = std::min<size_t>(1000, size - sent); // the port's packet size
            const ssize_t n = send(sock.Get(), out.data() + sent, chunk, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        const bool ok = sent == size && ReadFully(size, [&](size_t have) {
                            return static_cast<long>(recv(sock.Get(), in.data() + have, size - have, 0));
                        });
        if (!ok) {
            state.SkipWithError("exchange failed");
            break;
        }
        benchmark::DoNotOptimize(in.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size * 2));
}

// A short command, a typical answer, and a firmware-sized block.
BENCHMARK(BM_RawSocketRoundTrip)->Arg(7)->Arg(512)->Arg(16384)->MinTime(0.3);
BENCHMARK(BM_ComPortEthRoundTrip)->Arg(7)->Arg(512)->Arg(16384)->MinTime(0.3);

} // namespace
