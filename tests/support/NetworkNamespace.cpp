#include "tests/support/NetworkNamespace.h"

#include "tests/support/ProcessRunner.h"
#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

namespace {

constexpr const char* kNetnsDir = "/run/netns/";
constexpr const char* kPrefix = "dlv";

bool RunIp(const std::vector<std::string>& args, std::string& error) {
    const std::string ip = NetworkNamespace::IpProgram();
    if (ip.empty()) {
        error = "no ip program";
        return false;
    }
    ProcessOptions options;
    options.timeoutMs = 20000;
    const ProcessResult result = RunProcess(ip, args, options);
    if (result.exitCode == 0)
        return true;
    error = "ip";
    for (const std::string& arg : args)
        error += " " + arg;
    error += ": " + result.err;
    return false;
}

ino_t InodeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

std::string NetworkNamespace::IpProgram() {
    for (const char* candidate : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
        if (access(candidate, X_OK) == 0)
            return candidate;
    return {};
}

std::string NetworkNamespace::Unavailable() {
    if (geteuid() != 0)
        return "network namespaces need root";
    if (IpProgram().empty())
        return "the ip program (iproute2) is not installed";
    return {};
}

void NetworkNamespace::RemoveStale() {
    const std::regex ours(std::string(kPrefix) + "([0-9]+)[a-z]+");
    std::error_code ec;
    for (std::filesystem::directory_iterator it(kNetnsDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::smatch match;
        if (!std::regex_match(name, match, ours))
            continue;
        const pid_t owner = static_cast<pid_t>(std::stol(match[1].str()));
        if (owner != getpid() && kill(owner, 0) != 0 && errno == ESRCH) {
            std::string ignored;
            RunIp({"netns", "delete", name}, ignored);
        }
    }
}

NetworkNamespace::NetworkNamespace(const std::string& suffix)
    : m_name(kPrefix + std::to_string(getpid()) + suffix) {
    m_error = Unavailable();
    if (!m_error.empty())
        return;
    m_valid = RunIp({"netns", "add", m_name}, m_error);
    if (m_valid)
        m_valid = Ip({"link", "set", "lo", "up"});
}

NetworkNamespace::~NetworkNamespace() {
    // Deleting the namespace also removes the veth end inside it, and with it the pair.
    if (std::filesystem::exists(kNetnsDir + m_name)) {
        std::string ignored;
        RunIp({"netns", "delete", m_name}, ignored);
    }
}

bool NetworkNamespace::Ip(const std::vector<std::string>& args) {
    std::vector<std::string> full = {"-n", m_name};
    full.insert(full.end(), args.begin(), args.end());
    return RunIp(full, m_error);
}

bool NetworkNamespace::IpBatch(const std::vector<std::string>& commands) {
    TempDir dir;
    std::ofstream batch(dir.file("batch"));
    for (const std::string& command : commands)
        batch << command << '\n';
    batch.close();
    return RunIp({"-n", m_name, "-batch", dir.file("batch")}, m_error);
}

// Enters the namespace on the calling thread; false when the thread could not be moved or checked.
static bool EnterNamespace(const std::string& name) {
    const std::string path = kNetnsDir + name;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool moved = setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    // Only this thread moves; make sure it really is inside before anything creates a socket.
    return moved && InodeOf("/proc/thread-self/ns/net") == InodeOf(path) && InodeOf(path) != 0;
}

bool NetworkNamespace::Run(const std::function<void()>& fn) const {
    bool entered = false;
    std::thread worker([&] {
        entered = m_valid && EnterNamespace(m_name);
        if (entered)
            fn();
    });
    worker.join();
    return entered;
}

std::string VethName(char end) {
    return "dv" + std::to_string(getpid()) + end;
}

bool JoinWithVeth(NetworkNamespace& a, const std::string& addressA, NetworkNamespace& b,
                  const std::string& addressB, std::string& error) {
    const std::string endA = VethName('a');
    const std::string endB = VethName('b');
    if (!RunIp(
            {"link", "add", endA, "netns", a.Name(), "type", "veth", "peer", "name", endB, "netns", b.Name()},
            error))
        return false;
    const bool ok =
        a.Ip({"addr", "add", addressA, "broadcast", "+", "dev", endA}) && a.Ip({"link", "set", endA, "up"}) &&
        b.Ip({"addr", "add", addressB, "broadcast", "+", "dev", endB}) && b.Ip({"link", "set", endB, "up"});
    if (!ok)
        error = a.Error() + b.Error();
    return ok;
}
