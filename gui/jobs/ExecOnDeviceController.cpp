#include "gui/jobs/ExecOnDeviceController.h"

#include "comm/AnswerRecord.h"
#include "comm/PrinterJobs.h"
#include "gui/jobs/RunDeviceJob.h"
#include "model/PrinterData.h"
#include "model/ProtocolDataAvailable.h"
#include "model/ToolsData.h"
#include "transport/CommPortSettings.h"

#include <QMetaMethod>

void ExecOnDeviceWorker::doWork(PrinterData* data, CommPortSettings* settings, ProtocolDataAvailable*,
                                int type, ToolTag* tool, unsigned char* bytes, int length) {
    static const ToolTag kNoTool;
    auto answer = std::make_unique<AnswerRecord>();
    int result = kJobUnexpectedFailure;
    // Only a tool that runs needs its row; another type is refused by the job itself.
    if (tool != nullptr || type != 1)
        result = runDeviceJob(*this, data, settings, [&](PrinterJobSession& session) {
            return printer_jobs::ExecOnDevice(session, type, tool ? *tool : kNoTool, bytes, length, *answer);
        });
    emit resultReady(result, result == kJobSuccess ? answer.release() : nullptr);
}

ExecOnDeviceController::ExecOnDeviceController(QObject* parent) : DeviceJobController(parent) {
    auto* worker = new ExecOnDeviceWorker;
    adoptWorker(worker);
    connect(this, &ExecOnDeviceController::operate, worker, &ExecOnDeviceWorker::doWork);
    // Recorded on the worker thread before the queued delivery below is posted.
    connect(
        worker, &ExecOnDeviceWorker::resultReady, this,
        [this](int, void* answer) { m_inTransit.sent(answer); }, Qt::DirectConnection);
    connect(worker, &ExecOnDeviceWorker::resultReady, this, &ExecOnDeviceController::handleResults);
    startThread();
}

ExecOnDeviceController::~ExecOnDeviceController() {
    stopThread();
}

void ExecOnDeviceController::Start(PrinterData* data, CommPortSettings* settings,
                                   ProtocolDataAvailable* available, int type, ToolTag* tool,
                                   unsigned char* bytes, int length) {
    handOverToWorker();
    emit operate(data, settings, available, type, tool, bytes, length);
}

std::unique_ptr<AnswerRecord> ExecOnDeviceController::takeAnswer(void* answer) {
    return std::unique_ptr<AnswerRecord>(static_cast<AnswerRecord*>(answer));
}

void ExecOnDeviceController::handleResults(int result, void* answer) {
    takeOverFromWorker();
    m_inTransit.delivered(answer);
    if (!isSignalConnected(QMetaMethod::fromSignal(&ExecOnDeviceController::jobFinished))) {
        takeAnswer(answer); // nobody to own it
        return;
    }
    emit jobFinished(result, answer);
}
