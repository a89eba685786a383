// The tool job: one service tool run on the printer (type 1 only; any other type is 10001 with no
// answer). Result: 0 with the tool's answer, or the failure's code with a null answer.
//
// Ownership: the answer handed by jobFinished is a heap AnswerRecord that belongs to the receiver of
// jobFinished from then on; take it with takeAnswer() (null stays null). When nothing is connected to
// jobFinished, or the controller is destroyed before the result arrived, the controller releases it.
#pragma once

#include "gui/jobs/DeviceJobController.h"
#include "gui/jobs/ResultInTransit.h"

#include <memory>

class AnswerRecord;
class PrinterData;
class ProtocolDataAvailable;
struct CommPortSettings;
struct ToolTag;

class ExecOnDeviceWorker : public QObject {
    Q_OBJECT

public slots:
    // `bytes`/`length`: the script of the upload tool; the printer data's capability record is passed
    // along for the window's bookkeeping and not needed here.
    void doWork(PrinterData* data, CommPortSettings* settings, ProtocolDataAvailable* available, int type,
                ToolTag* tool, unsigned char* bytes, int length);

signals:
    void resultReady(int result, void* answer);
};

class ExecOnDeviceController : public DeviceJobController {
    Q_OBJECT

public:
    explicit ExecOnDeviceController(QObject* parent = nullptr);
    ~ExecOnDeviceController() override;

    void Start(PrinterData* data, CommPortSettings* settings, ProtocolDataAvailable* available, int type,
               ToolTag* tool, unsigned char* bytes, int length);

    // The answer of jobFinished as the object it is.
    static std::unique_ptr<AnswerRecord> takeAnswer(void* answer);

public slots:
    void handleResults(int result, void* answer);

signals:
    void operate(PrinterData* data, CommPortSettings* settings, ProtocolDataAvailable* available, int type,
                 ToolTag* tool, unsigned char* bytes, int length);
    void jobFinished(int result, void* answer);

private:
    ResultInTransit<AnswerRecord> m_inTransit;
};
