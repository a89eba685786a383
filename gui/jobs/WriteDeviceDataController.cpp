#include "gui/jobs/WriteDeviceDataController.h"

#include "audit/AuditRecords.h"
#include "comm/PrinterComm.h"
#include "comm/PrinterJobs.h"
#include "gui/jobs/RunDeviceJob.h"
#include "model/PrinterData.h"
#include "model/ProtocolDataAvailable.h"
#include "transport/CommPortSettings.h"

#include <optional>

void WriteDeviceDataWorker::doWork(PrinterData* data, CommPortSettings* settings,
                                   ProtocolDataAvailable* selection) {
    if (selection == nullptr) {
        emit resultReady(kJobUnexpectedFailure);
        return;
    }
    PrinterComm comm;
    // Taken once the printer is found, so a printer that was never reached leaves no line.
    std::optional<audit::Entry> entry;
    const int result = runDeviceJob(*this, data, settings, comm, [&](PrinterJobSession& session) {
        entry =
            audit::NewEntry(audit::kFrontEndWindow, audit::kOperationWrite, session.data, session.settings);
        return printer_jobs::WriteDeviceData(session, *selection);
    });
    if (entry) {
        entry->items = comm.GetWriteReport().items;
        entry->ok = result == kJobSuccess;
        entry->status = result;
        entry->reason = entry->ok ? "" : "write failed, error " + std::to_string(result);
        (void)audit::Record(*entry);
    }
    emit resultReady(result);
}

WriteDeviceDataController::WriteDeviceDataController(QObject* parent) : DeviceJobController(parent) {
    auto* worker = new WriteDeviceDataWorker;
    adoptWorker(worker);
    connect(this, &WriteDeviceDataController::operate, worker, &WriteDeviceDataWorker::doWork);
    connect(worker, &WriteDeviceDataWorker::resultReady, this, &WriteDeviceDataController::handleResults);
    startThread();
}

void WriteDeviceDataController::Start(PrinterData* data, CommPortSettings* settings,
                                      ProtocolDataAvailable* selection) {
    handOverToWorker();
    emit operate(data, settings, selection);
}

void WriteDeviceDataController::handleResults(int result) {
    takeOverFromWorker();
    emit jobFinished(result);
}
