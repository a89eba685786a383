// dalvoractl applying one archive to 32 simulated printers at --parallel 1, 4 and 16: wall time, speed-up
// over one printer at a time, and the program's peak memory, also per extra session.
//
// Waits are real: a session spends most of its time in the printers' mandated pauses, which is what
// working on printers in parallel hides. With real waits one apply at --parallel 1 takes about 4.5
// minutes, the whole program about 6. DALVORA_BENCH_CTL_TIME_SCALE=F (0 < F <= 1) hands F to the
// simulators and dalvoractl as their wait scale, for a quicker run that overstates the share of work.
// The speed-up and per-session counters need the --parallel 1 run in the same process (no filter that
// drops it).
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kPrinters = 32;

// Items 1 and 5 differ from the default profile: every apply writes those two plus the clock.
nlohmann::json ChangedProfile() {
    std::ifstream in(DALVORA_DEFAULT_PROFILE);
    nlohmann::json profile = nlohmann::json::parse(in);
    for (nlohmann::json& item : profile["items"]) {
        if (item["id"] == 1)
            item["current"] = 2;
        else if (item["id"] == 5)
            item["current"] = 1;
    }
    return profile;
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench_ctl_apply.XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The environment both programs run with: the audit trail in the temporary directory, and no wait scale
// unless this benchmark was asked for one.
class ChildEnvironment {
public:
    explicit ChildEnvironment(const std::string& stateHome) {
        for (char** entry = environ; *entry != nullptr; ++entry)
            if (!StartsWith(*entry, "XDG_STATE_HOME=") && !StartsWith(*entry, "DALVORA_TESTONLY_TIME_SCALE="))
                m_entries.emplace_back(*entry);
        m_entries.push_back("XDG_STATE_HOME=" + stateHome);
        if (const char* scale = std::getenv("DALVORA_BENCH_CTL_TIME_SCALE"))
            m_entries.push_back(std::string("DALVORA_TESTONLY_TIME_SCALE=") + scale);
    }
    // Built before fork: the child only calls execve.
    std::vector<char*> Pointers() {
        std::vector<char*> pointers;
        for (std::string& entry : m_entries)
            pointers.push_back(entry.data());
        pointers.push_back(nullptr);
        return pointers;
    }

private:
    static bool StartsWith(const char* text, const char* prefix) {
        return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
    }
    std::vector<std::string> m_entries;
};

pid_t Spawn(std::vector<std::string> args, ChildEnvironment& environment, int stdoutFd) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char*> envp = environment.Pointers();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // No simulator outlives a benchmark that dies.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(stdoutFd, STDOUT_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

struct Finished {
    int exitStatus = -1;
    long peakRssKiB = 0;
};

// wait4 gives this one child's resource use, whatever else has ended before.
Finished WaitFor(pid_t pid) {
    Finished finished;
    int status = 0;
    rusage usage{};
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
        finished.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        finished.peakRssKiB = usage.ru_maxrss;
    }
    return finished;
}

class Simulator {
public:
    Simulator(const std::string& profile, ChildEnvironment& environment) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        m_pid =
            Spawn({DALVORA_SIM_BINARY, "--tcp", "127.0.0.1:0", "--profile", profile}, environment, fds[1]);
        ::close(fds[1]);
        m_out = fds[0];
        m_port = ReadPort();
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        // Kept open until here: the simulator may still write to its standard output.
        if (m_out >= 0)
            ::close(m_out);
    }
    uint16_t Port() const { return m_port; }
    std::string Address() const { return "eth:127.0.0.1:" + std::to_string(m_port); }

private:
    // The first line is "listening tcp 127.0.0.1:PORT".
    uint16_t ReadPort() {
        std::string line;
        char c = 0;
        while (m_out >= 0 && line.find('\n') == std::string::npos && ::read(m_out, &c, 1) == 1)
            line.push_back(c);
        const size_t colon = line.rfind(':');
        if (line.rfind("listening tcp ", 0) != 0 || colon == std::string::npos)
            return 0;
        return static_cast<uint16_t>(std::strtoul(line.c_str() + colon + 1, nullptr, 10));
    }
    pid_t m_pid = -1;
    int m_out = -1;
    uint16_t m_port = 0;
};

// True once the printer answers a protocol version request; a printer restarting after storing its
// setup answers nothing.
bool Answers(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool answered = false;
    static const char kRequest[] = {'\x1f', '\xff', '\x01'};
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(fd, kRequest, sizeof kRequest, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof kRequest)) {
        pollfd readable{fd, POLLIN, 0};
        char buffer[256];
        while (!answered && ::poll(&readable, 1, 500) == 1) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            answered = std::memchr(buffer, 0x03, static_cast<size_t>(n)) != nullptr;
        }
    }
    ::close(fd);
    return answered;
}

// The 32 printers, started once, and the two archives that take them from one state to the other.
//
// The printers start changed. Applies alternate between the archive read from a default printer and the
// archive read from a changed one, so each apply finds the printers in the other state and writes the
// same three items to every printer: runs stay comparable without restarting 32 simulators per
// iteration. If an apply fails the printers' state is unknown and the fleet is not used again.
class Fleet {
public:
    static Fleet& Get() {
        static Fleet fleet;
        return fleet;
    }
    const std::string& Broken() const { return m_broken; }

    // Runs one apply to every printer with the archive that changes them; the wall time covers the
    // whole program, start to exit.
    Finished Apply(int parallel, double& seconds) {
        WaitUntilAnswering();
        std::vector<std::string> args{DALVORA_CTL_BINARY, "-q", "apply",
                                      m_atDefault ? m_changedArchive : m_defaultArchive};
        for (const std::unique_ptr<Simulator>& printer : m_printers)
            args.push_back(printer->Address());
        args.insert(args.end(), {"--parallel", std::to_string(parallel)});
        const auto start = std::chrono::steady_clock::now();
        const Finished finished = WaitFor(Spawn(args, *m_environment, m_devNull));
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (finished.exitStatus == 0)
            m_atDefault = !m_atDefault;
        else
            m_broken = "dalvoractl apply exited with status " + std::to_string(finished.exitStatus);
        return finished;
    }

    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;
    ~Fleet() {
        if (m_devNull >= 0)
            ::close(m_devNull);
    }

private:
    Fleet() : m_devNull(::open("/dev/null", O_WRONLY | O_CLOEXEC)) {
        if (m_dir.Path().empty()) {
            m_broken = "cannot create a temporary directory";
            return;
        }
        m_environment = std::make_unique<ChildEnvironment>(m_dir.Path() + "/state");
        const std::string changedProfile = m_dir.Path() + "/changed.json";
        std::ofstream(changedProfile) << ChangedProfile().dump(1);
        for (int i = 0; i < kPrinters; ++i)
            m_printers.push_back(std::make_unique<Simulator>(changedProfile, *m_environment));
        const Simulator reference("default", *m_environment);
        for (const std::unique_ptr<Simulator>& printer : m_printers)
            if (printer->Port() == 0 || reference.Port() == 0) {
                m_broken = "a simulator did not start";
                return;
            }
        m_defaultArchive = m_dir.Path() + "/default.tcfx";
        m_changedArchive = m_dir.Path() + "/changed.tcfx";
        // Both reads at once: each takes seconds of printer pauses.
        const pid_t readDefault =
            Spawn({DALVORA_CTL_BINARY, "-q", "read", reference.Address(), "-o", m_defaultArchive},
                  *m_environment, m_devNull);
        const pid_t readChanged =
            Spawn({DALVORA_CTL_BINARY, "-q", "read", m_printers.front()->Address(), "-o", m_changedArchive},
                  *m_environment, m_devNull);
        const bool readsDone = WaitFor(readDefault).exitStatus == 0;
        if (WaitFor(readChanged).exitStatus != 0 || !readsDone)
            m_broken = "dalvoractl read failed";
    }

    void WaitUntilAnswering() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (const std::unique_ptr<Simulator>& printer : m_printers)
            while (!Answers(printer->Port()) && std::chrono::steady_clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    TempDir m_dir;
    int m_devNull = -1;
    std::unique_ptr<ChildEnvironment> m_environment;
    std::vector<std::unique_ptr<Simulator>> m_printers;
    std::string m_defaultArchive;
    std::string m_changedArchive;
    bool m_atDefault = false;
    std::string m_broken;
};

// Measured at --parallel 1 earlier in this process; the base of the speed-up and per-session counters.
double g_secondsAtOne = 0;
long g_peakRssKiBAtOne = 0;

void BM_ApplyToFleet(benchmark::State& state) {
    const int parallel = static_cast<int>(state.range(0));
    Fleet& fleet = Fleet::Get();
    double totalSeconds = 0;
    long peakRssKiB = 0;
    for (auto _ : state) {
        if (!fleet.Broken().empty()) {
            state.SkipWithError(fleet.Broken().c_str());
            return;
        }
        double seconds = 0;
        const Finished finished = fleet.Apply(parallel, seconds);
        if (finished.exitStatus != 0) {
            state.SkipWithError(fleet.Broken().c_str());
            return;
        }
        state.SetIterationTime(seconds);
        totalSeconds += seconds;
        peakRssKiB = std::max(peakRssKiB, finished.peakRssKiB);
    }
    const double wall = totalSeconds / static_cast<double>(state.iterations());
    if (parallel == 1) {
        g_secondsAtOne = wall;
        g_peakRssKiBAtOne = peakRssKiB;
    }
    state.counters["wall_s"] = wall;
    state.counters["peak_rss_KiB"] = static_cast<double>(peakRssKiB);
    if (g_secondsAtOne > 0)
        state.counters["speedup"] = g_secondsAtOne / wall;
    if (parallel > 1 && g_peakRssKiBAtOne > 0)
        state.counters["per_session_KiB"] =
            static_cast<double>(peakRssKiB - g_peakRssKiBAtOne) / static_cast<double>(parallel - 1);
}
// One iteration each: with real waits --parallel 1 alone takes minutes.
BENCHMARK(BM_ApplyToFleet)
    ->ArgName("parallel")
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace
