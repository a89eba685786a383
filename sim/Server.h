// The simulator's event loop: waits on the TCP listener, the one connected host, the pty line, the
// emulated USB printer and the discovery socket; cuts incoming bytes into requests, lets the Session decide,
// delivers the answers with their delivery faults, writes the transcript, and plays the printer's restart.
#pragma once

#include "sim/BootDevice.h"
#include "sim/PtyTransport.h"
#include "sim/Recogniser.h"
#include "sim/Session.h"
#include "sim/TcpTransport.h"
#include "sim/Transcript.h"
#include "sim/UdpResponder.h"
#include "sim/UsbTransport.h"

#include <atomic>
#include <memory>
#include <poll.h>
#include <vector>

namespace sim {

class Server {
public:
    Server(PrinterState& state, FaultInjector& faults, Transcript& transcript);

    void AddTcp(std::unique_ptr<TcpListener> listener) { m_listener = std::move(listener); }
    void AddPty(std::unique_ptr<PtyLink> pty) { m_pty = std::move(pty); }
    void AddUdp(std::unique_ptr<UdpResponder> udp) { m_udp = std::move(udp); }
    void AddUsb(std::unique_ptr<UsbLink> usb) { m_usb = std::move(usb); }
    // Run also ends as soon as this descriptor becomes readable (the host program has ended).
    void StopWhenReadable(int fd) { m_stopFd = fd; }

    // Serves until `stop` becomes true (checked at least every 100 ms).
    void Run(const std::atomic<bool>& stop);

    // Feeds bytes that arrived on a link and answers them; false when the link must be dropped.
    // Public so the loop's behaviour can be driven without sockets.
    [[nodiscard]] bool Serve(Link& link, Recogniser& recogniser, const uint8_t* data, size_t length);
    [[nodiscard]] bool Unreachable() const;

private:
    enum class Slot { Listener, Tcp, Pty, Udp, Usb, Stop };

    // The descriptors to wait on now, each with what it stands for.
    void Waits(std::vector<pollfd>& fds, std::vector<Slot>& slots) const;
    [[nodiscard]] int PollTimeoutMs() const;
    // Serves what became ready; false when the loop must end.
    [[nodiscard]] bool Dispatch(Slot slot);
    [[nodiscard]] bool Deliver(Link& link, const Outcome& outcome);
    void BeginRestart(const Outcome& outcome);
    // The USB printer leaves the bus once its host has taken the last answer (or closed the device, or
    // a moment has passed), so that a result byte sent before the restart reaches the host.
    void UnplugUsbIfDue();
    void EndRestartIfDue();
    void ServeTcpInput();
    void ServePtyInput();
    void ServeUsbInput();
    // Bytes for the boot loader on the bus in the printer's place.
    void ServeBoot(const uint8_t* data, size_t length);
    // The boot loader's arrival after the printer left, and its departure once it is done.
    [[nodiscard]] bool BootStepDue();
    void BootDeviceGone();
    void FinishUsbHost();
    void DropTcpIfRequested();

    PrinterState& m_state;
    FaultInjector& m_faults;
    Session m_session;
    Transcript& m_transcript;
    std::unique_ptr<TcpListener> m_listener;
    std::unique_ptr<Link> m_tcpLink;
    Recogniser m_tcpRecogniser;
    std::unique_ptr<PtyLink> m_pty;
    Recogniser m_ptyRecogniser;
    std::unique_ptr<UdpResponder> m_udp;
    std::unique_ptr<UsbLink> m_usb;
    Recogniser m_usbRecogniser;
    int m_stopFd = -1;
    uint64_t m_unreachableUntilMs = 0;
    bool m_restarting = false;
    bool m_neverReturn = false;
    bool m_usbUnplugPending = false;
    uint64_t m_usbUnplugByMs = 0;
    bool m_dropRequested = false;
    // A boot-loader upgrade: the loader due (m_boot), on the bus, and leaving from m_bootLeaveAtMs on.
    std::unique_ptr<BootDevice> m_boot;
    bool m_bootOnBus = false;
    bool m_bootLeaving = false;
    uint64_t m_bootLeaveAtMs = 0;
};

} // namespace sim
