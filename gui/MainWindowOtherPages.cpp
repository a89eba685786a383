// The upgrade page. It is present in the working page, but its device job is not offered yet: the page
// shows its instructions without an upgrade file.
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

namespace {

constexpr const char* kUpgradeHeader =
    "To perform an upgrade select a file as follows:\n\nFor firmware upgrade, click on OPEN and select\na "
    ".psw "
    "or .pfw file on your PC\n\nFor module upgrade, click on OPEN and select\na .mod file on your PC";

} // namespace

void MainWindow::showUpgradeData() {
    ui->label_UpgradeHeader->setText(kUpgradeHeader);
    ui->label_UpgradeHeader->setVisible(m_upgradeKind == 0);
    ui->label_UpgradeInfo->setVisible(m_upgradeKind != 0);
    ui->pushButton_UpgradePerform->setVisible(m_upgradeKind != 0);
    ui->pushButton_UpgradeOpen->setEnabled(false); // loading upgrade files is not offered yet
}
