// The tools, upgrade and status pages. They are present in the working page, but their device jobs
// are not offered yet: the tools page stays empty, the upgrade page shows its instructions without an
// upgrade file, and the status page only follows whether the printer describes its status.
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

namespace {

constexpr const char* kUpgradeHeader =
    "To perform an upgrade select a file as follows:\n\nFor firmware upgrade, click on OPEN and select\na "
    ".psw "
    "or .pfw file on your PC\n\nFor module upgrade, click on OPEN and select\na .mod file on your PC";

} // namespace

void MainWindow::showToolsData() {
    // No tool rows are built: running tools from the window is not offered yet.
}

void MainWindow::showUpgradeData() {
    ui->label_UpgradeHeader->setText(kUpgradeHeader);
    ui->label_UpgradeHeader->setVisible(m_upgradeKind == 0);
    ui->label_UpgradeInfo->setVisible(m_upgradeKind != 0);
    ui->pushButton_UpgradePerform->setVisible(m_upgradeKind != 0);
    ui->pushButton_UpgradeOpen->setEnabled(false); // loading upgrade files is not offered yet
}

void MainWindow::showStatusData() {
    ProtocolDataAvailable* available = m_printerData.GetProtocolDataAvailable();
    const bool offered = available != nullptr && available->StatusPrinterAvailable(true, false);
    ui->radioButton_Status->setVisible(offered);
    ui->pushButton_getStatus->hide(); // reading the live status is not offered yet
}
