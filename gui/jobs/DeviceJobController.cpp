#include "gui/jobs/DeviceJobController.h"

#include "comm/PrinterJobs.h"
#include "gui/jobs/JobHandover.h"
#include "model/PrinterData.h"
#include "model/ProtocolDataAvailable.h"
#include "model/ToolsData.h"
#include "transport/CommPortSettings.h"

#include <QMetaType>

DeviceJobController::DeviceJobController(QObject* parent) : QObject(parent) {
    registerDeviceJobTypes();
}

DeviceJobController::~DeviceJobController() {
    stopThread();
}

void DeviceJobController::adoptWorker(QObject* worker) {
    m_worker = worker;
    worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, worker, &QObject::deleteLater);
}

void DeviceJobController::startThread() {
    m_thread.start(QThread::InheritPriority);
}

void DeviceJobController::stopThread() {
    m_thread.quit();
    m_thread.wait();
}

bool DeviceJobController::waitThread(unsigned long ms) {
    m_thread.quit();
    return m_thread.wait(ms);
}

void DeviceJobController::handOverToWorker() const {
    job_handover::release(m_worker.data());
}

void DeviceJobController::takeOverFromWorker() const {
    job_handover::acquire(m_worker.data());
}

void registerDeviceJobTypes() {
    // Queued signals carry their arguments by type name; the names are the ones in the signatures.
    static const bool registered = [] {
        qRegisterMetaType<PrinterData*>("PrinterData*");
        qRegisterMetaType<CommPortSettings*>("CommPortSettings*");
        qRegisterMetaType<ProtocolDataAvailable*>("ProtocolDataAvailable*");
        qRegisterMetaType<ToolTag*>("ToolTag*");
        qRegisterMetaType<unsigned char*>("unsigned char*");
        return true;
    }();
    (void)registered;
}
