#include "gui/dialogs/SetupRestoreDialog.h"

#include "gui/dialogs/DialogStyle.h"
#include "ui_SetupRestoreDialog.h"

SetupRestoreDialog::SetupRestoreDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SetupRestoreDialog>()) {
    m_ui->setupUi(this);
    DialogStyle::Apply(*this);
    connect(m_ui->pushButton_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->pushButton_Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SetupRestoreDialog::~SetupRestoreDialog() = default;

int SetupRestoreDialog::getSelection() const {
    return m_ui->radioButton_pageSettings->isChecked() ? 1 : 0;
}
