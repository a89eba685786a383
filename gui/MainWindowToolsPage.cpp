// The tools page: one row (button and description) per service tool the printer offers, and the tool
// job that runs one of them with a waiting dialog; the upload tool first reads the script file the user
// chooses. The tool's answer lines end up in an Info box.
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

#include "comm/AnswerRecord.h"
#include "comm/PrinterJob.h"
#include "gui/DialogSeam.h"
#include "gui/jobs/ExecOnDeviceController.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cstring>

namespace {

struct ToolRowText {
    const char* button;
    const char* description;
};

// Row i is the tool with the mask bit 1 << i, as in ToolsVector().
constexpr std::array<ToolRowText, MainWindow::kToolRowCount> kToolRows = {{
    {"BLACKMARK AUTOSET",
     "The device adjusts the blackmark sensor input to match the degree of whiteness of the paper and the "
     "blackness of pre-printed mark being used (available only if blackmark is enabled)."},
    {"PAPER CHARACTERIZATION", "The device prints a graphic representation of the output voltage of "
                               "alignment sensor (available only if blackmark is enabled)."},
    {"PRINT DEVICE SETUP", "The device prints a Setup report."},
    {"SET CURRENT DATE/TIME", "Set into the device the current Date/Time."},
    {"HEAD TEST", "The device performs a Head Test and returns its status."},
    {"UPLOAD SCRIPT FILE", "Send to the device a script (.spt) file."},
    {"FLASH RESET", "Reset the device FLASH to Factory default."},
}};

constexpr uint32_t kUploadScriptMask = 0x20;
constexpr int kRunToolType = 1;
constexpr const char* kScriptFilter = "Script Files (*.spt);; All Files (*.*)";

} // namespace

void MainWindow::initToolsAndStatusPages() {
    for (int i = 0; i < kToolRowCount; ++i) {
        auto* button = new QPushButton(kToolRows[i].button, ui->page_inner_tools);
        button->setObjectName(QString("pushButton_Tool%1").arg(i + 1));
        auto* label = new QLabel(kToolRows[i].description, ui->page_inner_tools);
        label->setObjectName(QString("label_Tool%1").arg(i + 1));
        label->setWordWrap(true);
        ui->gridLayout_Tools->addWidget(button, i, 0);
        ui->gridLayout_Tools->addWidget(label, i, 1);
        button->hide();
        label->hide();
        connect(button, &QPushButton::clicked, this, [this, i] { handleToolsButtonClicked(i); });
        m_toolRows[i] = {button, label};
    }

    for (QLayout* group : {ui->verticalLayout_StatusItems, ui->verticalLayout_WarningItems,
                           ui->verticalLayout_CommunicationItems, ui->verticalLayout_ErrorItems})
        group->setAlignment(Qt::AlignTop);
    ui->pushButton_pollStatus->hide(); // offered only with --SWPOLLSTATUS
    connect(ui->pushButton_getStatus, &QPushButton::clicked, this, &MainWindow::handleGetStatusClicked);
    connect(ui->pushButton_pollStatus, &QPushButton::clicked, this, &MainWindow::handlePollStatusClicked);
}

void MainWindow::showToolsData() {
    for (const auto& [button, label] : m_toolRows) {
        button->hide();
        label->hide();
    }
    ProtocolDataAvailable* available = m_printerData.GetProtocolDataAvailable();
    if (available == nullptr || !available->ToolsAvailable(true, false))
        return;
    const uint32_t mask = m_printerData.GetToolsData().GetTools1();
    for (int i = 0; i < kToolRowCount; ++i)
        if ((mask & (1u << i)) != 0) {
            m_toolRows[i].first->show();
            m_toolRows[i].second->show();
        }
}

void MainWindow::handleToolsButtonClicked(int index) {
    const std::vector<ToolTag>& table = ToolsVector();
    if (isJobRunning() || index < 0 || static_cast<size_t>(index) >= table.size())
        return;
    m_currentTool = table[static_cast<size_t>(index)];
    m_toolScript.clear();
    if (m_currentTool.ToolMask == kUploadScriptMask && !loadToolScript())
        return;
    if (!m_portSettings.IsValid()) {
        showMessageBox("Warning", "Communication port not defined");
        return;
    }
    openWaitingDialog("Exec Tool On Printer");
    m_toolJob = new ExecOnDeviceController(this);
    connect(m_toolJob, &ExecOnDeviceController::jobFinished, this, &MainWindow::handleExecToolOnDevice);
    auto* bytes = m_toolScript.isEmpty() ? nullptr : reinterpret_cast<unsigned char*>(m_toolScript.data());
    m_toolJob->Start(&m_printerData, &m_portSettings, m_printerData.GetProtocolDataAvailable(), kRunToolType,
                     &m_currentTool, bytes, static_cast<int>(m_toolScript.size()));
}

bool MainWindow::loadToolScript() {
    const QString name = DialogSeam::getOpenFileName(this, "Open File", getHomeDir(), kScriptFilter);
    if (name.isEmpty()) {
        showMessageBox("Error", "Error reading input file");
        return false;
    }
    QFile file(name);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    // A short read would send a truncated script as if it were whole.
    if (!file.isOpen() || file.error() != QFileDevice::NoError || bytes.size() != file.size()) {
        showMessageBox("Error", "Load file error");
        return false;
    }
    m_toolScript = bytes;
    return true;
}

void MainWindow::handleExecToolOnDevice(int result, void* answer) {
    const std::unique_ptr<AnswerRecord> owned = ExecOnDeviceController::takeAnswer(answer);
    if (result != kJobSuccess) {
        showMessageBox("Error", QString("Exec Tool On Printer Failed, error code %1").arg(result));
    } else {
        const QString text = ToolAnswerText(owned.get());
        showMessageBox("Info", text.isEmpty() ? QString("Operation Success") : text);
    }
    closeWaitingDialog();
    if (m_toolJob != nullptr) {
        m_toolJob->deleteLater();
        m_toolJob = nullptr;
    }
    m_toolScript.clear();
}

// The answer is two decimal digits n, then n slots of LineTable::kSlotSize characters, each line NUL
// padded. The count comes from the printer: only the slots the buffer really holds are read.
QString MainWindow::ToolAnswerText(const AnswerRecord* answer) {
    const LineTable* table = answer != nullptr ? answer->Get<LineTable>() : nullptr;
    if (table == nullptr)
        return {};
    const std::vector<char>& buffer = table->Buffer;
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (buffer.size() < 2 || !isDigit(buffer[0]) || !isDigit(buffer[1]))
        return {};
    const size_t count = static_cast<size_t>((buffer[0] - '0') * 10 + (buffer[1] - '0'));
    QString text;
    for (size_t line = 0; line < count; ++line) {
        const size_t start = 2 + line * LineTable::kSlotSize;
        if (start >= buffer.size())
            break;
        const size_t room = std::min(LineTable::kSlotSize, buffer.size() - start);
        const char* slot = buffer.data() + start;
        const size_t length = strnlen(slot, room);
        text += QString::fromStdString(std::string(slot, length)) + "\n";
    }
    return text;
}
