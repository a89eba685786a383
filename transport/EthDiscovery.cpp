#include "transport/EthDiscovery.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "transport/PortErrno.h"
#include "transport/UniqueFd.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace EthDiscovery {

std::optional<std::string> ParseAnswer(const unsigned char* data, size_t len) {
    if (data == nullptr)
        return std::nullopt;
    const size_t textLen = std::min(strnlen(reinterpret_cast<const char*>(data), len), kDatagramSize);
    const std::string_view text(reinterpret_cast<const char*>(data), textLen);
    const size_t tag = text.find(kAnswerTag);
    if (tag == std::string_view::npos)
        return std::nullopt;
    // One character after the tag opens the name and the last one of the datagram closes it.
    const size_t begin = tag + strlen(kAnswerTag) + 1;
    const size_t end = textLen - 1;
    std::string name;
    if (begin < end)
        name.assign(text.substr(begin, std::min(end - begin, ETHDeviceStruct::kTextLimit)));
    std::replace_if(
        name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; },
        ' ');
    return name;
}

bool DeviceTable::Record(const std::string& address, const unsigned char* data, size_t len) {
    const bool known = std::any_of(m_devices.begin(), m_devices.end(),
                                   [&](const ETHDeviceStruct& device) { return device.address == address; });
    if (known || m_devices.size() >= kMaxDevices)
        return false;
    std::optional<std::string> name = ParseAnswer(data, len);
    if (!name)
        return false;
    m_devices.push_back({address.substr(0, ETHDeviceStruct::kTextLimit), kPrinterTcpPort, std::move(*name)});
    return true;
}

void DeviceTable::AppendListing(std::string& listing, size_t capacity) const {
    for (const ETHDeviceStruct& device : m_devices) {
        std::string line = device.address + ":" + std::to_string(device.port) + "(" + device.name + ")\n";
        if (listing.size() + line.size() + 1 > capacity)
            return;
        listing += line;
    }
}

namespace {

void LogFailure(const char* what, int errnum) {
    Log::WriteLog("GetDeviceList", what);
    LogErrno("GetDeviceList", errnum);
}

// Broadcast addresses of the IPv4 interfaces other than loopback.
std::vector<in_addr> InterfaceBroadcasts() {
    std::vector<in_addr> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        LogFailure("getifaddrs failed", errno);
        return result;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        if ((entry->ifa_flags & IFF_LOOPBACK) || !(entry->ifa_flags & IFF_BROADCAST) ||
            entry->ifa_broadaddr == nullptr)
            continue;
        result.push_back(reinterpret_cast<const sockaddr_in*>(entry->ifa_broadaddr)->sin_addr);
    }
    freeifaddrs(list);
    return result;
}

void SendQuery(int sock, in_addr destination) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPrinterPort);
    to.sin_addr = destination;
    const size_t queryLen = strlen(kQuery);
    if (sendto(sock, kQuery, queryLen, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
        std::array<char, INET_ADDRSTRLEN> text{};
        inet_ntop(AF_INET, &destination, text.data(), text.size());
        const int cause = errno;
        Log::WriteLogP("GetDeviceList", "Query to %s not sent", text.data());
        LogErrno("GetDeviceList", cause);
    }
}

bool WaitReadable(int sock, uint32_t ms) {
    pollfd entry{sock, POLLIN, 0};
    int ready = 0;
    do
        ready = poll(&entry, 1, static_cast<int>(ms));
    while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & POLLIN);
}

void ReceiveAnswer(int sock, DeviceTable& table) {
    std::array<unsigned char, kDatagramSize> datagram{};
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    const ssize_t got = recvfrom(sock, datagram.data(), datagram.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (got < 0 || from.sin_family != AF_INET)
        return;
    std::array<char, INET_ADDRSTRLEN> address{};
    inet_ntop(AF_INET, &from.sin_addr, address.data(), address.size());
    table.Record(address.data(), datagram.data(), static_cast<size_t>(got));
}

[[nodiscard]] UniqueFd OpenDiscoverySocket(std::string& error) {
    UniqueFd sock(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock.IsValid()) {
        LogFailure("socket error", errno);
        error = "socket error";
        return sock;
    }
    const int on = 1;
    if (setsockopt(sock.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        LogFailure("SO_BROADCAST refused", errno);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kLocalPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(sock.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        LogFailure("bind socket error", errno);
        error = "bind socket error";
        sock.Reset();
    }
    return sock;
}

} // namespace

bool Discover(DeviceTable& table, std::string& error) {
    UniqueFd sock = OpenDiscoverySocket(error);
    if (!sock.IsValid())
        return false;
    const std::vector<in_addr> broadcasts = InterfaceBroadcasts();
    const uint64_t start = Clock::MonotonicMs();
    const uint64_t duration = Clock::ScaledMs(kDurationMs);
    const auto running = [&] { return Clock::MonotonicMs() - start < duration; };
    do {
        SendQuery(sock.Get(), in_addr{htonl(INADDR_BROADCAST)});
        for (in_addr broadcast : broadcasts)
            SendQuery(sock.Get(), broadcast);
        // The deadline also bounds this loop, so a flood of datagrams cannot hold discovery forever.
        while (running() && WaitReadable(sock.Get(), Clock::ScaledMs(kReceiveWaitMs)))
            ReceiveAnswer(sock.Get(), table);
    } while (running());
    return !table.Empty();
}

} // namespace EthDiscovery
