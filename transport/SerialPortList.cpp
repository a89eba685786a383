// The serial device listing from the sysfs tty tree and the driver lookup of one device path.
#include "transport/ComPortRs232.h"

#include "base/Log.h"
#include "transport/UniqueFd.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string root) {
    if (root.empty() || root.back() != '/')
        root += '/';
    return root;
}

// The last non-empty component of a link target, e.g. "../../bus/platform/drivers/serial8250".
std::string LastComponent(const fs::path& target) {
    std::string text = target.string();
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    const size_t slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

// The driver of one tty entry, empty when its "device" is not a link or has no driver.
std::string DriverOf(const std::string& ttyDir) {
    std::error_code ec;
    if (!fs::is_symlink(ttyDir + "/device", ec))
        return {};
    const fs::path target = fs::read_symlink(ttyDir + "/device/driver", ec);
    return ec ? std::string() : LastComponent(target);
}

} // namespace

std::optional<int> ComPortRs232::QuerySerialType(const std::string& devicePath) {
    UniqueFd fd(open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid())
        return std::nullopt;
    serial_struct info{};
    if (ioctl(fd.Get(), TIOCGSERIAL, &info) != 0)
        return std::nullopt;
    return info.type;
}

std::vector<std::string> ComPortRs232::getComList(std::string& error, const std::string& sysfsRoot,
                                                  const std::string& devRoot, const SerialTypeQuery& query) {
    Log::WriteLog("getComList", "Begin");
    error.clear();
    const std::string root = WithSlash(sysfsRoot);
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec) {
        error = "Error in scandir";
        Log::WriteLogP("getComList", "Error in scandir (%s)", ec.message().c_str());
        Log::WriteLog("getComList", "End");
        return {};
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> direct;
    std::vector<std::string> candidates;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        const std::string driver = DriverOf(root + *name);
        if (driver.empty())
            continue;
        (driver == "serial8250" ? candidates : direct).push_back(WithSlash(devRoot) + *name);
    }
    // A built-in UART driver registers lines that may have no hardware behind them.
    for (const std::string& candidate : candidates) {
        const std::optional<int> type = query ? query(candidate) : std::nullopt;
        if (type && *type != 0)
            direct.push_back(candidate);
        else
            Log::WriteLogP("getComList", "Skip %s: no UART behind it", candidate.c_str());
    }
    Log::WriteLog("getComList", "End");
    return direct;
}

bool ComPortRs232::GetDriverName(const char* path, std::string& driver, const std::string& sysfsRoot) {
    Log::WriteLog("GetDriverName", "Begin");
    driver.clear();
    const std::string devicePath = path ? path : "";
    const std::string name = devicePath.substr(devicePath.rfind('/') + 1);
    Log::WriteLogP("GetDriverName", "Dev name = %s", name.c_str());
    std::error_code ec;
    const fs::path real =
        name.empty() ? fs::path() : fs::canonical(WithSlash(sysfsRoot) + name + "/device/driver", ec);
    const bool found = !name.empty() && !ec;
    if (found) {
        Log::WriteLogP("GetDriverName", "Dev Real Path = %s", real.c_str());
        driver = LastComponent(real);
        std::transform(driver.begin(), driver.end(), driver.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        Log::WriteLogP("GetDriverName", "Driver name = %s", driver.c_str());
    }
    Log::WriteLog("GetDriverName", "End");
    return found;
}
