// Configuration archives: loading one into the window, and saving what the window holds.
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

#include "base/DalvoraException.h"
#include "gui/DialogSeam.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

namespace {

constexpr const char* kArchiveFilter = "Tcfx Config Files (*.tcfx);; All Files (*.*)";
constexpr const char* kArchiveEnding = ".tcfx";

} // namespace

void MainWindow::loadSettingsFromFile() {
    if (isJobRunning())
        return;
    const QString name = DialogSeam::getOpenFileName(this, "Open File", getHomeDir(), kArchiveFilter);
    if (name.isEmpty())
        return;
    TCFXDataReader reader;
    if (!reader.openDocumentFromFile(name.toLocal8Bit().constData())) {
        showMessageBox("Error", "Error reading input file");
        return;
    }
    // Read into a fresh record so that an archive refused half-way leaves the shown data as it was.
    PrinterData loaded;
    try {
        loaded.Serialize_Load(reader);
    } catch (const DalvoraException&) {
        showMessageBox("Error", "Error reading input file");
        return;
    }
    resetSetupData(); // the editors point into the data being replaced
    m_printerData = std::move(loaded);
    showPrinterData();
    if (ui->buttonGroupMainMenu->checkedButton() == nullptr)
        ui->radioButton_Setup->setChecked(true);
    if (ui->buttonGroupSetupMenu->checkedButton() == nullptr)
        ui->radioButton_SetupInfo->setChecked(true);
    showMessageBox("Information", "Operation success");
}

void MainWindow::saveSettingsToFile() {
    if (isJobRunning())
        return;
    if (m_printerData.isEmpty()) {
        showMessageBox("Warning", "No valid data to save");
        return;
    }
    // The check must see the values as edited, not as they were before the edit.
    updateSetupDataFromUi();
    std::string message;
    if (!m_printerData.CheckDataValues(m_saveSelection, message)) {
        showMessageBox("Warning", QString::fromStdString(message));
        return;
    }
    QString name = DialogSeam::getSaveFileName(this, "Save File", getHomeDir(), kArchiveFilter);
    if (name.isEmpty())
        return;
    if (!name.toLower().endsWith(kArchiveEnding))
        name += kArchiveEnding;
    updateSetupDataAfterWrite();
    m_printerData.GetProtocolDataAvailable()->SetToSaveAllTheDataAvailable();
    TCFXDataWriter writer;
    const bool saved = writer.openDocument() && m_printerData.Serialize_Save(writer) &&
                       writer.saveToFile(name.toLocal8Bit().constData());
    if (saved)
        showMessageBox("Information", "Operation success");
    else
        showMessageBox("Error", "Operation failure");
}
