#include "gui/jobs/WriteDeviceDataController.h"

#include "comm/PrinterJobs.h"
#include "gui/jobs/RunDeviceJob.h"
#include "model/PrinterData.h"
#include "model/ProtocolDataAvailable.h"
#include "transport/CommPortSettings.h"

void WriteDeviceDataWorker::doWork(PrinterData* data, CommPortSettings* settings,
                                   ProtocolDataAvailable* selection) {
    if (selection == nullptr) {
        emit resultReady(kJobUnexpectedFailure);
        return;
    }
    emit resultReady(runDeviceJob(*this, data, settings, [selection](PrinterJobSession& session) {
        return printer_jobs::WriteDeviceData(session, *selection);
    }));
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
