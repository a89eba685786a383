#include "sim/InProcessPrinter.h"

namespace sim {

namespace {

FaultSet FaultsFrom(const std::vector<std::string>& switches) {
    FaultSet set;
    for (const std::string& text : switches)
        AddFault(set, text);
    return set;
}

} // namespace

InProcessPrinter::InProcessPrinter(Profile profile, const InProcessOptions& options)
    : m_state(std::move(profile)), m_faults(FaultsFrom(options.faults)),
      m_transcript(options.transcript ? Transcript(*options.transcript) : Transcript()),
      m_server(m_state, m_faults, m_transcript) {
    if (options.ptyPath) {
        m_server.AddPty(std::make_unique<PtyLink>(*options.ptyPath, m_state.GetProfile().baud));
    } else {
        auto listener = std::make_unique<TcpListener>("127.0.0.1", 0);
        m_port = listener->Port();
        m_server.AddTcp(std::move(listener));
    }
    m_thread = std::thread([this] { m_server.Run(m_stop); });
}

InProcessPrinter::~InProcessPrinter() {
    m_stop = true;
    m_thread.join();
}

} // namespace sim
