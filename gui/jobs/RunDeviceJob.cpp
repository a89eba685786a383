#include "gui/jobs/RunDeviceJob.h"

#include "base/Log.h"
#include "gui/jobs/JobHandover.h"

namespace {

int runOn(PrinterData* data, CommPortSettings* settings, const PrinterJob::Operation& operation) {
    if (data == nullptr || settings == nullptr) {
        Log::WriteLog("runDeviceJob", "No printer data or port settings");
        return kJobUnexpectedFailure;
    }
    return PrinterJob(*data, *settings).Run(operation).result;
}

} // namespace

int runDeviceJob(const QObject& worker, PrinterData* data, CommPortSettings* settings,
                 const PrinterJob::Operation& operation) {
    job_handover::acquire(&worker);
    const int result = runOn(data, settings, operation);
    job_handover::release(&worker);
    return result;
}
