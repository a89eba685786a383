#include "gui/jobs/RunDeviceJob.h"

#include "base/Log.h"

int runDeviceJob(PrinterData* data, CommPortSettings* settings, const PrinterJob::Operation& operation) {
    if (data == nullptr || settings == nullptr) {
        Log::WriteLog("runDeviceJob", "No printer data or port settings");
        return kJobUnexpectedFailure;
    }
    return PrinterJob(*data, *settings).Run(operation).result;
}
