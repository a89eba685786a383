// The read job: the printer's setup, information pages, tools and status descriptions into the
// window's PrinterData. Result: 0, 10000 + the number of unreadable items, or the failure's code
// (whatever was read before a failure stays in the PrinterData).
#pragma once

#include "gui/jobs/DeviceJobController.h"

class PrinterData;
struct CommPortSettings;

class ReadDeviceDataWorker : public QObject {
    Q_OBJECT

public slots:
    void doWork(PrinterData* data, CommPortSettings* settings);

signals:
    void resultReady(int result);
};

class ReadDeviceDataController : public DeviceJobController {
    Q_OBJECT

public:
    explicit ReadDeviceDataController(QObject* parent = nullptr);

    void Start(PrinterData* data, CommPortSettings* settings);

public slots:
    void handleResults(int result);

signals:
    void operate(PrinterData* data, CommPortSettings* settings);
    void jobFinished(int result);
};
