#include "gui/jobs/GetStatusDeviceController.h"

#include "comm/PrinterJobs.h"
#include "gui/jobs/RunDeviceJob.h"
#include "model/PrinterData.h"
#include "transport/CommPortSettings.h"

#include <QMetaMethod>

void GetStatusDeviceWorker::doWork(PrinterData* data, CommPortSettings* settings) {
    auto status = std::make_unique<StatusDevice>();
    const int result = runDeviceJob(*this, data, settings, [&status](PrinterJobSession& session) {
        return printer_jobs::GetStatusDevice(session, *status);
    });
    emit resultReady(result, result == kJobSuccess ? status.release() : nullptr);
}

GetStatusDeviceController::GetStatusDeviceController(QObject* parent) : DeviceJobController(parent) {
    auto* worker = new GetStatusDeviceWorker;
    adoptWorker(worker);
    connect(this, &GetStatusDeviceController::operate, worker, &GetStatusDeviceWorker::doWork);
    // Recorded on the worker thread before the queued delivery below is posted.
    connect(
        worker, &GetStatusDeviceWorker::resultReady, this,
        [this](int, void* status) { m_inTransit.sent(status); }, Qt::DirectConnection);
    connect(worker, &GetStatusDeviceWorker::resultReady, this, &GetStatusDeviceController::handleResults);
    startThread();
}

GetStatusDeviceController::~GetStatusDeviceController() {
    stopThread();
}

void GetStatusDeviceController::Start(PrinterData* data, CommPortSettings* settings) {
    handOverToWorker();
    emit operate(data, settings);
}

std::unique_ptr<StatusDevice> GetStatusDeviceController::takeStatus(void* status) {
    return std::unique_ptr<StatusDevice>(static_cast<StatusDevice*>(status));
}

void GetStatusDeviceController::handleResults(int result, void* status) {
    takeOverFromWorker();
    m_inTransit.delivered(status);
    if (!isSignalConnected(QMetaMethod::fromSignal(&GetStatusDeviceController::jobFinished))) {
        takeStatus(status); // nobody to own it
        return;
    }
    emit jobFinished(result, status);
}
