#include "gui/dialogs/AskDialog.h"

#include "gui/dialogs/DialogStyle.h"
#include "ui_AskDialog.h"

AskDialog::AskDialog(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AskDialog>()) {
    m_ui->setupUi(this);
    DialogStyle::Apply(*this);
    connect(m_ui->pushButton_OK, &QPushButton::clicked, this, [this] {
        m_response = 1;
        accept();
    });
    connect(m_ui->pushButton_Cancel, &QPushButton::clicked, this, &AskDialog::reject);
}

AskDialog::~AskDialog() = default;

void AskDialog::setText(const QString& title, const QString& text) {
    setWindowTitle(DialogStyle::WindowTitle(title));
    m_ui->labelSubTitle->setText(title);
    m_ui->labelSubTitle->setVisible(!title.isEmpty());
    m_ui->labelMessage->setText(text);
}

void AskDialog::reject() {
    m_response = 0;
    QDialog::reject();
}
