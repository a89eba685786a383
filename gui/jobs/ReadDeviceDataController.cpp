#include "gui/jobs/ReadDeviceDataController.h"

#include "comm/PrinterJobs.h"
#include "gui/jobs/RunDeviceJob.h"
#include "model/PrinterData.h"
#include "transport/CommPortSettings.h"

void ReadDeviceDataWorker::doWork(PrinterData* data, CommPortSettings* settings) {
    emit resultReady(runDeviceJob(*this, data, settings, printer_jobs::ReadDeviceData));
}

ReadDeviceDataController::ReadDeviceDataController(QObject* parent) : DeviceJobController(parent) {
    auto* worker = new ReadDeviceDataWorker;
    adoptWorker(worker);
    connect(this, &ReadDeviceDataController::operate, worker, &ReadDeviceDataWorker::doWork);
    connect(worker, &ReadDeviceDataWorker::resultReady, this, &ReadDeviceDataController::handleResults);
    startThread();
}

void ReadDeviceDataController::Start(PrinterData* data, CommPortSettings* settings) {
    handOverToWorker();
    emit operate(data, settings);
}

void ReadDeviceDataController::handleResults(int result) {
    takeOverFromWorker();
    emit jobFinished(result);
}
