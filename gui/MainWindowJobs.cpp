// Reading and writing the printer: each a background job with a waiting dialog, one job at a time; the
// handlers turn the job's result into the working page and the message the user sees.
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

#include "base/DalvoraException.h"
#include "comm/PrinterJob.h"
#include "gui/dialogs/WaitingDialog.h"
#include "gui/jobs/ReadDeviceDataController.h"
#include "gui/jobs/WriteDeviceDataController.h"

bool MainWindow::isJobRunning() const {
    return m_readJob != nullptr || m_writeJob != nullptr || m_upgradeJob != nullptr ||
           isToolOrStatusJobRunning();
}

void MainWindow::openWaitingDialog(const QString& title) {
    closeWaitingDialog();
    m_waitingDialog = new WaitingDialog(title, this);
    m_waitingDialog->show();
}

void MainWindow::closeWaitingDialog() {
    if (m_waitingDialog == nullptr)
        return;
    m_waitingDialog->close();
    delete m_waitingDialog;
}

// Destroying a controller waits for its thread, so nothing the worker uses goes before it ends.
void MainWindow::stopRunningJobs() {
    stopUpgradeJob();
    delete m_readJob;
    m_readJob = nullptr;
    delete m_writeJob;
    m_writeJob = nullptr;
    stopToolAndStatusJobs();
}

void MainWindow::loadSetupFromDevice() {
    if (isJobRunning())
        return;
    if (!m_portSettings.IsValid()) {
        showMessageBox("Warning", "Communication port not defined");
        return;
    }
    ui->stackedWidgetMainBody->setCurrentWidget(ui->page_1);
    openWaitingDialog("Reading setup");
    // The editors point into the printer data that is about to be emptied.
    resetSetupData();
    m_printerData.Reset();
    m_readJob = new ReadDeviceDataController(this);
    connect(m_readJob, &ReadDeviceDataController::jobFinished, this, &MainWindow::handleDeviceDataRead);
    m_readJob->Start(&m_printerData, &m_portSettings);
}

void MainWindow::handleDeviceDataRead(int result) {
    if (result != kJobSuccess && result < kJobFalseResult)
        showMessageBox("Error", QString("Operation failure, error code %1").arg(result));
    ui->stackedWidgetMainBody->setCurrentWidget(ui->page_2);
    if (result >= kJobUnreadItemsBase)
        showMessageBox(
            "Warning",
            QString("Attention.\n %1 errors were forund during operation").arg(result - kJobUnreadItemsBase));
    showPrinterData();
    ui->radioButton_Setup->setChecked(true);
    ui->radioButton_SetupInfo->setChecked(true);
    closeWaitingDialog();
    if (m_readJob != nullptr) {
        m_readJob->deleteLater();
        m_readJob = nullptr;
    }
}

void MainWindow::saveSetupToDevice() {
    if (isJobRunning())
        return;
    updateSetupDataFromUi();
    if (!m_portSettings.IsValid()) {
        showMessageBox("Warning", "Communication port not defined");
        return;
    }
    if (m_printerData.isEmpty()) {
        showMessageBox("Warning", "No valid data to save");
        return;
    }
    std::string message;
    if (!m_printerData.CheckDataValues(m_saveSelection, message)) {
        showMessageBox("Warning", QString::fromStdString(message));
        return;
    }
    openWaitingDialog("Writing setup");
    m_saveSelection.SetupDataToSave(false, true);
    m_writeJob = new WriteDeviceDataController(this);
    connect(m_writeJob, &WriteDeviceDataController::jobFinished, this, &MainWindow::handleDeviceDataWrite);
    m_writeJob->Start(&m_printerData, &m_portSettings, &m_saveSelection);
}

void MainWindow::handleDeviceDataWrite(int result) {
    closeWaitingDialog();
    if (m_writeJob != nullptr) {
        m_writeJob->deleteLater();
        m_writeJob = nullptr;
    }
    if (result == kJobSuccess) {
        updateSetupDataAfterWrite();
        showMessageBox("Information", "Operation success");
        return;
    }
    showMessageBox("Error",
                   QString("Operation failure (errorCode %1)").arg(result) +
                       QString::fromStdString(DalvoraException::getDescriptionFromErrorCode(result)));
}
