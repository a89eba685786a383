// The status page: one indicator per status bit the printer describes, grouped as plain state, warning
// and error, plus the fixed communication indicator; the indicators follow the printer's live status,
// read once (with a waiting dialog) or polled in back-to-back cycles until the user stops.
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

#include "comm/PrinterJob.h"
#include "comm/PrinterJobs.h"
#include "gui/jobs/ExecOnDeviceController.h"
#include "gui/jobs/GetStatusDeviceController.h"

#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

constexpr int kIndicatorPointSize = 9;

void releaseJob(GetStatusDeviceController*& job) {
    if (job == nullptr)
        return;
    job->deleteLater();
    job = nullptr;
}

} // namespace

void MainWindow::showStatusData() {
    clearStatusIndicators();
    ProtocolDataAvailable* available = m_printerData.GetProtocolDataAvailable();
    const bool offered = available != nullptr && available->StatusPrinterAvailable(true, false);
    // Shown again for a printer with status after one without.
    ui->radioButton_Status->setVisible(offered);
    if (!offered) {
        ui->radioButton_CommunicationStatusError->setChecked(true);
        // An archive without status loaded while this page was shown would leave it unreachable.
        if (ui->radioButton_Status->isChecked())
            ui->radioButton_Setup->setChecked(true);
        return;
    }
    if (const StatusInfoGenData* general = m_printerData.GetStatusInfoGenData())
        addStatusItems(general->GetOnlyBitsAvailable(), m_generalStatusItems);
    if (const StatusInfoExtData* extended = m_printerData.GetStatusInfoExtData())
        addStatusItems(extended->GetOnlyBitsAvailable(), m_extendedStatusItems);
    ui->radioButton_CommunicationStatusError->setChecked(false);
}

void MainWindow::clearStatusIndicators() {
    for (QWidget* group : {ui->groupBox_Status, ui->groupBox_Warning, ui->groupBox_Error})
        qDeleteAll(group->findChildren<QRadioButton*>());
    ui->radioButton_CommunicationStatusError->setEnabled(false);
    m_generalStatusItems.clear();
    m_extendedStatusItems.clear();
}

void MainWindow::addStatusItems(const std::vector<const StatusBitInfo*>& bits, QList<UiStatusItem>& items) {
    for (const StatusBitInfo* info : bits) {
        auto* button = new QRadioButton(QString::fromStdString(info->GetDescription()));
        // Indicators only: the user does not set them, and each one is checked on its own.
        button->setAutoExclusive(false);
        button->setEnabled(false);
        QFont font = button->font();
        font.setPointSize(kIndicatorPointSize);
        button->setFont(font);
        if (!info->GetAddDescription().empty())
            button->setToolTip(QString::fromStdString(info->GetAddDescription()));
        // A family the printer invents beyond error counts as plain state.
        switch (info->GetSignalFamily()) {
        case 1:
            ui->verticalLayout_WarningItems->addWidget(button);
            break;
        case 2:
            ui->verticalLayout_ErrorItems->addWidget(button);
            break;
        default:
            ui->verticalLayout_StatusItems->addWidget(button);
            break;
        }
        items.append({button, info->GetByteRef(), info->GetBitRef()});
    }
}

void MainWindow::RefreshStatus(const unsigned char* answer, int length, const QList<UiStatusItem>& items) {
    for (const UiStatusItem& item : items)
        if (item.byte >= 1 && item.byte <= length && item.bit >= 0 && item.bit <= 7)
            item.button->setChecked(((answer[item.byte - 1] >> item.bit) & 1) != 0);
}

void MainWindow::refreshStatusItems(const StatusDevice* status) {
    if (status == nullptr)
        return;
    RefreshStatus(status->general.data(), std::min(status->generalLength, StatusDevice::kBufferSize),
                  m_generalStatusItems);
    RefreshStatus(status->extended.data(), std::min(status->extendedLength, StatusDevice::kBufferSize),
                  m_extendedStatusItems);
}

GetStatusDeviceController* MainWindow::startStatusJob(void (MainWindow::*handler)(int, void*)) {
    auto* job = new GetStatusDeviceController(this);
    connect(job, &GetStatusDeviceController::jobFinished, this, handler);
    job->Start(&m_printerData, &m_portSettings);
    return job;
}

void MainWindow::handleGetStatusClicked() {
    if (isJobRunning())
        return;
    if (!m_portSettings.IsValid()) {
        showMessageBox("Warning", "Communication port not defined");
        return;
    }
    openWaitingDialog("Get Device status");
    m_statusJob = startStatusJob(&MainWindow::handleGetStatusDevice);
}

void MainWindow::handleGetStatusDevice(int result, void* status) {
    const std::unique_ptr<StatusDevice> owned = GetStatusDeviceController::takeStatus(status);
    if (result == kJobSuccess) {
        refreshStatusItems(owned.get());
        ui->radioButton_CommunicationStatusError->setChecked(false);
    } else {
        ui->radioButton_CommunicationStatusError->setChecked(true);
        showMessageBox("Error", QString("Operation failure, error code %1").arg(result));
    }
    closeWaitingDialog();
    releaseJob(m_statusJob);
}

void MainWindow::handlePollStatusClicked() {
    if (!m_portSettings.IsValid()) {
        showMessageBox("Warning", "Communication port not defined");
        return;
    }
    if (m_polling) {
        m_polling = false; // the running cycle finishes; its handler starts no next one
        return;
    }
    if (!m_pollReady || isJobRunning()) {
        showMessageBox("Warning", "Please wait and retry");
        return;
    }
    m_polling = true;
    m_pollReady = false;
    ui->pushButton_pollStatus->setText("STOP");
    setPollingControlsEnabled(false);
    startPollCycle();
}

void MainWindow::startPollCycle() {
    m_pollJob = startStatusJob(&MainWindow::handlePollStatusDevice);
}

void MainWindow::handlePollStatusDevice(int result, void* status) {
    const std::unique_ptr<StatusDevice> owned = GetStatusDeviceController::takeStatus(status);
    if (result == kJobSuccess)
        refreshStatusItems(owned.get());
    ui->radioButton_CommunicationStatusError->setChecked(result != kJobSuccess);
    releaseJob(m_pollJob);
    if (m_polling) {
        startPollCycle(); // no pause: the next cycle's own session is the pace
        return;
    }
    m_pollReady = true;
    ui->pushButton_pollStatus->setText("POLL STATUS");
    setPollingControlsEnabled(true);
}

// While polling, nothing else may start a job or change what the cycles read.
void MainWindow::setPollingControlsEnabled(bool enabled) {
    ui->groupBox_MainLateralMenu->setEnabled(enabled);
    ui->frame_1->setEnabled(enabled);
    ui->pushButton_getStatus->setEnabled(enabled);
}

bool MainWindow::isToolOrStatusJobRunning() const {
    return m_toolJob != nullptr || m_statusJob != nullptr || m_pollJob != nullptr;
}

// Destroying a controller waits for its thread, so nothing the worker uses goes before it ends.
void MainWindow::stopToolAndStatusJobs() {
    m_polling = false;
    delete m_toolJob;
    m_toolJob = nullptr;
    delete m_statusJob;
    m_statusJob = nullptr;
    delete m_pollJob;
    m_pollJob = nullptr;
}
