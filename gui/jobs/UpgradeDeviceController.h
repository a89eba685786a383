// The upgrade job: a firmware package (kind 2) or a module file (kind 1) sent to the printer on a
// worker thread. Result: 0, 10001 when the upgrade reported failure (or the kind is unknown), or the
// code of a session or frame-layer failure.
//
// Besides the result the worker reaches the main thread in two ways while it runs, both through the
// free bridge functions of the window (MainWindowUpgradePage.cpp):
//   - progress texts: setMessage, then ChangeWaitingLabelInMainThread emits changeWaitingLabel; the
//     main thread takes every text not shown yet with takeMessages, so none is lost;
//   - a question (the release check, the request to restart the printer): AskInMainThread stores its
//     title and text and ShowDialogInMainThread emits showDialog, which the window connects with a
//     blocking queued connection; when it returns, answer() holds the user's choice.
#pragma once

#include "audit/AuditEntry.h"
#include "gui/jobs/DeviceJobController.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

class ModuleData;
class PSWComponents;
class PSWFile;
class PrinterData;
struct CommPortSettings;

class UpgradeDeviceWorker : public QObject {
    Q_OBJECT

public:
    // What the audit trail names as sent; set before the job starts.
    void setSentFile(std::optional<audit::PackageIdentity> identity) { m_sentFile = std::move(identity); }

public slots:
    void doWork(PrinterData* data, CommPortSettings* settings, int kind, PSWFile* package,
                PSWComponents* components, ModuleData* module);

signals:
    void resultReady(int result);

private:
    std::optional<audit::PackageIdentity> m_sentFile;
};

class UpgradeDeviceController : public DeviceJobController {
    Q_OBJECT

public:
    static constexpr int kKindModule = 1;
    static constexpr int kKindPackage = 2;
    static constexpr int kAnswerStop = 0;
    static constexpr int kAnswerGoOn = 1;

    explicit UpgradeDeviceController(QObject* parent = nullptr);
    ~UpgradeDeviceController() override;

    // sentFile: the loaded file's name, identity and SHA-256, for the audit trail.
    void Start(PrinterData* data, CommPortSettings* settings, int kind, PSWFile* package,
               PSWComponents* components, ModuleData* module,
               std::optional<audit::PackageIdentity> sentFile = std::nullopt);

    // Worker thread. Blocks until the connected slot has answered; answers stop without asking once
    // the job is being stopped, and go on when nothing is connected (nobody to ask).
    void ShowDialogInMainThread();
    // Worker thread: the one way a question reaches the user; returns kAnswerGoOn or kAnswerStop.
    [[nodiscard]] int AskInMainThread(const QString& title, const QString& text);
    void ChangeWaitingLabelInMainThread();

    // Shared between the threads, each access under the lock.
    void setQuestion(const QString& title, const QString& text);
    [[nodiscard]] QString question() const;
    [[nodiscard]] QString questionTitle() const;
    void setAnswer(int answer);
    [[nodiscard]] int answer() const;
    // The latest progress text, and every text the main thread has not taken yet.
    void setMessage(const QString& text);
    [[nodiscard]] QString message() const;
    [[nodiscard]] QStringList takeMessages();

    // Main thread, when the job must end before its result (the window goes): asks the upgrade to stop
    // at its next safe point and waits for the worker, calling `serve` between short waits so that a
    // blocking call the worker made to the main thread can still be delivered (and answered stop).
    void StopAndWait(const std::function<void()>& serve);
    [[nodiscard]] bool isStopping() const { return m_stopping.load(); }

public slots:
    void handleResults(int result);

signals:
    void operate(PrinterData* data, CommPortSettings* settings, int kind, PSWFile* package,
                 PSWComponents* components, ModuleData* module);
    void jobFinished(int result);
    void showDialog();
    void changeWaitingLabel();

private:
    void declareAnswerHandedOver();

    UpgradeDeviceWorker* m_worker = nullptr;
    mutable std::mutex m_mutex;
    QString m_questionTitle;
    QString m_question;
    int m_answer = kAnswerGoOn;
    QString m_message;
    QStringList m_pendingMessages;
    std::atomic<bool> m_stopping{false};
};
