// The tools and status pages. They are present in the working page, but their device jobs are not
// offered yet: the tools page stays empty and the status page only follows whether the printer
// describes its status. (The upgrade page is MainWindowUpgradePage.cpp.)
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

void MainWindow::showToolsData() {
    // No tool rows are built: running tools from the window is not offered yet.
}

void MainWindow::showStatusData() {
    ProtocolDataAvailable* available = m_printerData.GetProtocolDataAvailable();
    const bool offered = available != nullptr && available->StatusPrinterAvailable(true, false);
    ui->radioButton_Status->setVisible(offered);
    ui->pushButton_getStatus->hide(); // reading the live status is not offered yet
}
