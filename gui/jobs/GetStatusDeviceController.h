// The status job: the printer's live general and extended status bytes. Result: 0 with a StatusDevice,
// or the failure's code with a null status.
//
// Ownership: the status handed by jobFinished is a heap StatusDevice (comm/PrinterJobs.h) that belongs
// to the receiver of jobFinished from then on; take it with takeStatus() (null stays null). When nothing
// is connected to jobFinished, or the controller is destroyed before the result arrived, the controller
// releases it.
#pragma once

#include "gui/jobs/DeviceJobController.h"
#include "gui/jobs/ResultInTransit.h"

#include <memory>

class PrinterData;
struct CommPortSettings;
struct StatusDevice;

class GetStatusDeviceWorker : public QObject {
    Q_OBJECT

public slots:
    void doWork(PrinterData* data, CommPortSettings* settings);

signals:
    void resultReady(int result, void* status);
};

class GetStatusDeviceController : public DeviceJobController {
    Q_OBJECT

public:
    explicit GetStatusDeviceController(QObject* parent = nullptr);
    ~GetStatusDeviceController() override;

    void Start(PrinterData* data, CommPortSettings* settings);

    // The status of jobFinished as the object it is.
    static std::unique_ptr<StatusDevice> takeStatus(void* status);

public slots:
    void handleResults(int result, void* status);

signals:
    void operate(PrinterData* data, CommPortSettings* settings);
    void jobFinished(int result, void* status);

private:
    ResultInTransit<StatusDevice> m_inTransit;
};
