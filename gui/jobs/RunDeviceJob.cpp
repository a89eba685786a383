#include "gui/jobs/RunDeviceJob.h"

#include "base/Log.h"
#include "gui/jobs/JobHandover.h"

namespace {

int runOn(PrinterData* data, CommPortSettings* settings, PrinterComm* comm,
          const PrinterJob::Operation& operation) {
    if (data == nullptr || settings == nullptr) {
        Log::WriteLog("runDeviceJob", "No printer data or port settings");
        return kJobUnexpectedFailure;
    }
    PrinterJob job(*data, *settings);
    return (comm != nullptr ? job.Run(*comm, operation) : job.Run(operation)).result;
}

int runHandedOver(const QObject& worker, PrinterData* data, CommPortSettings* settings, PrinterComm* comm,
                  const PrinterJob::Operation& operation) {
    job_handover::acquire(&worker);
    const int result = runOn(data, settings, comm, operation);
    job_handover::release(&worker);
    return result;
}

} // namespace

int runDeviceJob(const QObject& worker, PrinterData* data, CommPortSettings* settings,
                 const PrinterJob::Operation& operation) {
    return runHandedOver(worker, data, settings, nullptr, operation);
}

int runDeviceJob(const QObject& worker, PrinterData* data, CommPortSettings* settings, PrinterComm& comm,
                 const PrinterJob::Operation& operation) {
    return runHandedOver(worker, data, settings, &comm, operation);
}
