// The TCP port to a printer's raw socket (9100 by default), and the UDP discovery of printers on the
// local networks. Failures leave a text in the port's error buffer and a log line; nothing throws.
#pragma once

#include "transport/ComPort.h"
#include "transport/EthDiscovery.h"
#include "transport/UniqueFd.h"

#include <string>
#include <vector>

class ComPortEth : public ComPort {
public:
    static constexpr int kDefaultTcpPort = 9100;
    static constexpr uint32_t kDefaultTimeoutMs = 500;
    static constexpr size_t kMaxHostLength = 254; // 255-byte host buffer
    static constexpr uint32_t kCloseDelayMs = 2000;
    static constexpr uint32_t kCleanRxTimeoutMs = 50;
    static constexpr uint32_t kCleanRxBudgetMs = 1000;
    static constexpr size_t kCleanRxPiece = 128;

    ComPortEth();
    ~ComPortEth() override = default;

    // Stores the target without connecting; 0 (and nothing stored) for a host above 254 characters.
    int Init(const char* host, int port) override;
    int Open() override;
    int Close() override;
    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override;
    unsigned Read(unsigned char* buf, unsigned len, unsigned* error) override;
    void CleanTX() override {}
    void CleanRX() override;
    void SetWTimeout(int ms) override;
    void SetRTimeout(int ms) override;
    unsigned GetTimeoutRX() override { return m_readTimeoutMs; }
    int ReOpen() override;
    int OpenEthernet(const char* host, int port) override;

    bool IsConnected() const { return m_socket.IsValid(); }
    // The longest wait for a connection to be made, however the write timeout is set later.
    uint32_t GetConnectTimeout() const { return m_connectTimeoutMs; }
    const std::string& GetHost() const { return m_host; }
    uint32_t GetTimeoutMultiplier() const { return m_timeoutMultiplier; }
    void SetTimeoutMultiplier(uint32_t multiplier) { m_timeoutMultiplier = multiplier; }

    // Discovery: appends one "%s:%d(%s)\n" line per printer that answered to `listing`, kept within
    // `capacity` bytes (terminator included). True when at least one printer answered.
    [[nodiscard]] static bool GetDeviceList(std::string& listing, std::string& error,
                                            size_t capacity = EthDiscovery::kListingSize);
    // The discovery listing as entries "address:9100(name)"; empty on failure with `error` set.
    [[nodiscard]] static std::vector<std::string> EnumEthDevices(std::string& error);

private:
    [[nodiscard]] bool OpenPort();
    [[nodiscard]] bool ConnectSocket(int sock);
    [[nodiscard]] bool WaitConnected(int sock);
    [[nodiscard]] bool SetBlocking(int sock, bool blocking);
    void ApplyTimeout(int option, uint32_t ms);
    // Logs the failure under "OpenPort", keeps its text and drops the half-made connection.
    bool FailOpen(const char* text, int errnum);
    [[nodiscard]] bool EnsureConnected(const char* where, unsigned& error);
    void DropConnection();
    // Logs a socket error and marks the printer lost when the error means the connection is dead.
    void NoteSocketError(const char* where, int errnum);
    void FailRead(unsigned& error);

    UniqueFd m_socket;
    int32_t m_tcpPort = kDefaultTcpPort;
    std::string m_host;
    uint32_t m_timeoutMultiplier = 1;
    // Bound of every connect while the write timeout is 0: the write timeout in force at the last
    // Open (the frame layer opens before it sets 0), else the 500 ms default; like the write timeout
    // it bounds, without the multiplier.
    uint32_t m_connectTimeoutMs = kDefaultTimeoutMs;
};
