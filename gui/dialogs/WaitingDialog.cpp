#include "gui/dialogs/WaitingDialog.h"

#include "gui/dialogs/DialogStyle.h"
#include "gui/dialogs/WaitingSpinnerWidget.h"
#include "ui_WaitingDialog.h"

WaitingDialog::WaitingDialog(const QString& title, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_ui(std::make_unique<Ui::WaitingDialog>()) {
    m_ui->setupUi(this);
    DialogStyle::Apply(*this);
    setWindowModality(Qt::WindowModal);
    setFixedSize(250, 250);
    m_ui->labelTitle->setText(title);
    m_ui->labelMsg->setVisible(false);

    m_spinner = new WaitingSpinnerWidget(m_ui->frameSpinner, true, true);
    m_spinner->setColor(QColor(DialogStyle::kBlue));
    m_spinner->setRoundness(70.0);
    m_spinner->setMinimumTrailOpacity(15.0);
    m_spinner->setTrailFadePercentage(70.0);
    m_spinner->setRevolutionsPerSecond(1.0);
    m_spinner->setNumberOfLines(10);
    m_spinner->setLineLength(40);
    m_spinner->setLineWidth(10);
    m_spinner->setInnerRadius(20);
    m_ui->frameSpinner->setMinimumSize(m_spinner->size());
    m_spinner->start();
}

WaitingDialog::~WaitingDialog() = default;

void WaitingDialog::setLabelMsgVisible(bool visible) {
    m_ui->labelMsg->setVisible(visible);
}

QLabel* WaitingDialog::getLabelMsg() const {
    return m_ui->labelMsg;
}
