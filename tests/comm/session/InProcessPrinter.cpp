#include "tests/comm/session/InProcessPrinter.h"

#include "sim/Options.h"

sim::Profile ShippedProfile(const std::string& name) {
    return sim::LoadProfileFile(sim::ResolveProfilePath(name));
}

sim::SetupItem NumericItem(uint32_t id, double current) {
    sim::SetupItem item;
    item.id = id;
    item.kind = sim::ItemKind::Numeric;
    item.text = "Number " + std::to_string(id);
    item.min = 0;
    item.max = 10;
    item.numDefault = 5;
    item.numCurrent = current;
    return item;
}

TranscribedPrinter::TranscribedPrinter(sim::Profile profile, const std::vector<std::string>& faults)
    : m_transcript(m_dir.file("transcript.jsonl")),
      m_printer(std::move(profile), sim::InProcessOptions{faults, m_transcript.Path(), std::nullopt}) {}

CommPortSettings TranscribedPrinter::Settings() const {
    CommPortSettings settings;
    settings.type = COMM_ETHERNET;
    settings.ipAddress = "127.0.0.1";
    settings.tcpPort = m_printer.Port();
    return settings;
}
