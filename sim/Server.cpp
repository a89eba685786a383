// The event loop; see Server.h.
#include "sim/Server.h"

#include "base/Clock.h"
#include "base/Log.h"

#include <algorithm>
#include <poll.h>
#include <vector>

namespace sim {

Server::Server(PrinterState& state, FaultInjector& faults, Transcript& transcript)
    : m_state(state), m_faults(faults), m_session(state, faults), m_transcript(transcript) {}

bool Server::Unreachable() const {
    return m_restarting;
}

bool Server::Deliver(Link& link, const Outcome& outcome) {
    const Delivery& d = outcome.delivery;
    Clock::SleepMs(d.delayMs);
    const size_t total =
        d.dropAfter ? std::min<size_t>(*d.dropAfter, outcome.answer.size()) : outcome.answer.size();
    const size_t piece = d.dripBytes == 0 ? total : d.dripBytes;
    for (size_t sent = 0; sent < total;) {
        const size_t n = std::min(piece, total - sent);
        if (!link.WriteAll(outcome.answer.data() + sent, n))
            return false;
        sent += n;
        if (sent < total)
            Clock::SleepMs(d.dripIntervalMs);
    }
    return !d.dropAfter || !link.CanDrop();
}

bool Server::Serve(Link& link, Recogniser& recogniser, const uint8_t* data, size_t length) {
    std::string why;
    if (m_restarting || !link.Understands(why)) {
        // A restarting printer, or one on another baud rate, makes nothing of the bytes.
        recogniser.Clear();
        Request ignored;
        ignored.raw.assign(data, data + length);
        Outcome outcome;
        outcome.name = "IGNORED";
        outcome.notes.push_back(m_restarting ? "printer restarting" : why);
        m_transcript.Exchange(link.Via(), ignored, outcome);
        return true;
    }
    std::vector<Request> requests;
    recogniser.Feed(data, length, requests);
    for (const Request& request : requests) {
        Outcome outcome = m_session.Handle(request);
        if (outcome.answered && outcome.silentOnUsb && link.Via() == "usb") {
            outcome.answered = false;
            outcome.notes.push_back("no programming answer on USB");
        }
        // Recorded before the answer leaves: a host that ends on this answer may be read back at once.
        m_transcript.Exchange(link.Via(), request, outcome);
        bool keep = true;
        if (outcome.answered)
            keep = Deliver(link, outcome);
        if (outcome.restart) {
            BeginRestart(outcome);
            return false;
        }
        if (!keep)
            return false;
    }
    return true;
}

void Server::BeginRestart(const Outcome& outcome) {
    Log::WriteLog("Server::BeginRestart", "Printer restarts");
    m_restarting = true;
    m_neverReturn = outcome.neverReturn;
    m_unreachableUntilMs = Clock::MonotonicMs() + Clock::ScaledMs(outcome.restartMs);
    m_transcript.Event("printer", "restart",
                       outcome.neverReturn ? std::string("never returns")
                                           : std::to_string(outcome.restartMs) + " ms unreachable");
    if (m_listener)
        m_listener->Stop();
    m_dropRequested = true;
    m_ptyRecogniser.Clear();
    // A printer restarting into its boot loader leaves the bus; the loader enumerates in its place.
    if (!outcome.bootLoader.empty() && m_usb)
        m_boot = MakeBootDevice(outcome.bootLoader, m_state, m_faults);
    // A USB printer that restarts leaves the bus and enumerates again at the same place.
    if (m_usb) {
        m_usbUnplugPending = true;
        // A limit for a host that keeps the device open without reading, not a wait: not scaled, so a
        // slow host under a short time scale still gets its answer.
        m_usbUnplugByMs = Clock::MonotonicMs() + 2000;
        UnplugUsbIfDue();
    }
    m_usbRecogniser.Clear();
}

void Server::UnplugUsbIfDue() {
    if (!m_usbUnplugPending)
        return;
    if (m_usb->AnswerWaiting() && m_usb->HostsOpen() > 0 && Clock::MonotonicMs() < m_usbUnplugByMs)
        return;
    m_usb->Unplug();
    m_usbUnplugPending = false;
    if (m_bootLeaving)
        BootDeviceGone();
}

// The loader left: the printer restarts into what was installed and comes back after its restart.
void Server::BootDeviceGone() {
    m_transcript.Event("usb", "boot", m_boot->Name() + " boot loader left the bus");
    m_boot.reset();
    m_bootOnBus = false;
    m_bootLeaving = false;
    const uint32_t restartMs = m_state.GetProfile().upgrade ? m_state.GetProfile().upgrade->restartMs : 0;
    m_unreachableUntilMs = Clock::MonotonicMs() + Clock::ScaledMs(restartMs);
}

bool Server::BootStepDue() {
    const uint64_t now = Clock::MonotonicMs();
    if (m_bootLeaving && !m_usbUnplugPending && now >= m_bootLeaveAtMs) {
        m_usbUnplugPending = true;
        m_usbUnplugByMs = now + 2000; // as for the printer: its last answer gets read first
        UnplugUsbIfDue();
        return true;
    }
    if (m_bootOnBus)
        return true; // the printer waits for its loader to finish
    if (!m_boot || m_neverReturn || m_usbUnplugPending || now < m_unreachableUntilMs)
        return false;
    // Set up completely before it is announced, on the port the printer left.
    m_usb->PlugBootDevice(m_boot->Identity());
    m_bootOnBus = true;
    m_usbRecogniser.Clear();
    m_transcript.Event("usb", "boot", m_boot->Name() + " boot loader on the bus");
    return true;
}

void Server::ServeBoot(const uint8_t* data, size_t length) {
    BootReply reply = m_boot->Receive(data, length);
    for (BootExchange& exchange : reply.exchanges) {
        Request request;
        request.raw = std::move(exchange.received);
        Outcome outcome;
        outcome.name = exchange.name;
        outcome.notes = std::move(exchange.notes);
        outcome.transfer = std::move(exchange.transfer);
        if (exchange.answer) {
            outcome.answered = true;
            outcome.answer = std::move(*exchange.answer);
            if (!m_usb->WriteAll(outcome.answer.data(), outcome.answer.size()))
                outcome.notes.push_back("the boot device is off the bus");
        }
        m_transcript.Exchange(m_usb->Via(), request, outcome);
    }
    if (reply.leave && !m_bootLeaving) {
        m_bootLeaving = true;
        m_bootLeaveAtMs = Clock::MonotonicMs() + Clock::ScaledMs(reply.leaveAfterMs);
    }
}

void Server::EndRestartIfDue() {
    UnplugUsbIfDue();
    if (BootStepDue())
        return;
    if (!m_restarting || m_neverReturn || m_usbUnplugPending || Clock::MonotonicMs() < m_unreachableUntilMs)
        return;
    if (m_listener && !m_listener->IsListening() && !m_listener->Restart()) {
        m_unreachableUntilMs = Clock::MonotonicMs() + 100; // the port is busy: try again shortly
        return;
    }
    if (m_usb)
        m_usb->Replug();
    m_restarting = false;
    m_transcript.Event("printer", "ready");
}

void Server::ServeTcpInput() {
    uint8_t buffer[65536];
    const long n = m_tcpLink->ReadSome(buffer, sizeof buffer);
    if (n < 0)
        return;
    bool keep = n > 0 && Serve(*m_tcpLink, m_tcpRecogniser, buffer, static_cast<size_t>(n));
    if (m_dropRequested)
        keep = false;
    if (!keep) {
        m_transcript.Event("tcp", n == 0 ? "disconnect" : "drop");
        m_tcpLink.reset();
        m_dropRequested = false;
    }
}

// A restart asked for on a line that stays (pty, USB) still hangs up on the TCP host.
void Server::DropTcpIfRequested() {
    if (m_dropRequested && m_tcpLink) {
        m_transcript.Event("tcp", "drop");
        m_tcpLink.reset();
    }
    m_dropRequested = false;
}

void Server::ServePtyInput() {
    uint8_t buffer[65536];
    const long n = m_pty->ReadSome(buffer, sizeof buffer);
    if (n > 0)
        (void)Serve(*m_pty, m_ptyRecogniser, buffer, static_cast<size_t>(n));
    DropTcpIfRequested();
}

void Server::ServeUsbInput() {
    uint8_t buffer[65536];
    for (;;) {
        // Opens and closes come in order with the bytes: a new host starts with nothing half-received.
        if (const std::optional<std::string> event = m_usb->NextEvent()) {
            if (*event == "connect")
                m_usbRecogniser.Clear();
            if (*event == "connect" && m_bootOnBus)
                m_boot->HostOpened();
            m_transcript.Event("usb", *event);
            continue;
        }
        const long n = m_usb->ReadSome(buffer, sizeof buffer);
        if (n <= 0)
            break;
        if (m_bootOnBus)
            ServeBoot(buffer, static_cast<size_t>(n));
        else
            (void)Serve(*m_usb, m_usbRecogniser, buffer, static_cast<size_t>(n));
    }
    DropTcpIfRequested();
}

int Server::PollTimeoutMs() const {
    if (m_usbUnplugPending)
        return 5;
    if (m_bootOnBus) {
        const uint64_t now = Clock::MonotonicMs();
        if (!m_bootLeaving)
            return 100;
        return m_bootLeaveAtMs <= now ? 0 : static_cast<int>(std::min<uint64_t>(100, m_bootLeaveAtMs - now));
    }
    if (!m_restarting || m_neverReturn)
        return 100;
    const uint64_t now = Clock::MonotonicMs();
    return m_unreachableUntilMs <= now
               ? 0
               : static_cast<int>(std::min<uint64_t>(100, m_unreachableUntilMs - now));
}

void Server::Waits(std::vector<pollfd>& fds, std::vector<Slot>& slots) const {
    const auto add = [&](int fd, Slot slot) {
        fds.push_back({fd, POLLIN, 0});
        slots.push_back(slot);
    };
    // One host at a time: others wait in the backlog until this one leaves.
    if (m_listener && m_listener->IsListening() && !m_tcpLink)
        add(m_listener->Fd(), Slot::Listener);
    if (m_tcpLink)
        add(m_tcpLink->Fd(), Slot::Tcp);
    if (m_pty)
        add(m_pty->Fd(), Slot::Pty);
    if (m_udp)
        add(m_udp->Fd(), Slot::Udp);
    if (m_usb)
        add(m_usb->Fd(), Slot::Usb);
    if (m_stopFd >= 0)
        add(m_stopFd, Slot::Stop);
}

// The closes of a program that ended reach the USB device a moment after its end: wait for them
// (briefly) so that the transcript ends with them.
void Server::FinishUsbHost() {
    if (!m_usb)
        return;
    const uint64_t deadline = Clock::MonotonicMs() + 200;
    while (m_usb->HostsOpen() > 0 && Clock::MonotonicMs() < deadline)
        Clock::SleepMs(2);
    ServeUsbInput();
}

bool Server::Dispatch(Slot slot) {
    switch (slot) {
    case Slot::Listener:
        if ((m_tcpLink = m_listener->Accept())) {
            m_tcpRecogniser.Clear();
            m_transcript.Event("tcp", "connect");
        }
        break;
    case Slot::Tcp:
        if (m_tcpLink)
            ServeTcpInput();
        break;
    case Slot::Pty:
        ServePtyInput();
        break;
    case Slot::Udp:
        if (const std::string from = m_udp->HandleOne(!m_restarting); !from.empty())
            m_transcript.Event("udp", "discovery", "answered " + from);
        break;
    case Slot::Usb:
        ServeUsbInput();
        break;
    case Slot::Stop:
        Log::WriteLog("Server::Run", "The host program ended");
        FinishUsbHost();
        return false;
    }
    return true;
}

void Server::Run(const std::atomic<bool>& stop) {
    Log::WriteLog("Server::Run", "Begin");
    bool serving = true;
    while (serving && !stop.load()) {
        EndRestartIfDue();
        std::vector<pollfd> fds;
        std::vector<Slot> slots;
        Waits(fds, slots);
        if (::poll(fds.data(), fds.size(), PollTimeoutMs()) <= 0)
            continue;
        for (size_t i = 0; i < fds.size() && serving; ++i)
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
                serving = Dispatch(slots[i]);
    }
    Log::WriteLog("Server::Run", "End");
}

} // namespace sim
