#include "gui/jobs/UpgradeDeviceController.h"

#include "audit/AuditRecords.h"
#include "base/Log.h"
#include "firmware/ModuleData.h"
#include "firmware/PSWComponents.h"
#include "firmware/PSWFile.h"
#include "gui/jobs/JobHandover.h"
#include "gui/jobs/RunDeviceJob.h"
#include "model/PrinterData.h"
#include "transport/CommPortSettings.h"
#include "upgrade/UpgradeSession.h"
#include "upgrade/UpgradeStop.h"

#include <QCoreApplication>
#include <QMetaMethod>
#include <QMetaType>

namespace {

constexpr const char* kWhere = "UpgradeDeviceWorker";
// The window may send every component and never stretches the upgrade's waits.
constexpr int kAllComponents = 255;
constexpr int kTimeMultiplier = 1;
constexpr unsigned long kStopPollMs = 20;

void registerUpgradeJobTypes() {
    static const bool registered = [] {
        qRegisterMetaType<PSWFile*>("PSWFile*");
        qRegisterMetaType<PSWComponents*>("PSWComponents*");
        qRegisterMetaType<ModuleData*>("ModuleData*");
        return true;
    }();
    (void)registered;
}

int runUpgrade(UpgradeSession& upgrade, PrinterJobSession& session, int kind, PSWFile* package,
               PSWComponents* components, ModuleData* module) {
    bool sent = false;
    if (kind == UpgradeDeviceController::kKindPackage && package != nullptr && components != nullptr)
        // Asks before installing a release identical to or older than the printer's.
        sent = upgrade.PrnCom_UpgradePrinter(&session.layer, package, &session.settings, components, true);
    else if (kind == UpgradeDeviceController::kKindModule && module != nullptr)
        sent = upgrade.PrnCom_WriteModule(&session.layer, module, &session.settings, nullptr);
    else
        Log::WriteLogP(kWhere, "Nothing to send for kind %d", kind);
    if (sent)
        return kJobSuccess;
    Log::WriteLogP(kWhere, "Upgrade of kind %d failed, session error %d", kind, upgrade.GetLastError());
    return kJobFalseResult;
}

} // namespace

void UpgradeDeviceWorker::doWork(PrinterData* data, CommPortSettings* settings, int kind, PSWFile* package,
                                 PSWComponents* components, ModuleData* module) {
    UpgradeSession upgrade(kAllComponents, kTimeMultiplier);
    // Taken once the printer is found, so a printer that was never reached leaves no line.
    std::optional<audit::Entry> entry;
    const int result = runDeviceJob(*this, data, settings, upgrade, [&](PrinterJobSession& session) {
        const char* operation =
            kind == UpgradeDeviceController::kKindModule ? audit::kOperationModule : audit::kOperationUpgrade;
        entry = audit::NewEntry(audit::kFrontEndWindow, operation, session.data, session.settings);
        return runUpgrade(upgrade, session, kind, package, components, module);
    });
    if (entry) {
        entry->package = m_sentFile;
        entry->ok = result == kJobSuccess;
        entry->status = result == kJobFalseResult ? upgrade.GetLastError() : result;
        entry->reason = entry->ok ? "" : "upgrade failed, session error " + std::to_string(entry->status);
        (void)audit::Record(*entry);
    }
    emit resultReady(result);
}

UpgradeDeviceController::UpgradeDeviceController(QObject* parent) : DeviceJobController(parent) {
    registerUpgradeJobTypes();
    auto* worker = new UpgradeDeviceWorker;
    m_worker = worker;
    adoptWorker(worker);
    connect(this, &UpgradeDeviceController::operate, worker, &UpgradeDeviceWorker::doWork);
    connect(worker, &UpgradeDeviceWorker::resultReady, this, &UpgradeDeviceController::handleResults);
    startThread();
}

UpgradeDeviceController::~UpgradeDeviceController() {
    stopThread();
}

void UpgradeDeviceController::Start(PrinterData* data, CommPortSettings* settings, int kind, PSWFile* package,
                                    PSWComponents* components, ModuleData* module,
                                    std::optional<audit::PackageIdentity> sentFile) {
    // The queued emit below hands this over to the worker's thread.
    m_worker->setSentFile(std::move(sentFile));
    handOverToWorker();
    emit operate(data, settings, kind, package, components, module);
}

void UpgradeDeviceController::handleResults(int result) {
    takeOverFromWorker();
    emit jobFinished(result);
}

void UpgradeDeviceController::ShowDialogInMainThread() {
    if (!isSignalConnected(QMetaMethod::fromSignal(&UpgradeDeviceController::showDialog))) {
        setAnswer(kAnswerGoOn);
        return;
    }
    // Whoever does not answer (the window going away) leaves the printer's release alone.
    setAnswer(kAnswerStop);
    if (isStopping())
        return;
    emit showDialog();
    declareAnswerHandedOver();
}

// The main thread read this call's arguments on the worker's stack before Qt woke the worker, and Qt's
// wake-up is invisible to ThreadSanitizer: a second blocking call, run by the main thread after the
// first, declares the handover. Other builds need nothing here.
void UpgradeDeviceController::declareAnswerHandedOver() {
#if defined(__SANITIZE_THREAD__)
    QMetaObject::invokeMethod(
        this, [this] { job_handover::release(this); }, Qt::BlockingQueuedConnection);
    job_handover::acquire(this);
#endif
}

int UpgradeDeviceController::AskInMainThread(const QString& title, const QString& text) {
    setQuestion(title, text);
    ShowDialogInMainThread();
    return answer();
}

void UpgradeDeviceController::ChangeWaitingLabelInMainThread() {
    emit changeWaitingLabel();
}

void UpgradeDeviceController::setQuestion(const QString& title, const QString& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_questionTitle = title;
    m_question = text;
}

QString UpgradeDeviceController::question() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_question;
}

void UpgradeDeviceController::setAnswer(int answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answer = answer;
}

QString UpgradeDeviceController::questionTitle() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_questionTitle;
}

int UpgradeDeviceController::answer() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_answer;
}

void UpgradeDeviceController::setMessage(const QString& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_message = text;
    m_pendingMessages << text;
}

QString UpgradeDeviceController::message() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_message;
}

QStringList UpgradeDeviceController::takeMessages() {
    std::lock_guard<std::mutex> lock(m_mutex);
    QStringList taken;
    taken.swap(m_pendingMessages);
    return taken;
}

void UpgradeDeviceController::StopAndWait(const std::function<void()>& serve) {
    m_stopping.store(true);
    // Never cut a transfer: the upgrade ends at its next step boundary.
    RequestUpgradeStop();
    while (!waitThread(kStopPollMs)) {
        serve();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}
