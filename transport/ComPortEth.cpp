#include "transport/ComPortEth.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "transport/PortErrno.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace {

uint32_t ToMs(int ms) {
    return ms > 0 ? static_cast<uint32_t>(ms) : 0u;
}

// A multiplied timeout, saturated rather than wrapped.
uint32_t Multiply(uint32_t ms, uint32_t multiplier) {
    const uint64_t product = static_cast<uint64_t>(ms) * multiplier;
    return static_cast<uint32_t>(std::min<uint64_t>(product, std::numeric_limits<uint32_t>::max()));
}

} // namespace

ComPortEth::ComPortEth() {
    m_portType = COMM_ETHERNET;
    m_writeTimeoutMs = kDefaultTimeoutMs;
    m_readTimeoutMs = kDefaultTimeoutMs;
    m_packetSize = 1000;
}

int ComPortEth::Init(const char* host, int port) {
    Log::WriteLog("Init", "Begin");
    if (host == nullptr || strlen(host) > kMaxHostLength) {
        Log::WriteLogP("Init", "Host name refused: more than %zu characters", kMaxHostLength);
        m_host.clear();
        SetLastErrorText("Wrong hostname");
        Log::WriteLog("Init", "End");
        return 0;
    }
    m_host = host;
    m_tcpPort = port;
    Log::WriteLog("Init", "End");
    return 1;
}

int ComPortEth::Open() {
    Log::WriteLog("Open", "Begin");
    ClearLastErrorText();
    // Later connections (Write reconnects after the printer dropped the line) wait no longer than
    // this open may: by then the frame layer has set the write timeout to 0, and a printer that
    // vanished at the IP level would otherwise hold the caller for the system's connect timeout.
    if (m_writeTimeoutMs != 0)
        m_connectTimeoutMs = m_writeTimeoutMs;
    if (!OpenPort()) {
        Log::WriteLog("Open", "Open ETH Device Error");
        SetLastErrorText("Open ETH Device Error");
        Log::WriteLog("Open", "End");
        return 0;
    }
    Log::WriteLog("Open", "End");
    return 1;
}

int ComPortEth::Close() {
    Log::WriteLog("Close", "Begin");
    if (m_socket.IsValid()) {
        shutdown(m_socket.Get(), SHUT_RDWR);
        // The printer needs this pause before it accepts the next connection.
        Clock::SleepMs(kCloseDelayMs);
        m_socket.Reset();
    }
    Log::WriteLog("Close", "End");
    return 1;
}

int ComPortEth::ReOpen() {
    Log::WriteLog("ReOpen", "Begin");
    const std::string host = m_host;
    const int port = m_tcpPort;
    Close();
    m_host = host;
    m_tcpPort = port;
    const int result = Open();
    Log::WriteLog("ReOpen", "End");
    return result;
}

int ComPortEth::OpenEthernet(const char* host, int port) {
    Log::WriteLog("OpenEthernet", "Begin");
    Log::WriteLogP("OpenEthernet", "Opening device IP: %s Port: %d ...", host ? host : "", port);
    m_virtualPort = false;
    Close();
    const bool opened = Init(host, port) != 0 && Open() != 0;
    Log::WriteLog("OpenEthernet", opened ? "Succesfully Open Device!" : "Open Device ERROR!!!");
    Log::WriteLog("OpenEthernet", "End");
    return opened ? 0 : -1;
}

bool ComPortEth::FailOpen(const char* text, int errnum) {
    Log::WriteLog("OpenPort", text);
    LogErrno("OpenPort", errnum);
    SetLastErrorText("%s", text);
    Close();
    return false;
}

bool ComPortEth::OpenPort() {
    ClearLastErrorText();
    if (m_socket.IsValid())
        return true;
    m_socket.Reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!m_socket.IsValid())
        return FailOpen("Error to create new socket", errno);
    if (!SetBlocking(m_socket.Get(), false) || !ConnectSocket(m_socket.Get()) ||
        !SetBlocking(m_socket.Get(), true))
        return false;
    ApplyTimeout(SO_SNDTIMEO, m_writeTimeoutMs);
    ApplyTimeout(SO_RCVTIMEO, m_readTimeoutMs);
    SetDeviceLost(false);
    // Commands go out as several small writes (CAN, then the request) and wait for the answer: with
    // Nagle's algorithm the request would sit until the printer's delayed ACK, some 40 ms each time.
    const int noDelay = 1;
    if (setsockopt(m_socket.Get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay) != 0)
        LogErrno("OpenPort", errno);
    return true;
}

bool ComPortEth::SetBlocking(int sock, bool blocking) {
    const int flags = fcntl(sock, F_GETFL, 0);
    if (flags < 0)
        return FailOpen("Error fcntl(..., F_GETFL)", errno);
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    if (fcntl(sock, F_SETFL, wanted) < 0)
        return FailOpen("Error fcntl(..., F_SETFL)", errno);
    return true;
}

bool ComPortEth::ConnectSocket(int sock) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (m_host.empty() || getaddrinfo(m_host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return FailOpen("Wrong hostname", 0);
    sockaddr_in target = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    freeaddrinfo(found);
    // Cut to 16 bits, a port out of range would silently reach some other service.
    if (m_tcpPort <= 0 || m_tcpPort > 65535)
        return FailOpen("Error to connect socket", EINVAL);
    target.sin_port = htons(static_cast<uint16_t>(m_tcpPort));
    if (connect(sock, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0)
        return true;
    if (errno != EINPROGRESS)
        return FailOpen("Error to connect socket", errno);
    return WaitConnected(sock);
}

bool ComPortEth::WaitConnected(int sock) {
    // A write timeout of 0 means "no limit" for sends only: a connection is never waited for longer
    // than the timeout in force when the port was opened.
    const uint32_t limitMs = m_writeTimeoutMs != 0 ? m_writeTimeoutMs : m_connectTimeoutMs;
    const int waitMs =
        static_cast<int>(std::min<uint32_t>(Clock::ScaledMs(limitMs), std::numeric_limits<int>::max()));
    pollfd entry{sock, POLLOUT, 0};
    int ready = 0;
    do
        ready = poll(&entry, 1, waitMs);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return FailOpen("Timeout or error()", ready < 0 ? errno : ETIMEDOUT);
    int pending = 0;
    socklen_t size = sizeof pending;
    if (getsockopt(sock, SOL_SOCKET, SO_ERROR, &pending, &size) != 0)
        pending = errno;
    if (pending != 0)
        return FailOpen("Error in connection()", pending);
    return true;
}

void ComPortEth::ApplyTimeout(int option, uint32_t ms) {
    if (!m_socket.IsValid())
        return;
    uint32_t effective = Clock::ScaledMs(Multiply(ms, m_timeoutMultiplier));
    // A send without limit would block for good once a vanished printer's buffers are full.
    if (option == SO_SNDTIMEO && ms == 0)
        effective = Clock::ScaledMs(kSendStallLimitMs);
    timeval value{};
    value.tv_sec = effective / 1000;
    value.tv_usec = static_cast<suseconds_t>(effective % 1000) * 1000;
    if (setsockopt(m_socket.Get(), SOL_SOCKET, option, &value, sizeof value) != 0)
        LogErrno("SetTimeout", errno);
}

void ComPortEth::SetWTimeout(int ms) {
    m_writeTimeoutMs = ToMs(ms);
    ApplyTimeout(SO_SNDTIMEO, m_writeTimeoutMs);
}

void ComPortEth::SetRTimeout(int ms) {
    m_readTimeoutMs = ToMs(ms);
    ApplyTimeout(SO_RCVTIMEO, m_readTimeoutMs);
}

bool ComPortEth::EnsureConnected(const char* where, unsigned& error) {
    if (OpenPort())
        return true;
    Log::WriteLog(where, "Open Error (Device Error)");
    SetLastErrorText("Open Error (Device Error)");
    error = 1;
    Close();
    return false;
}

void ComPortEth::DropConnection() {
    // The next Write connects again.
    Close();
}

namespace {
// Errors after which the connection carries nothing more: the printer reset it, went away or is
// unreachable.
bool MeansConnectionDead(int errnum) {
    switch (errnum) {
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETUNREACH:
    case ENETDOWN:
        return true;
    default:
        return false;
    }
}
} // namespace

void ComPortEth::NoteSocketError(const char* where, int errnum) {
    LogErrno(where, errnum);
    if (MeansConnectionDead(errnum))
        SetDeviceLost(true);
}

void ComPortEth::FailRead(unsigned& error) {
    SetLastErrorText("EthRead Error");
    error = 1;
    Log::WriteLog("EthRead", "End");
}

unsigned ComPortEth::Write(const unsigned char* buf, unsigned len, unsigned* error) {
    Log::WriteLog("EthWrite", "Begin");
    unsigned ignored = 0;
    unsigned& err = error ? *error : ignored;
    err = 0;
    if (buf == nullptr)
        len = 0;
    const unsigned packet = m_packetSize > 0 ? m_packetSize : len;
    unsigned total = 0;
    // A connection the printer closed or reset is replaced by a fresh one.
    if (IsDeviceLost() && len > 0)
        DropConnection();
    while (total < len) {
        if (!EnsureConnected("EthWrite", err)) {
            Log::WriteLog("EthWrite", "End");
            return 0;
        }
        const unsigned chunk = std::min(packet, len - total);
        const ssize_t sent = send(m_socket.Get(), buf + total, chunk, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0) {
            const int cause = sent < 0 ? errno : EIO;
            Log::WriteLogP("EthWrite", "Send failed after %u of %u bytes", total, len);
            NoteSocketError("EthWrite", cause);
            SetLastErrorText("EthWrite Error");
            err = 1;
            // A timed-out send leaves a live connection; anything else means it is broken.
            if (cause != EAGAIN && cause != EWOULDBLOCK)
                DropConnection();
            Log::WriteLog("EthWrite", "End");
            return 0;
        }
        total += static_cast<unsigned>(sent);
    }
    Log::WriteLog("EthWrite", "End");
    return total;
}

unsigned ComPortEth::Read(unsigned char* buf, unsigned len, unsigned* error) {
    Log::WriteLog("EthRead", "Begin");
    unsigned ignored = 0;
    unsigned& err = error ? *error : ignored;
    err = 0;
    if (buf == nullptr || len == 0) {
        Log::WriteLog("EthRead", "End");
        return 0;
    }
    // Nothing more arrives on a connection the printer closed or reset, and a new connection made
    // here would start in the middle of an answer: reads fail at once until Write or Open connects.
    if (IsDeviceLost()) {
        FailRead(err);
        return 0;
    }
    if (!EnsureConnected("EthRead", err)) {
        Log::WriteLog("EthRead", "End");
        return 0;
    }
    ssize_t got = 0;
    do
        got = recv(m_socket.Get(), buf, len, 0);
    while (got < 0 && errno == EINTR);
    if (got == 0) {
        Log::WriteLog("EthRead", "Connection closed by the printer");
        SetDeviceLost(true);
    } else if (got < 0) {
        NoteSocketError("EthRead", errno);
    }
    if (got <= 0) {
        FailRead(err);
        return 0;
    }
    Log::WriteLog("EthRead", "End");
    return static_cast<unsigned>(got);
}

void ComPortEth::CleanRX() {
    Log::WriteLog("CleanRX", "Begin");
    if (m_socket.IsValid()) {
        const uint32_t saved = m_readTimeoutMs;
        SetRTimeout(kCleanRxTimeoutMs);
        unsigned char piece[kCleanRxPiece];
        // Bounded, so that a printer that never stops sending cannot hold the caller here.
        const uint64_t start = Clock::MonotonicMs();
        const uint64_t budget = Clock::ScaledMs(kCleanRxBudgetMs);
        while (Clock::MonotonicMs() - start < budget) {
            const ssize_t got = recv(m_socket.Get(), piece, sizeof piece, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
        }
        SetRTimeout(static_cast<int>(saved));
    }
    Log::WriteLog("CleanRX", "End");
}

bool ComPortEth::GetDeviceList(std::string& listing, std::string& error, size_t capacity) {
    Log::WriteLog("GetDeviceList", "Begin");
    EthDiscovery::DeviceTable table;
    const bool found = EthDiscovery::Discover(table, error);
    if (found)
        table.AppendListing(listing, capacity);
    Log::WriteLogP("GetDeviceList", "%zu printers answered", table.Devices().size());
    Log::WriteLog("GetDeviceList", "End");
    return found;
}

std::vector<std::string> ComPortEth::EnumEthDevices(std::string& error) {
    Log::WriteLog("EnumEthDevices", "Begin");
    error.clear();
    std::string listing;
    std::vector<std::string> devices;
    if (!GetDeviceList(listing, error) && !error.empty())
        Log::WriteLogP("EnumEthDevices", "Error in enumerating eth devices: %s", error.c_str());
    if (error.empty()) {
        size_t begin = 0;
        for (size_t end = listing.find('\n'); end != std::string::npos; end = listing.find('\n', begin)) {
            devices.push_back(listing.substr(begin, end - begin));
            Log::WriteLogP("EnumEthDevices", "Device %zu : %s", devices.size(), devices.back().c_str());
            begin = end + 1;
        }
    }
    Log::WriteLog("EnumEthDevices", "End");
    return devices;
}
