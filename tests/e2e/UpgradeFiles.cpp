#include "tests/e2e/UpgradeFiles.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <openssl/evp.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using fixtures::ModuleSlot;

void Store(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The slot kind and the MOD_ID of the module file inside it, for a letter of PackageShape::modules.
std::pair<char, char> PackageModuleKind(char letter) {
    switch (letter) {
    case 'f':
        return {'f', 'F'};
    case 'd':
        return {'d', 'D'};
    case 'l':
        return {'l', 'L'};
    default:
        return {'o', 'E'};
    }
}

} // namespace

UpgradeFile WriteUpgradePackage(const TempDir& dir, const PackageShape& shape, const std::string& name) {
    UpgradeFile file;
    file.path = dir.file(name);
    file.firmware = !shape.image.empty()
                        ? shape.image
                        : fixtures::PatternBytes(static_cast<size_t>(shape.banks) * shape.bankSize,
                                                 static_cast<uint32_t>(shape.banks * 7 + shape.format));
    fixtures::PackageDescription desc = fixtures::StandardPackage(shape.format == 2, {});
    auto& printer = std::get<fixtures::PrinterSlot>(desc.slots[0]);
    printer.release = kPackageRelease;
    printer.scrambleByte = shape.scrambleByte;
    auto& software = std::get<fixtures::SoftwareSlot>(desc.slots[1]);
    software.bex = shape.signature;
    software.family = shape.family;
    software.model = shape.model;
    software.customization = shape.customization;
    if (shape.format == 2) {
        for (char letter : shape.modules) {
            const auto [kind, id] = PackageModuleKind(letter);
            ModuleSlot slot;
            slot.kind = kind;
            slot.image = fixtures::WriteModuleFile(fixtures::StandardModule(id));
            file.modules[id] = slot.image;
            desc.slots.push_back(slot);
        }
        ModuleSlot image;
        image.kind = 's';
        image.image = file.firmware;
        image.numBank = static_cast<uint16_t>(shape.banks);
        image.bankDim = shape.bankSize;
        desc.slots.push_back(image);
    } else {
        desc.firmware = file.firmware;
        desc.binNewVariant = false;
        desc.numBanks = static_cast<uint8_t>(shape.banks);
        desc.bankSize = shape.bankSize;
    }
    desc.sums = shape.sums;
    desc.truncateTo = shape.truncateTo;
    Store(file.path, fixtures::WritePackage(desc));
    return file;
}

UpgradeFile WriteModule(const TempDir& dir, char moduleId, const std::string& name) {
    UpgradeFile file;
    file.path = dir.file(name);
    file.modules[moduleId] = fixtures::WriteModuleFile(fixtures::StandardModule(moduleId));
    Store(file.path, file.modules[moduleId]);
    return file;
}

std::string Sha256Of(const std::vector<uint8_t>& bytes, size_t offset, size_t length) {
    offset = std::min(offset, bytes.size());
    length = std::min(length, bytes.size() - offset);
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    if (EVP_Digest(bytes.data() + offset, length, digest, &size, EVP_sha256(), nullptr) != 1)
        return {};
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < size; ++i) {
        text.push_back(kHex[digest[i] >> 4]);
        text.push_back(kHex[digest[i] & 0x0F]);
    }
    return text;
}

bool WaitUntil(const std::function<bool()>& done, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // a poll interval, not a wait
    }
    return true;
}

InterruptibleRun::InterruptibleRun(const std::vector<std::string>& args,
                                   const std::vector<std::string>& env) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (const std::string& assignment : env)
            putenv(const_cast<char*>(assignment.c_str()));
        std::vector<char*> argv{const_cast<char*>(DALVORA_BINARY)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(DALVORA_BINARY, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    m_fds[0] = out[0];
    m_fds[1] = err[0];
}

InterruptibleRun::~InterruptibleRun() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    for (int fd : m_fds)
        if (fd >= 0)
            close(fd);
}

void InterruptibleRun::Signal(int signal) const {
    if (m_pid > 0)
        kill(m_pid, signal);
}

bool InterruptibleRun::Pump(int timeoutMs) {
    pollfd fds[2] = {{m_fds[0], POLLIN, 0}, {m_fds[1], POLLIN, 0}};
    if (fds[0].fd < 0 && fds[1].fd < 0)
        return false;
    if (poll(fds, 2, timeoutMs) <= 0)
        return true;
    std::string* sinks[2] = {&m_result.out, &m_result.err};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            sinks[i]->append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            close(m_fds[i]);
            m_fds[i] = -1;
        }
    }
    return true;
}

bool InterruptibleRun::WaitForError(const std::string& text, int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (m_result.err.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Pump(static_cast<int>(left.count())))
            return false;
    }
    return true;
}

ProcessResult InterruptibleRun::Finish(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            m_result.timedOut = true;
            Signal(SIGKILL);
            break;
        }
        if (!Pump(static_cast<int>(left.count())))
            break;
    }
    int status = 0;
    if (m_pid > 0 && waitpid(m_pid, &status, 0) == m_pid) {
        m_result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    m_pid = -1;
    return m_result;
}
