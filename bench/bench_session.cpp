// Reading a whole large setup through the session operations against the simulated printer in this
// process, over loopback TCP and over a pty serial line. Reported next to raw round trips of the same
// request made without the product's code, measured in the same run, with the waits the protocol
// mandates (closes, the pause after finding a printer, input discards, serial answer pauses) apart.
#include "base/Clock.h"
#include "comm/CommLayer.h"
#include "comm/PrinterComm.h"
#include "model/PrinterData.h"
#include "sim/InProcessPrinter.h"
#include "sim/Options.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Seconds = std::chrono::duration<double>;

double Now() {
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

sim::Profile LargeProfile(bool serial) {
    sim::Profile profile = sim::LoadProfileFile(sim::ResolveProfilePath("large"));
    if (serial)
        profile.baud = 115200; // the search across rates is not what is measured here
    return profile;
}

// One item request and its whole answer over a plain socket, as a baseline; with `cancelFirst` the
// cancel byte goes first in a write of its own, as the protocol has every exchange begin.
double RawRoundTripUs(uint16_t port, int rounds, bool cancelFirst) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return -1;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const std::string request = std::string("\x1f\xff\x04", 3) + "<1000>";
    char buffer[4096];
    const double start = Now();
    for (int i = 0; i < rounds; ++i) {
        if (cancelFirst && send(fd, "\x18", 1, 0) < 0)
            break;
        if (send(fd, request.data(), request.size(), 0) < 0)
            break;
        for (;;) {
            ssize_t got = recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0 || buffer[got - 1] == 0x03)
                break;
        }
    }
    const double elapsed = Now() - start;
    close(fd);
    return elapsed * 1e6 / rounds;
}

struct Reading {
    double total = 0;
    double slept = 0;
    uint64_t errors = 0;
};

Reading ReadSetup(CommPortSettings settings) {
    PrinterComm comm(255, 1);
    PrinterData data;
    data.Init();
    CommLayer layer;
    const uint64_t sleptBefore = Clock::SleptUs();
    const double start = Now();
    comm.PrnCom_Init(&layer, &data, &settings);
    Reading reading;
    reading.errors = comm.PrnCom_ReadSetupData(&layer, &data, &settings, true);
    reading.total = Now() - start;
    reading.slept = static_cast<double>(Clock::SleptUs() - sleptBefore) / 1e6;
    return reading;
}

// Each session discards input after opening and before each identity request: two opens, two
// handshakes. On an idle line each discard lasts one short read timeout, measured here.
constexpr int kDiscards = 4;

double DiscardSeconds(uint16_t port) {
    CommLayer layer;
    const std::string name = "127.0.0.1:" + std::to_string(port);
    layer.Open(COMM_ETHERNET, name.c_str(), 0, 0, PrinterComm::kSessionTimeoutMs);
    const double start = Now();
    layer.CleanRX();
    const double elapsed = Now() - start;
    layer.Close();
    return elapsed;
}

void BM_ReadLargeSetupTcp(benchmark::State& state) {
    Clock::SetScaleForTesting(1.0);
    const sim::Profile profile = LargeProfile(false);
    const size_t items = profile.items.size();
    sim::InProcessPrinter printer(profile);
    CommPortSettings settings;
    settings.type = COMM_ETHERNET;
    settings.ipAddress = "127.0.0.1";
    settings.tcpPort = printer.Port();
    Reading reading;
    for (auto _ : state)
        reading = ReadSetup(settings);
    const double raw = RawRoundTripUs(printer.Port(), 2000, false);
    const double rawExchange = RawRoundTripUs(printer.Port(), 2000, true);
    const double discards = kDiscards * DiscardSeconds(printer.Port());
    // Per item: cancel + request/answer; plus version, capabilities, header, three pages, id list.
    const double exchanges = static_cast<double>(items) + 7;
    const double rest = reading.total - reading.slept - discards;
    state.counters["total_s"] = reading.total;
    state.counters["mandated_sleeps_s"] = reading.slept;
    state.counters["discard_windows_s"] = discards;
    state.counters["rest_per_exchange_us"] = rest * 1e6 / exchanges;
    state.counters["raw_round_trip_us"] = raw;
    state.counters["ratio_to_raw"] = rest * 1e6 / exchanges / raw;
    state.counters["raw_cancel_and_round_trip_us"] = rawExchange;
    state.counters["ratio_to_raw_exchange"] = rest * 1e6 / exchanges / rawExchange;
    state.counters["items"] = static_cast<double>(items);
}
BENCHMARK(BM_ReadLargeSetupTcp)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_ReadLargeSetupSerial(benchmark::State& state) {
    Clock::SetScaleForTesting(1.0);
    const std::string path = "/tmp/dalvora-bench-tty-" + std::to_string(getpid());
    const sim::Profile profile = LargeProfile(true);
    const size_t items = profile.items.size();
    sim::InProcessPrinter printer(profile, sim::InProcessOptions{{}, std::nullopt, path});
    CommPortSettings settings;
    settings.type = COMM_SERIAL;
    settings.comPortName = path;
    settings.baudRate = 115200;
    settings.flowControl = 0;
    Reading reading;
    for (auto _ : state)
        reading = ReadSetup(settings);
    const double exchanges = static_cast<double>(items) + 7;
    // A large item answer is some 120 bytes, a request 10 plus the cancel: 10 bits a byte on the wire.
    const double wire = exchanges * 131 * 10 / 115200.0;
    state.counters["total_s"] = reading.total;
    state.counters["mandated_sleeps_s"] = reading.slept; // the 80 ms answer pauses among them
    state.counters["rest_per_exchange_us"] = (reading.total - reading.slept) * 1e6 / exchanges;
    state.counters["wire_time_at_115200_s"] = wire;
    state.counters["items"] = static_cast<double>(items);
    unlink(path.c_str());
}
BENCHMARK(BM_ReadLargeSetupSerial)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
