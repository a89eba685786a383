// The simulator's event loop: waits on the TCP listener, the one connected host, the pty line and the
// discovery socket; cuts incoming bytes into requests, lets the Session decide, delivers the answers
// with their delivery faults, writes the transcript, and plays the printer's restart.
#pragma once

#include "sim/PtyTransport.h"
#include "sim/Recogniser.h"
#include "sim/Session.h"
#include "sim/TcpTransport.h"
#include "sim/Transcript.h"
#include "sim/UdpResponder.h"

#include <atomic>
#include <memory>

namespace sim {

class Server {
public:
    Server(PrinterState& state, FaultInjector& faults, Transcript& transcript);

    void AddTcp(std::unique_ptr<TcpListener> listener) { m_listener = std::move(listener); }
    void AddPty(std::unique_ptr<PtyLink> pty) { m_pty = std::move(pty); }
    void AddUdp(std::unique_ptr<UdpResponder> udp) { m_udp = std::move(udp); }

    // Serves until `stop` becomes true (checked at least every 100 ms).
    void Run(const std::atomic<bool>& stop);

    // Feeds bytes that arrived on a link and answers them; false when the link must be dropped.
    // Public so the loop's behaviour can be driven without sockets.
    [[nodiscard]] bool Serve(Link& link, Recogniser& recogniser, const uint8_t* data, size_t length);
    [[nodiscard]] bool Unreachable() const;

private:
    [[nodiscard]] bool Deliver(Link& link, const Outcome& outcome);
    void BeginRestart();
    void EndRestartIfDue();
    void ServeTcpInput();
    void ServePtyInput();

    PrinterState& m_state;
    Session m_session;
    Transcript& m_transcript;
    std::unique_ptr<TcpListener> m_listener;
    std::unique_ptr<Link> m_tcpLink;
    Recogniser m_tcpRecogniser;
    std::unique_ptr<PtyLink> m_pty;
    Recogniser m_ptyRecogniser;
    std::unique_ptr<UdpResponder> m_udp;
    uint64_t m_unreachableUntilMs = 0;
    bool m_restarting = false;
    bool m_dropRequested = false;
};

} // namespace sim
