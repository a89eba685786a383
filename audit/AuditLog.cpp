#include "audit/AuditLog.h"

#include "audit/AuditJson.h"
#include "base/HomeDir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audit {

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Each missing directory of the path's parent, mode 0700 (the trail names printers and users).
bool MakeParents(const std::string& path, std::string& error) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string directory = path.substr(0, slash);
        if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
            error = SystemError("cannot create " + directory);
            return false;
        }
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

} // namespace

std::string TrailPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // The XDG rules ignore a relative path.
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/dalvora/" + kTrailFileName;
    const std::string home = getHomeDir();
    if (home.empty())
        return {};
    return home + "/.local/state/dalvora/" + kTrailFileName;
}

bool Append(const Entry& entry, std::string& error, const std::string& path) {
    if (path.empty()) {
        error = "no state directory for the audit trail";
        return false;
    }
    if (!MakeParents(path, error))
        return false;
    const std::string line =
        ToJson(entry).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    FileDescriptor file(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (file.get() < 0) {
        error = SystemError("cannot open " + path);
        return false;
    }
    // The lock keeps a line whole even if the kernel cuts a write short (a full disk, a signal).
    if (flock(file.get(), LOCK_EX) != 0) {
        error = SystemError("cannot lock " + path);
        return false;
    }
    const bool written = WriteAll(file.get(), line) && fdatasync(file.get()) == 0;
    if (!written)
        error = SystemError("cannot write " + path);
    flock(file.get(), LOCK_UN);
    return written;
}

std::optional<Trail> ReadTrail(std::optional<int64_t> since, std::string& error, const std::string& path) {
    Trail trail;
    std::ifstream in(path);
    if (!in) {
        if (errno == ENOENT)
            return trail;
        error = SystemError("cannot read " + path);
        return std::nullopt;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::optional<Entry> entry =
            FromJson(nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false));
        if (!entry) {
            ++trail.unreadable;
            continue;
        }
        if (!since || entry->time >= *since)
            trail.entries.push_back(std::move(*entry));
    }
    return trail;
}

} // namespace audit
