// dalvora-printer-sim: a thermal ticket printer on TCP, a pty serial line and UDP discovery, so the
// product is developed and tested end to end without hardware.
#include "app/Log.h"
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

int Serve(const sim::Options& options, const sim::Profile& profile) {
    sim::FaultSet faults;
    for (const auto& text : profile.faults)
        sim::AddFault(faults, text);
    for (const auto& text : options.faults)
        sim::AddFault(faults, text);
    sim::Transcript transcript =
        options.transcript ? sim::Transcript(*options.transcript) : sim::Transcript();
    sim::PrinterState state(profile);
    sim::FaultInjector injector(faults);
    sim::Server server(state, injector, transcript);
    if (options.tcp) {
        std::string host;
        uint16_t port = 0;
        sim::SplitAddress(*options.tcp, host, port, false, 0);
        auto listener = std::make_unique<sim::TcpListener>(host, port);
        std::printf("listening tcp %s:%u\n", host.c_str(), listener->Port());
        server.AddTcp(std::move(listener));
    }
    if (options.pty) {
        auto pty = std::make_unique<sim::PtyLink>(*options.pty, profile.baud);
        std::printf("listening pty %s %s %u\n", options.pty->c_str(), pty->SlaveName().c_str(), profile.baud);
        server.AddPty(std::move(pty));
    }
    if (options.udp) {
        std::string host;
        uint16_t port = 0;
        sim::SplitAddress(*options.udp, host, port, true, sim::UdpResponder::kDiscoveryPort);
        auto udp = std::make_unique<sim::UdpResponder>(host, port, profile.name);
        std::printf("listening udp %s:%u\n", host.c_str(), udp->Port());
        server.AddUdp(std::move(udp));
    }
    std::fflush(stdout);
    server.Run(g_stop);
    return 0;
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
        const sim::Profile profile = sim::LoadProfileFile(sim::ResolveProfilePath(options.profile));
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
    } catch (const std::exception& e) {
        std::cerr << "dalvora-printer-sim: " << e.what() << "\n";
        return 1;
    }
}
