// One printer job, as the command line and the window's background workers both run it: a fresh frame
// layer and session object, the printer found (PrnCom_Init), then the job's own operation. Whatever
// the session throws becomes a result code here, in one place, so no caller can forget a kind of
// failure and no exception leaves a worker thread.
#pragma once

#include "comm/CommLayer.h"
#include "comm/PrinterComm.h"

#include <functional>
#include <optional>

class PrinterData;
struct CommPortSettings;

// The result codes of a job: 0, the session error code, or these.
enum PrinterJobResult : int {
    kJobSuccess = 0,
    kJobUnreadItemsBase = 10000, // + the number of setup items that could not be read
    kJobFalseResult = 10001,     // the operation ran but reported false
    kJobUnexpectedFailure = -1,  // neither session error nor frame-layer error (out of memory, ...)
};

// What a job's operation works with; everything lives for the job only.
struct PrinterJobSession {
    CommLayer& layer;
    PrinterComm& comm;
    PrinterData& data;
    CommPortSettings& settings;
};

struct PrinterJobOutcome {
    enum class Stage { Done, FindingPrinter, Operation };

    int result = kJobSuccess;
    // Where a failure was thrown; Done when the operation returned its own result.
    Stage failedAt = Stage::Done;

    bool Threw() const { return failedAt != Stage::Done; }
};

// The session object's construction: default, as the window's workers make it, or with the component
// mask and the upgrade time multiplier, as the command line makes it.
struct PrinterJobConfig {
    std::optional<int> components;
    int upgradeFlag = 0;
};

class PrinterJob {
public:
    // The operation after PrnCom_Init: returns the job's result, or throws.
    using Operation = std::function<int(PrinterJobSession&)>;

    PrinterJob(PrinterData& data, CommPortSettings& settings, PrinterJobConfig config = {});

    // Tests hand in their own ports.
    void SetPortFactory(CommLayer::PortFactory factory) { m_factory = std::move(factory); }

    [[nodiscard]] PrinterJobOutcome Run(const Operation& operation);
    // The same with a session object of the caller's (an upgrade session, which adds operations).
    [[nodiscard]] PrinterJobOutcome Run(PrinterComm& comm, const Operation& operation);

private:
    PrinterData& m_data;
    CommPortSettings& m_settings;
    PrinterJobConfig m_config;
    CommLayer::PortFactory m_factory = CommLayer::CreatePort;
};
