// The one call every worker makes: the core's job runner on the window's printer data and port
// settings, from the worker thread, with the handover between the threads declared (JobHandover.h).
#pragma once

#include "comm/PrinterJob.h"

// The job's result code; kJobUnexpectedFailure without touching the printer when the window passed no
// printer data or no settings.
class QObject;

[[nodiscard]] int runDeviceJob(const QObject& worker, PrinterData* data, CommPortSettings* settings,
                               const PrinterJob::Operation& operation);
// The same with a session object of the worker's (the upgrade's, which adds operations).
[[nodiscard]] int runDeviceJob(const QObject& worker, PrinterData* data, CommPortSettings* settings,
                               PrinterComm& comm, const PrinterJob::Operation& operation);
