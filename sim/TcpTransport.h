// The printer's raw TCP port: a listener bound to the given address (port 0 picks a free one) that
// hands out one connection at a time, and can stop listening while the printer restarts.
#pragma once

#include "sim/Transport.h"

#include <memory>
#include <stdexcept>

namespace sim {

class TransportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "A.B.C.D:PORT" into its parts; throws TransportError for anything else.
void SplitAddress(const std::string& text, std::string& host, uint16_t& port, bool portOptional,
                  uint16_t defaultPort);

class TcpListener {
public:
    // Binds and listens; throws TransportError.
    TcpListener(const std::string& host, uint16_t port);
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    [[nodiscard]] int Fd() const { return m_fd; }
    [[nodiscard]] uint16_t Port() const { return m_port; }
    [[nodiscard]] const std::string& Host() const { return m_host; }
    [[nodiscard]] bool IsListening() const { return m_fd >= 0; }

    // The next waiting host, or null.
    [[nodiscard]] std::unique_ptr<Link> Accept();
    // Not listening: connections are refused, as by a printer that restarts.
    void Stop();
    // Listening again on the same port; false (and logged) when the port is taken meanwhile.
    [[nodiscard]] bool Restart();

private:
    void Bind();
    std::string m_host;
    uint16_t m_port = 0;
    int m_fd = -1;
};

} // namespace sim
