// Discovery of printers on the local IPv4 networks: the UDP query and answer format, the table of
// printers that answered, its text listing, and the broadcast exchange itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One printer that answered the discovery query.
struct ETHDeviceStruct {
    static constexpr size_t kTextLimit = 1023; // 1024-byte buffers, terminator included

    std::string address; // dotted IPv4 address the answer came from
    int32_t port = 9100;
    std::string name;
};

namespace EthDiscovery {

inline constexpr const char* kQuery = "<VM><STSMOQ><NAME>";
inline constexpr const char* kAnswerTag = "<VM><STSMOA><NAME>";
inline constexpr uint16_t kLocalPort = 15001;
inline constexpr uint16_t kPrinterPort = 15000;
inline constexpr int32_t kPrinterTcpPort = 9100;
inline constexpr size_t kMaxDevices = 128;
inline constexpr size_t kDatagramSize = 1024;
inline constexpr size_t kListingSize = 4096; // the listing buffer, terminator included
inline constexpr uint32_t kDurationMs = 501;
inline constexpr uint32_t kReceiveWaitMs = 10;

// The printer name an answer datagram carries, or nullopt when the datagram is not an answer. The
// datagram is text: it ends at its first NUL byte. Control characters in the name become spaces so
// that a name can never split a listing line.
[[nodiscard]] std::optional<std::string> ParseAnswer(const unsigned char* data, size_t len);

// The printers found by one discovery, in the order their first answers arrived.
class DeviceTable {
public:
    // Records one received datagram. Ignored (false): an address already present, a datagram that is
    // not an answer, or a full table.
    bool Record(const std::string& address, const unsigned char* data, size_t len);

    const std::vector<ETHDeviceStruct>& Devices() const { return m_devices; }
    bool Empty() const { return m_devices.empty(); }

    // Appends one "%s:%d(%s)\n" line per printer while the whole line still fits in a buffer of
    // `capacity` bytes (terminator included); a listing is only ever cut at a whole line.
    void AppendListing(std::string& listing, size_t capacity) const;

private:
    std::vector<ETHDeviceStruct> m_devices;
};

// Broadcasts the query and collects answers for about half a second. True when a printer answered;
// false with `error` set when the discovery socket cannot be set up.
[[nodiscard]] bool Discover(DeviceTable& table, std::string& error);

} // namespace EthDiscovery
