// dalvora-printer-sim: a thermal ticket printer on TCP, a pty serial line, USB and UDP discovery, so the
// product is developed and tested end to end without hardware.
#include "base/Log.h"
#include "sim/HostProgram.h"
#include "sim/Options.h"
#include "sim/Server.h"

#include <csignal>
#include <cstdio>
#include <iostream>

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop.store(true);
}

sim::FaultSet Faults(const sim::Options& options, const sim::Profile& profile) {
    sim::FaultSet faults;
    for (const auto& text : profile.faults)
        sim::AddFault(faults, text);
    for (const auto& text : options.faults)
        sim::AddFault(faults, text);
    return faults;
}

// Adds every link asked for and says on `announce` what listens; returns the USB testbed's root, if any.
std::string AddLinks(sim::Server& server, const sim::Options& options, const sim::Profile& profile,
                     std::FILE* announce) {
    if (options.tcp) {
        std::string host;
        uint16_t port = 0;
        sim::SplitAddress(*options.tcp, host, port, false, 0);
        auto listener = std::make_unique<sim::TcpListener>(host, port);
        std::fprintf(announce, "listening tcp %s:%u\n", host.c_str(), listener->Port());
        server.AddTcp(std::move(listener));
    }
    if (options.pty) {
        auto pty = std::make_unique<sim::PtyLink>(*options.pty, profile.baud);
        std::fprintf(announce, "listening pty %s %s %u\n", options.pty->c_str(), pty->SlaveName().c_str(),
                     profile.baud);
        server.AddPty(std::move(pty));
    }
    std::string usbRoot;
    if (options.usb) {
        auto usb = std::make_unique<sim::UsbLink>(profile.usb, profile.name);
        usbRoot = usb->RootDir();
        std::fprintf(announce, "listening usb %s %s\n", usb->DeviceName().c_str(), usbRoot.c_str());
        server.AddUsb(std::move(usb));
    }
    if (options.udp) {
        std::string host;
        uint16_t port = 0;
        sim::SplitAddress(*options.udp, host, port, true, sim::UdpResponder::kDiscoveryPort);
        auto udp = std::make_unique<sim::UdpResponder>(host, port, profile.name);
        std::fprintf(announce, "listening udp %s:%u\n", host.c_str(), udp->Port());
        server.AddUdp(std::move(udp));
    }
    std::fflush(announce);
    return usbRoot;
}

// Serves until a signal, or until the host program ends; the exit status is then the program's.
int Serve(const sim::Options& options, const sim::Profile& profile) {
    sim::Transcript transcript =
        options.transcript ? sim::Transcript(*options.transcript) : sim::Transcript();
    sim::PrinterState state(profile);
    sim::FaultInjector injector(Faults(options, profile));
    sim::Server server(state, injector, transcript);
    // With a host program, standard output is the program's alone.
    const std::string usbRoot = AddLinks(server, options, profile, options.program.empty() ? stdout : stderr);
    std::unique_ptr<sim::HostProgram> host;
    if (!options.program.empty()) {
        host = std::make_unique<sim::HostProgram>(options.program, usbRoot);
        server.StopWhenReadable(host->ExitFd());
    }
    server.Run(g_stop);
    if (!host)
        return 0;
    if (g_stop.load())
        host->Terminate();
    return host->Wait();
}

} // namespace

int main(int argc, char** argv) {
    try {
        const sim::Options options = sim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::fputs(sim::UsageText(), stdout);
            return 0;
        }
        if (options.log)
            Log::SetLogEnable(1, true, nullptr);
        const sim::Profile profile =
            sim::LoadProfileFile(sim::ResolveProfilePath(options.profile), options.profileSets);
        if (options.checkProfile) {
            std::printf("profile ok: %zu items\n", profile.items.size());
            return 0;
        }
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        std::signal(SIGPIPE, SIG_IGN);
        return Serve(options, profile);
    } catch (const sim::OptionError& e) {
        std::cerr << "dalvora-printer-sim: " << e.what() << "\n\n" << sim::UsageText();
        return 2;
    } catch (const sim::HostProgramError& e) {
        std::cerr << "dalvora-printer-sim: " << e.what() << "\n";
        return 127; // as a shell says of a program it cannot run
    } catch (const std::exception& e) {
        std::cerr << "dalvora-printer-sim: " << e.what() << "\n";
        return 1;
    }
}
