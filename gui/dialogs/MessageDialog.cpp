#include "gui/dialogs/MessageDialog.h"

#include "gui/dialogs/DialogStyle.h"
#include "ui_MessageDialog.h"

MessageDialog::MessageDialog(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::MessageDialog>()) {
    m_ui->setupUi(this);
    DialogStyle::Apply(*this);
    connect(m_ui->pushButtonOK, &QPushButton::clicked, this, &QDialog::accept);
}

MessageDialog::~MessageDialog() = default;

void MessageDialog::setText(const QString& title, const QString& text) {
    setWindowTitle(DialogStyle::WindowTitle(title));
    // The heading repeats the title inside the frame, where window managers without decorations
    // would otherwise hide it.
    m_ui->labelSubTitle->setText(title);
    m_ui->labelSubTitle->setVisible(!title.isEmpty());
    m_ui->labelMessage->setText(text);
}
