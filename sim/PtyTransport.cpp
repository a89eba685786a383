// Pseudo-terminal serial line; see PtyTransport.h.
#include "sim/PtyTransport.h"

#include "base/Log.h"
#include "sim/TcpTransport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {
namespace {

struct RateName {
    speed_t speed;
    uint32_t baud;
};

constexpr RateName kRates[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
                               {B19200, 19200},   {B38400, 38400},   {B57600, 57600},  {B115200, 115200},
                               {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};

} // namespace

PtyLink::PtyLink(const std::string& linkPath, uint32_t baud) : m_linkPath(linkPath), m_baud(baud) {
    Log::WriteLog("PtyLink", "Begin");
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        const std::string why = std::strerror(errno);
        if (m_master >= 0)
            ::close(m_master);
        throw TransportError("pty: " + why);
    }
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0 ||
        (m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
        ::close(m_master);
        throw TransportError(std::string("pty slave: ") + std::strerror(errno));
    }
    m_slaveName = name;
    // Raw line at 9600 until the host sets its own settings, as a freshly opened serial port.
    termios tio{};
    (void)::tcgetattr(m_slave, &tio);
    ::cfmakeraw(&tio);
    (void)::cfsetispeed(&tio, B9600);
    (void)::cfsetospeed(&tio, B9600);
    (void)::tcsetattr(m_slave, TCSANOW, &tio);
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        ::close(m_slave);
        ::close(m_master);
        throw TransportError("pty: " + linkPath + " exists and is not a symlink");
    }
    (void)::unlink(linkPath.c_str());
    if (::symlink(name, linkPath.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::close(m_slave);
        ::close(m_master);
        throw TransportError("pty: symlink " + linkPath + ": " + why);
    }
    Log::WriteLogP("PtyLink", "%s -> %s", linkPath.c_str(), name);
    Log::WriteLog("PtyLink", "End");
}

PtyLink::~PtyLink() {
    (void)::unlink(m_linkPath.c_str());
    ::close(m_slave);
    ::close(m_master);
}

long PtyLink::ReadSome(uint8_t* buffer, size_t capacity) {
    const ssize_t n = ::read(m_master, buffer, capacity);
    // The slave stays open on our side, so the line never reports a hang-up: nothing is "nothing now".
    return n > 0 ? static_cast<long>(n) : -1;
}

bool PtyLink::WriteAll(const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(m_master, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

uint32_t PtyLink::HostBaud() const {
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0)
        return 0;
    const speed_t speed = ::cfgetospeed(&tio);
    for (const auto& r : kRates)
        if (r.speed == speed)
            return r.baud;
    return 0;
}

bool PtyLink::Understands(std::string& why) {
    const uint32_t host = HostBaud();
    if (host == m_baud)
        return true;
    why = "host at " + std::to_string(host) + " baud, printer at " + std::to_string(m_baud);
    return false;
}

} // namespace sim
