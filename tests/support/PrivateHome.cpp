#include "tests/support/PrivateHome.h"

#include "base/HomeDir.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string PrivateHomeUnavailableReason() {
    if (geteuid() != 0)
        return "needs root for a private mount namespace";
    if (getHomeDir().empty())
        return "the user has no home directory";
    if (access(kUnshareProgram, X_OK) != 0)
        return std::string("needs ") + kUnshareProgram;
    return {};
}

bool MountPrivateHome(const std::string& directory, std::string& error) {
    const std::string home = getHomeDir();
    if (unshare(CLONE_NEWNS) != 0) {
        error = std::string("unshare: ") + strerror(errno);
        return false;
    }
    // Nothing mounted here may reach the machine's own namespace.
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(directory.c_str(), home.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        error = std::string("mount: ") + strerror(errno);
        return false;
    }
    return true;
}

std::vector<std::string> InPrivateHome(const std::string& directory, const std::string& program,
                                       const std::vector<std::string>& args) {
    std::vector<std::string> command = {"--mount",    "--propagation",
                                        "private",    "sh",
                                        "-c",         "mount --bind \"$1\" \"$2\" && shift 2 && exec \"$@\"",
                                        "sh",         directory,
                                        getHomeDir(), program};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}
