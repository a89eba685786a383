// A 4 MB firmware image sent through mode U1 over loopback TCP to the simulated printer in this
// process, next to a raw write of the same bytes (send-banks command, 48-byte packets, program command,
// the printer's result byte) over a plain socket in the same run. The mandated waits (every sleep the
// procedure takes, through Clock) are reported apart; the session's fixed cost (its exchanges and the
// read windows of its discards and handshakes) is taken from the same upgrade of a one-bank image, so
// that what remains is the cost of moving the image compared with the raw write. The printer's own
// transcript times the image on the wire (send-banks to program command) on both sides.
//
// Over the emulated USB printer the benchmark must be the simulator's host program:
//   DALVORA_BENCH_TRANSCRIPT=/tmp/t.jsonl dalvora-printer-sim --usb --transcript /tmp/t.jsonl
//     --set upgrade.mode=U1 --set upgrade.device_ids='1;2;3' --set firmware='"3.12"'
//     -- bench_upgrade_transfer --benchmark_filter=Usb
// (one command line).
// The raw write then goes through libusb itself, in the same 48-byte packets with the port's pause
// after every burst of more than 1023 bytes.
#include "base/Clock.h"
#include "comm/CommLayer.h"
#include "firmware/PSWFile.h"
#include "sim/InProcessPrinter.h"
#include "sim/Options.h"
#include "tools/Fixtures.h"
#include "transport/ProductIds.h"
#include "upgrade/UpgradeSession.h"

#include <benchmark/benchmark.h>
#include <libusb.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kScale = 0.1; // the waits shrink; their share is reported, not hidden
constexpr uint32_t kBankSize = 65536;
constexpr int kBigBanks = 64; // 4 MB
constexpr size_t kRawPacket = 48;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_upgrade_transfer: %s\n", what);
    std::abort();
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

sim::Profile U1Printer() {
    return sim::LoadProfileFile(sim::ResolveProfilePath("default"),
                                {"upgrade.mode=U1", "upgrade.device_ids=1;2;3", "firmware=\"3.12\"",
                                 "upgrade.firmware_after=\"3.13\""});
}

// The printer's own view of the last image on the wire: from the send-banks command to the program
// command, as its transcript times them (milliseconds).
double WireSeconds(const std::string& transcript) {
    std::ifstream in(transcript);
    double banks = -1, program = -1;
    for (std::string line; std::getline(in, line);) {
        const nlohmann::json j = nlohmann::json::parse(line);
        const std::string request = j.value("request", "");
        if (request == "BANKS") {
            banks = j.value("ms", 0.0); // the last transfer of the file
            program = -1;
        }
        if (request == "PROGRAM" && program < 0)
            program = j.value("ms", 0.0);
    }
    return banks < 0 || program < 0 ? -1 : (program - banks) / 1000;
}

// The simulator writes an exchange's line just after its answer: wait for it.
double WireSecondsOnceWritten(const std::string& transcript) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (const double seconds = WireSeconds(transcript); seconds >= 0)
            return seconds;
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // a poll, not a mandated wait
    }
    Fail("no transfer in the transcript");
}

std::string TranscriptPath() {
    return "/tmp/dalvora-bench-upgrade-" + std::to_string(getpid()) + ".jsonl";
}

struct Package {
    std::vector<uint8_t> image;
    PSWFile file;
};

void Build(Package& package, int banks) {
    package.image = fixtures::PatternBytes(static_cast<size_t>(banks) * kBankSize, 11);
    fixtures::PackageDescription desc = fixtures::StandardPackage(true, {});
    std::get<fixtures::PrinterSlot>(desc.slots[0]).release = "313";
    fixtures::ModuleSlot software;
    software.kind = 's';
    software.image = package.image;
    software.numBank = static_cast<uint16_t>(banks);
    software.bankDim = kBankSize;
    desc.slots.push_back(software);
    const std::vector<uint8_t> bytes = fixtures::WritePackage(desc);
    if (!package.file.LoadPSWFromMemory(bytes.data(), static_cast<int>(bytes.size()), true))
        Fail("the package does not load");
}

struct Timing {
    double total = 0;
    double slept = 0;
    double wire = 0;
    [[nodiscard]] double Beyond() const { return total - slept; }
};

// One whole upgrade against a fresh printer, so every run takes the same path.
Timing Upgrade(Package& package) {
    auto printer = std::make_unique<sim::InProcessPrinter>(
        U1Printer(), sim::InProcessOptions{{}, TranscriptPath(), std::nullopt});
    CommPortSettings settings;
    settings.type = COMM_ETHERNET;
    settings.ipAddress = "127.0.0.1";
    settings.tcpPort = printer->Port();
    CommLayer layer;
    UpgradeSession session(255, 1);
    const uint64_t sleptBefore = Clock::SleptUs();
    const double start = Now();
    if (!session.PrnCom_UpgradePrinter(&layer, &package.file, &settings, nullptr, false))
        Fail("the upgrade failed");
    Timing timing{Now() - start, static_cast<double>(Clock::SleptUs() - sleptBefore) / 1e6};
    printer.reset(); // its transcript is complete once it has stopped
    timing.wire = WireSecondsOnceWritten(TranscriptPath());
    return timing;
}

bool SendAll(int fd, const uint8_t* bytes, size_t length) {
    for (size_t sent = 0; sent < length;) {
        const ssize_t n = send(fd, bytes + sent, length - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

struct RawTiming {
    double sent = 0;     // the last byte handed to the socket, as U1 over TCP goes on from there
    double answered = 0; // the printer's result byte received
    double wire = 0;     // as the printer saw it
};

// The same wire bytes without the product's code.
RawTiming RawWrite(const std::vector<uint8_t>& image, int banks) {
    auto printer = std::make_unique<sim::InProcessPrinter>(
        U1Printer(), sim::InProcessOptions{{}, TranscriptPath(), std::nullopt});
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(printer->Port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        Fail("no connection");
    uint32_t sum1 = 0, sum2 = 0;
    for (size_t i = 0; i < image.size(); ++i) {
        sum1 += image[i];
        sum2 += image[i] ^ (i & 0xFFFF);
    }
    const auto last = static_cast<uint8_t>(banks - 1);
    const uint8_t start[] = {0x1C, 0xFD, 0, last};
    const uint8_t program[] = {
        0x1C, 0xFF, 0, last, uint8_t(sum1 >> 8), uint8_t(sum1), uint8_t(sum2 >> 8), uint8_t(sum2)};
    // One exchange first, as the procedure reads the printer's release on the connection it then uses.
    const uint8_t release[] = {0x18, 0x1D, 0x49, 0x03};
    uint8_t text[64];
    if (!SendAll(fd, release, sizeof release) || recv(fd, text, sizeof text, 0) <= 0)
        Fail("no release");
    const double begin = Now();
    bool ok = SendAll(fd, start, sizeof start);
    for (size_t at = 0; ok && at < image.size(); at += kRawPacket)
        ok = SendAll(fd, image.data() + at, std::min(kRawPacket, image.size() - at));
    ok = ok && SendAll(fd, program, sizeof program);
    RawTiming timing{Now() - begin, 0};
    uint8_t answer = 0;
    ok = ok && recv(fd, &answer, 1, 0) == 1 && answer == 0xAA;
    timing.answered = Now() - begin;
    close(fd);
    if (!ok)
        Fail("the raw write failed");
    printer.reset(); // its transcript is complete once it has stopped
    timing.wire = WireSecondsOnceWritten(TranscriptPath());
    return timing;
}

void BM_U1FourMegabytesOverTcp(benchmark::State& state) {
    Clock::SetScaleForTesting(kScale);
    Package big;
    Package small;
    Build(big, kBigBanks);
    Build(small, 1);
    // The fastest of the runs: on a shared machine the others measure the neighbours.
    Timing upgrade{1e9, 0}, fixed{1e9, 0};
    RawTiming raw{1e9, 1e9, 1e9};
    double wire = 1e9;
    for (auto _ : state) {
        const RawTiming r = RawWrite(big.image, kBigBanks);
        const Timing u = Upgrade(big);
        const Timing f = Upgrade(small);
        state.SetIterationTime(u.total);
        upgrade = u.Beyond() < upgrade.Beyond() ? u : upgrade;
        fixed = f.Beyond() < fixed.Beyond() ? f : fixed;
        raw = r.wire < raw.wire ? r : raw;
        wire = std::min(wire, u.wire);
    }
    const double transfer = upgrade.Beyond() - fixed.Beyond();
    state.counters["upgrade_total_s"] = upgrade.total;
    state.counters["mandated_waits_s"] = upgrade.slept;
    state.counters["beyond_waits_s"] = upgrade.Beyond();
    state.counters["session_fixed_s"] = fixed.Beyond();
    state.counters["image_transfer_s"] = transfer;
    state.counters["raw_write_s"] = raw.sent;
    state.counters["raw_write_and_answer_s"] = raw.answered;
    state.counters["ratio_image_to_raw"] = transfer / raw.sent;
    state.counters["ratio_beyond_waits_to_raw"] = upgrade.Beyond() / raw.sent;
    state.counters["image_on_wire_s"] = wire;
    state.counters["raw_image_on_wire_s"] = raw.wire;
    state.counters["ratio_wire_to_raw"] = wire / raw.wire;
    state.counters["time_scale"] = kScale;
    unlink(TranscriptPath().c_str());
}
BENCHMARK(BM_U1FourMegabytesOverTcp)->Iterations(5)->Unit(benchmark::kSecond)->UseManualTime();

// ---- over the emulated USB printer ------------------------------------------------------------

constexpr uint16_t kUsbProduct = 0x0101;
constexpr unsigned char kOut = 0x02, kIn = 0x81;
constexpr unsigned kBurstBeforePause = 1023;

struct UsbHandle {
    libusb_context* context = nullptr;
    libusb_device_handle* handle = nullptr;
    ~UsbHandle() {
        if (handle != nullptr) {
            libusb_release_interface(handle, 0);
            libusb_close(handle);
        }
        if (context != nullptr)
            libusb_exit(context);
    }
    // The printer, waiting while it restarts.
    bool Open() {
        if (libusb_init(&context) != 0)
            return false;
        for (int attempt = 0; attempt < 500 && handle == nullptr; ++attempt) {
            handle = libusb_open_device_with_vid_pid(context, ProductIds::kVendorId, kUsbProduct);
            if (handle == nullptr)
                std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a poll, not a mandated wait
        }
        if (handle == nullptr)
            return false;
        libusb_set_auto_detach_kernel_driver(handle, 1);
        return libusb_claim_interface(handle, 0) == 0;
    }
    bool Send(const uint8_t* bytes, size_t length) {
        int done = 0;
        return libusb_bulk_transfer(handle, kOut, const_cast<uint8_t*>(bytes), static_cast<int>(length),
                                    &done, 5000) == 0 &&
               done == static_cast<int>(length);
    }
};

double RawUsbWrite(const std::vector<uint8_t>& image, int banks, const std::string& transcript) {
    UsbHandle usb;
    if (!usb.Open())
        Fail("the USB printer cannot be opened");
    const std::vector<uint8_t> start{0x1C, 0xFD, 0, static_cast<uint8_t>(banks - 1)};
    bool ok = usb.Send(start.data(), start.size());
    unsigned sinceLastPause = 0;
    for (size_t at = 0; ok && at < image.size(); at += kRawPacket) {
        const size_t n = std::min(kRawPacket, image.size() - at);
        ok = usb.Send(image.data() + at, n);
        sinceLastPause += static_cast<unsigned>(n);
        if (sinceLastPause > kBurstBeforePause) {
            Clock::SleepMs(1);
            sinceLastPause = 0;
        }
    }
    uint32_t sum1 = 0, sum2 = 0;
    for (size_t i = 0; i < image.size(); ++i) {
        sum1 += image[i];
        sum2 += image[i] ^ (i & 0xFFFF);
    }
    const std::vector<uint8_t> program{0x1C,
                                       0xFF,
                                       0,
                                       static_cast<uint8_t>(banks - 1),
                                       uint8_t(sum1 >> 8),
                                       uint8_t(sum1),
                                       uint8_t(sum2 >> 8),
                                       uint8_t(sum2)};
    ok = ok && usb.Send(program.data(), program.size());
    uint8_t answer[64];
    int got = 0;
    for (int attempt = 0; ok && got == 0 && attempt < 100; ++attempt)
        libusb_bulk_transfer(usb.handle, kIn, answer, sizeof answer, &got, 100);
    if (!ok || got == 0 || answer[got - 1] != 0xAA)
        Fail("the raw USB write failed");
    return WireSecondsOnceWritten(transcript);
}

Timing UsbUpgrade(Package& package, const std::string& transcript) {
    CommPortSettings settings;
    settings.type = COMM_USB_PRN;
    settings.usbDeviceName = "1F5B|0101|SIM000001";
    CommLayer layer;
    UpgradeSession session(255, 1);
    const uint64_t sleptBefore = Clock::SleptUs();
    const double start = Now();
    if (!session.PrnCom_UpgradePrinter(&layer, &package.file, &settings, nullptr, false))
        Fail("the upgrade failed");
    Timing timing{Now() - start, static_cast<double>(Clock::SleptUs() - sleptBefore) / 1e6};
    timing.wire = WireSecondsOnceWritten(transcript);
    return timing;
}

void BM_U1FourMegabytesOverUsb(benchmark::State& state) {
    const char* transcript = std::getenv("DALVORA_BENCH_TRANSCRIPT");
    if (transcript == nullptr || std::getenv("UMOCKDEV_DIR") == nullptr) {
        state.SkipWithError("run as the host program of dalvora-printer-sim --usb (see the file's head)");
        for (auto _ : state) {
        }
        return;
    }
    Clock::SetScaleForTesting(kScale);
    Package big;
    Build(big, kBigBanks);
    Timing upgrade{1e9, 0, 1e9};
    double raw = 1e9;
    for (auto _ : state) {
        const Timing u = UsbUpgrade(big, transcript);
        state.SetIterationTime(u.total);
        upgrade = u.wire < upgrade.wire ? u : upgrade;
        raw = std::min(raw, RawUsbWrite(big.image, kBigBanks, transcript));
    }
    state.counters["upgrade_total_s"] = upgrade.total;
    state.counters["mandated_waits_s"] = upgrade.slept; // the burst pauses among them
    state.counters["beyond_waits_s"] = upgrade.Beyond();
    state.counters["image_on_wire_s"] = upgrade.wire;
    state.counters["raw_image_on_wire_s"] = raw;
    state.counters["ratio_wire_to_raw"] = upgrade.wire / raw;
    state.counters["time_scale"] = kScale;
}
// One run: the emulated device moves some 70 kB/s in 48-byte transfers, and after the raw write the
// printer restarts.
BENCHMARK(BM_U1FourMegabytesOverUsb)->Iterations(1)->Unit(benchmark::kSecond)->UseManualTime();

} // namespace
