// Speed of the printer simulator: how long the program takes until it listens, and how many
// request/answer exchanges a raw client gets through on loopback (one request in flight, as a host
// that waits for each answer), plus the same exchanges without the socket.
#include "sim/Options.h"
#include "sim/Server.h"

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The simulator as a child process; the first line it prints names its port.
struct Child {
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    explicit Child(const std::string& profile) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::execl(DALVORA_SIM_BINARY, DALVORA_SIM_BINARY, "--profile", profile.c_str(), "--tcp",
                    "127.0.0.1:0", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        out = fds[0];
    }
    // Reads "listening tcp 127.0.0.1:PORT".
    uint16_t WaitListening() {
        std::string line;
        char c = 0;
        while (line.find('\n') == std::string::npos && ::read(out, &c, 1) == 1)
            line.push_back(c);
        const size_t colon = line.rfind(':');
        return colon == std::string::npos ? 0 : static_cast<uint16_t>(std::stoul(line.substr(colon + 1)));
    }
    ~Child() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (out >= 0)
            ::close(out);
    }
    pid_t pid = -1;
    int out = -1;
};

int ConnectLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// Reads until the ETX that ends an answer without binary block.
bool ReadFrame(int fd, uint8_t* buffer, size_t capacity) {
    size_t have = 0;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer + have, capacity - have, 0);
        if (n <= 0)
            return false;
        for (ssize_t i = 0; i < n; ++i)
            if (buffer[have + static_cast<size_t>(i)] == 0x03)
                return true;
        have += static_cast<size_t>(n);
        if (have == capacity)
            return false;
    }
}

void BM_StartUntilListening(benchmark::State& state) {
    for (auto _ : state) {
        auto child = std::make_unique<Child>("default");
        benchmark::DoNotOptimize(child->WaitListening());
        state.PauseTiming();
        child.reset(); // ending the child is not start-up time
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUntilListening)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_LoopbackExchanges(benchmark::State& state, const char* profile, const std::string& request) {
    Child child(profile);
    const uint16_t port = child.WaitListening();
    const int fd = ConnectLoopback(port);
    if (fd < 0) {
        state.SkipWithError("cannot connect to the simulator");
        return;
    }
    const std::string command = std::string("\x1f\xff", 2) + request;
    uint8_t buffer[16384];
    for (auto _ : state) {
        if (::send(fd, command.data(), command.size(), 0) != static_cast<ssize_t>(command.size()) ||
            !ReadFrame(fd, buffer, sizeof buffer)) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    ::close(fd);
}
BENCHMARK_CAPTURE(BM_LoopbackExchanges, item_info_default, "default", std::string("\x04<65302>"))
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_LoopbackExchanges, protocol_version, "default", std::string("\x01"))->UseRealTime();
BENCHMARK_CAPTURE(BM_LoopbackExchanges, item_info_large, "large", std::string("\x04<65351>"))->UseRealTime();

void BM_SessionInProcess(benchmark::State& state) {
    sim::PrinterState printer(sim::LoadProfileFile(sim::ResolveProfilePath("default")));
    sim::FaultInjector faults;
    sim::Session session(printer, faults);
    sim::Recogniser recogniser;
    const std::string command = std::string("\x1f\xff\x04<65302>", 10);
    std::vector<sim::Request> requests;
    for (auto _ : state) {
        requests.clear();
        recogniser.Feed(reinterpret_cast<const uint8_t*>(command.data()), command.size(), requests);
        benchmark::DoNotOptimize(session.Handle(requests.front()));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SessionInProcess)->UseRealTime();

} // namespace
