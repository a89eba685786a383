// The upgrade page: OPEN loads a firmware package or a module file and shows its summary; START
// UPGRADE / SEND MODULE runs the upgrade job with a waiting dialog. While the job runs its worker
// reaches the window through two bridges: the console writer's callback (every progress text becomes
// the waiting dialog's message) and the questions (the release check, and the boot-loader modes'
// request to restart the printer), asked on the main thread while the worker waits for the answer.
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

#include "audit/AuditRecords.h"
#include "base/CmdConsole.h"
#include "comm/PrinterJob.h"
#include "firmware/PSWHeaders.h"
#include "gui/DialogSeam.h"
#include "gui/dialogs/AskDialog.h"
#include "gui/dialogs/UpgElementsDialog.h"
#include "gui/dialogs/WaitingDialog.h"
#include "gui/jobs/UpgradeDeviceController.h"
#include "upgrade/UpgradeModeU2U4.h"
#include "upgrade/UpgradePrinter.h"
#include "upgrade/UpgradeStop.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>

namespace {

constexpr const char* kUpgradeHeader =
    "To perform an upgrade select a file as follows:\n\nFor firmware upgrade, click on OPEN and select\na "
    ".psw or .pfw file on your PC\n\nFor module upgrade, click on OPEN and select\na .mod file on your PC";
constexpr const char* kUpgradeFilter =
    "Upgrade Files (*.mod *.psw *.pfw *.MOD *.PSW *.PFW);; All Files (*.*)";
constexpr const char* kReleaseQuestion =
    "You are going to update the firmware with a version (%1) identical or very obsolete respect to that "
    "(%2) present on your printer.\nDo you want to continue anyway ?";
constexpr const char* kReleaseTitle = "Upgrade firmware";
constexpr const char* kRestartTitle = "Restart the printer";
constexpr const char* kRestartQuestion =
    "The new firmware is installed. Switch the printer off and on again, "
    "then answer YES to send the remaining modules.\nNO ends the upgrade "
    "here.";

bool DemandsFullUpgrade(const PSWFile& package) {
    for (PSWHeader* header : package.GetHeaders(HTYPE_UPGRADE))
        if (static_cast<PSWHeaderUpgrade*>(header)->bMustUpdateWhole)
            return true;
    return false;
}

// The upgrade layer asks through this while the window's job runs.
bool AskReleaseInWindow(const std::string& printerRelease, const std::string& packageRelease) {
    return execAskFWUpgradeDialogInWindow(printerRelease.c_str(), packageRelease.c_str()) ==
           UpgradeDeviceController::kAnswerGoOn;
}

// A window has no terminal to wait on: the user confirms that the printer was restarted.
bool AskRestartInWindow(const std::string& request) {
    return execRestartPrinterDialogInWindow(request.c_str()) == UpgradeDeviceController::kAnswerGoOn;
}

int askInWindow(const QString& title, const QString& text) {
    MainWindow* window = MainWin;
    UpgradeDeviceController* job = window != nullptr ? window->upgradeJob() : nullptr;
    if (job == nullptr)
        return UpgradeDeviceController::kAnswerGoOn;
    return job->AskInMainThread(title, text);
}

// The bridges live exactly as long as the job that answers them.
void installUpgradeBridges(bool installed) {
    CmdConsole::callback = installed ? execChangeWaitingLabel : nullptr;
    SetAskFWUpgradeHandler(installed ? AskFWUpgradeHandler(AskReleaseInWindow) : nullptr);
    SetRestartPrinterHandler(installed ? RestartPrinterHandler(AskRestartInWindow) : nullptr);
}

} // namespace

void execChangeWaitingLabel(const char* text) {
    MainWindow* window = MainWin;
    if (window == nullptr || text == nullptr)
        return;
    UpgradeDeviceController* job = window->upgradeJob();
    if (job == nullptr)
        return;
    job->setMessage(QString::fromLocal8Bit(text));
    job->ChangeWaitingLabelInMainThread();
}

int execAskFWUpgradeDialogInWindow(const char* printerVersion, const char* fileVersion) {
    // Two-argument arg(): a '%' inside a release text is not taken for a place marker.
    return askInWindow(kReleaseTitle,
                       QString(kReleaseQuestion)
                           .arg(QString::fromLocal8Bit(fileVersion), QString::fromLocal8Bit(printerVersion)));
}

// The request is worded for a terminal ("press Enter"); the window asks a YES/NO question instead.
int execRestartPrinterDialogInWindow(const char*) {
    return askInWindow(kRestartTitle, kRestartQuestion);
}

void MainWindow::showUpgradeData() {
    ui->label_UpgradeHeader->setText(kUpgradeHeader);
    ui->label_UpgradeHeader->setVisible(m_upgradeKind == kUpgradeNothing);
    ui->label_UpgradeInfo->setVisible(m_upgradeKind != kUpgradeNothing);
    ui->pushButton_UpgradePerform->setVisible(m_upgradeKind != kUpgradeNothing);
    ui->pushButton_UpgradeOpen->setEnabled(true);
}

bool MainWindow::loadUpgradeFile(const QString& name, QString& info) {
    const QByteArray path = name.toLocal8Bit();
    if (name.toLower().endsWith(".mod")) {
        if (!m_module.LoadModuleFromFile(path.constData()))
            return false;
        m_upgradeKind = kUpgradeModule;
        m_upgradeFileIdentity = audit::IdentityOf(name.toStdString(), m_module);
        info = "MODULE INFO:\n" + QString::fromStdString(m_module.GetFileInfo());
        return true;
    }
    if (!m_package.LoadPSWFromFile(path.constData(), true))
        return false;
    m_upgradeKind = kUpgradePackage;
    m_upgradeFileIdentity = audit::IdentityOf(name.toStdString(), m_package);
    info = "PSW INFO:\n" + QString::fromStdString(m_package.GetFileInfo(isExtendedInfoShown()));
    return true;
}

void MainWindow::handleUpgradeOpenClicked() {
    if (isJobRunning()) // the job reads the loaded file
        return;
    const QString name = DialogSeam::getOpenFileName(this, "Open File", getHomeDir(), kUpgradeFilter);
    if (name.isEmpty())
        return;
    m_upgradeKind = kUpgradeNothing;
    const QString lower = name.toLower();
    QString info;
    if (!lower.endsWith(".mod") && !lower.endsWith(".psw") && !lower.endsWith(".pfw"))
        showMessageBox("Error", "File name not valid");
    else if (!loadUpgradeFile(name, info))
        showMessageBox("Error", "File corrupted or not valid");
    if (m_upgradeKind == kUpgradeNothing) {
        // The file loaded before is forgotten: its summary must not stay on show.
        showUpgradeData();
        return;
    }
    ui->label_UpgradeHeader->hide();
    ui->label_UpgradeInfo->setText(info);
    ui->label_UpgradeInfo->show();
    ui->pushButton_UpgradePerform->setText(m_upgradeKind == kUpgradePackage ? "START UPGRADE"
                                                                            : "SEND MODULE");
    ui->pushButton_UpgradePerform->show();
}

bool MainWindow::chooseUpgradeComponents() {
    m_components = m_package.GetComponents();
    if (!m_package.HasModuleToChoose())
        return true;
    UpgElementsDialog dialog(m_components, DemandsFullUpgrade(m_package), this);
    if (DialogSeam::exec(dialog) != QDialog::Accepted)
        return false;
    int count = 0;
    const std::unique_ptr<PSWComponents> chosen = dialog.getModulesFromUIAvailable(&count);
    if (count == 0) {
        showMessageBox("Warning", "Nothing to be done, no modules selected.");
        return false;
    }
    m_components = *chosen;
    return true;
}

void MainWindow::handleUpgradePerformClicked() {
    if (isJobRunning())
        return;
    if (!m_portSettings.IsValid()) {
        showMessageBox("Warning", "Communication port not defined");
        return;
    }
    if (m_upgradeKind == kUpgradeNothing) {
        showMessageBox("Warning", "Upgrade File wasn't loaded correctly");
        return;
    }
    if (m_upgradeKind == kUpgradePackage) {
        if (chooseUpgradeComponents())
            startUpgradeJob(kUpgradePackage, "Upgrading Device");
    } else if (m_upgradeKind == kUpgradeModule) {
        startUpgradeJob(kUpgradeModule, "Writing Module");
    } else {
        showMessageBox("Warning", "File type not valid");
    }
}

void MainWindow::startUpgradeJob(int kind, const QString& title) {
    openWaitingDialog(title);
    m_waitingDialog->setLabelMsgVisible(true);
    ClearUpgradeStop(); // a request left from an earlier upgrade must not end this one
    installUpgradeBridges(true);
    m_upgradeJob = new UpgradeDeviceController(this);
    connect(m_upgradeJob, &UpgradeDeviceController::jobFinished, this, &MainWindow::handleUpgradeFinished);
    // The worker waits for the answer: the slot must have returned before the emit does.
    connect(m_upgradeJob, &UpgradeDeviceController::showDialog, this, &MainWindow::handleShowDialogFromFwUpg,
            Qt::BlockingQueuedConnection);
    // A module's transfer keeps the dialog's message as it is.
    if (kind == kUpgradePackage)
        connect(m_upgradeJob, &UpgradeDeviceController::changeWaitingLabel, this,
                &MainWindow::handleChangeWaitingLabel);
    m_upgradeJob->Start(&m_printerData, &m_portSettings, kind, &m_package, &m_components, &m_module,
                        m_upgradeFileIdentity);
}

void MainWindow::handleUpgradeFinished(int result) {
    if (result == kJobSuccess)
        showMessageBox("Info", m_upgradeKind == kUpgradePackage ? "Device upgrade successfull"
                                                                : "Module sent to the printer successfully");
    else
        showMessageBox("Error", QString("Operation failure, error code %1").arg(result));
    releaseUpgradeJob();
}

void MainWindow::releaseUpgradeJob() {
    installUpgradeBridges(false);
    closeWaitingDialog();
    if (m_upgradeJob != nullptr) {
        m_upgradeJob->deleteLater();
        m_upgradeJob = nullptr;
    }
}

void MainWindow::handleShowDialogFromFwUpg() {
    if (m_upgradeJob == nullptr)
        return;
    if (m_upgradeJob->isStopping()) { // the window is going: nobody to ask
        m_upgradeJob->setAnswer(UpgradeDeviceController::kAnswerStop);
        return;
    }
    AskDialog dialog(this);
    dialog.setText(m_upgradeJob->questionTitle(), m_upgradeJob->question());
    const bool yes = DialogSeam::exec(dialog) == QDialog::Accepted;
    m_upgradeJob->setAnswer(yes ? UpgradeDeviceController::kAnswerGoOn
                                : UpgradeDeviceController::kAnswerStop);
}

void MainWindow::handleChangeWaitingLabel() {
    if (m_upgradeJob == nullptr)
        return;
    const QStringList texts = m_upgradeJob->takeMessages();
    if (m_waitingDialog == nullptr || m_upgradeJob->isStopping())
        return;
    for (const QString& text : texts) {
        m_waitingDialog->getLabelMsg()->setText(text);
        emit upgradeMessageShown(text);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_upgradeJob != nullptr) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::stopUpgradeJob() {
    if (m_upgradeJob == nullptr)
        return;
    // The worker may be blocked on a question, which only this thread can deliver.
    m_upgradeJob->StopAndWait([this] { QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); });
    installUpgradeBridges(false);
    delete m_upgradeJob;
    m_upgradeJob = nullptr;
}
