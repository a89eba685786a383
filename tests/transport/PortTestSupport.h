// Helpers of the Ethernet and serial port tests: the port log captured into a file, a TCP server that
// the test drives by hand, and byte traffic on descriptors.
#pragma once

#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"
#include "transport/UniqueFd.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class ComPort;

// Turns the log on into a private file for the lifetime of the object.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string Text() const;
    // How many lines "[where]text" were logged.
    size_t Count(const std::string& where, const std::string& text) const;
    bool Has(const std::string& where, const std::string& text) const { return Count(where, text) > 0; }

private:
    TempDir m_dir;
};

// A listening TCP socket with an ephemeral port.
class LoopbackServer {
public:
    explicit LoopbackServer(const char* address = "127.0.0.1");

    uint16_t Port() const { return m_port; }
    int ListenFd() const { return m_listen.Get(); }
    // The next connection, or an invalid descriptor when none arrives within 5 s.
    UniqueFd Accept() const;

private:
    UniqueFd m_listen;
    uint16_t m_port = 0;
};

// A socket of `type` bound to host:port (port 0: an ephemeral one), and the port it got; the socket is
// invalid when the bind failed.
std::pair<UniqueFd, uint16_t> BoundSocket(int type, uint16_t port = 0, const char* host = "0.0.0.0");

// One Write or Read of a port: {bytes written, or those read; the error it reported}.
using Written = std::pair<unsigned, unsigned>;
using Received = std::pair<std::string, unsigned>;
Written WriteOnce(ComPort& port, const std::vector<unsigned char>& data);
Received ReadOnce(ComPort& port, size_t size = 64);

// ReadAll, given ten minutes, on a port whose device is gone: it must end after one read, logged as
// "[<read>]Begin".
void ExpectReadAllEndsAtOnce(ComPort& port, const LogCapture& log, const std::string& read);

bool WaitReadable(int fd, int timeoutMs);
// Reads until `count` bytes arrived, the peer closed or timeoutMs passed without data.
std::vector<unsigned char> ReadBytes(int fd, size_t count, int timeoutMs = 5000);
bool SendAll(int fd, const std::vector<unsigned char>& data);
// Closes with an RST instead of an orderly close: the other side sees a reset connection.
void AbortConnection(UniqueFd& peer);
std::vector<unsigned char> Bytes(const std::string& text);
// A recognisable pattern, so that lost, doubled or reordered bytes show.
std::vector<unsigned char> Pattern(size_t size);
