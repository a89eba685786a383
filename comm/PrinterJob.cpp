#include "comm/PrinterJob.h"

#include "base/DalvoraException.h"
#include "base/Log.h"
#include "base/VmComLayerException.h"

#include <exception>

namespace {

constexpr const char* kWhere = "PrinterJob";

PrinterComm MakeSession(const PrinterJobConfig& config) {
    if (config.components)
        return PrinterComm(*config.components, config.upgradeFlag);
    return PrinterComm();
}

} // namespace

PrinterJob::PrinterJob(PrinterData& data, CommPortSettings& settings, PrinterJobConfig config)
    : m_data(data), m_settings(settings), m_config(config) {}

PrinterJobOutcome PrinterJob::Run(const Operation& operation) {
    PrinterComm comm = MakeSession(m_config);
    return Run(comm, operation);
}

PrinterJobOutcome PrinterJob::Run(PrinterComm& comm, const Operation& operation) {
    CommLayer layer(m_factory);
    PrinterJobSession session{layer, comm, m_data, m_settings};
    PrinterJobOutcome outcome;
    outcome.failedAt = PrinterJobOutcome::Stage::FindingPrinter;
    try {
        comm.PrnCom_Init(&layer, &m_data, &m_settings);
        outcome.failedAt = PrinterJobOutcome::Stage::Operation;
        outcome.result = operation(session);
        outcome.failedAt = PrinterJobOutcome::Stage::Done;
    } catch (const DalvoraException& e) {
        outcome.result = e.getCode();
    } catch (const VmComLayerException& e) {
        outcome.result = e.getCode();
    } catch (const std::exception& e) {
        Log::WriteLogP(kWhere, "Unexpected failure: %s", e.what());
        outcome.result = kJobUnexpectedFailure;
    }
    if (outcome.Threw())
        Log::WriteLogP(kWhere, "Job failed with %d", outcome.result);
    return outcome;
}
