#include "gui/dialogs/AboutDialog.h"

#include "base/Version.h"
#include "gui/dialogs/DialogStyle.h"
#include "gui/resources/ApplicationResources.h"
#include "ui_AboutDialog.h"

#include <QPixmap>

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AboutDialog>()) {
    m_ui->setupUi(this);
    DialogStyle::Apply(*this);
    EnsureApplicationResources();
    m_ui->label->setPixmap(QPixmap(":/images/Logo_velmar.png"));
    m_ui->label_AboutVersion->setText(QString("Version ") + kDalvoraRelease);
    m_ui->label_AboutScode->setText(QString("SCODE ") + kDalvoraSoftwareCode);
    connect(m_ui->pushButtonOK, &QPushButton::clicked, this, &QDialog::accept);
}

AboutDialog::~AboutDialog() = default;
