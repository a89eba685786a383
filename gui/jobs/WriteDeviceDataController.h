// The write job: the setup items of the window's PrinterData that differ from the printer's, for the
// data groups the selection names. Result: 0 (also when nothing needed writing) or the failure's code.
#pragma once

#include "gui/jobs/DeviceJobController.h"

class PrinterData;
class ProtocolDataAvailable;
struct CommPortSettings;

class WriteDeviceDataWorker : public QObject {
    Q_OBJECT

public slots:
    void doWork(PrinterData* data, CommPortSettings* settings, ProtocolDataAvailable* selection);

signals:
    void resultReady(int result);
};

class WriteDeviceDataController : public DeviceJobController {
    Q_OBJECT

public:
    explicit WriteDeviceDataController(QObject* parent = nullptr);

    void Start(PrinterData* data, CommPortSettings* settings, ProtocolDataAvailable* selection);

public slots:
    void handleResults(int result);

signals:
    void operate(PrinterData* data, CommPortSettings* settings, ProtocolDataAvailable* selection);
    void jobFinished(int result);
};
