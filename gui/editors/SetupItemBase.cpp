#include "gui/editors/SetupItemBase.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
// The editors' one look: white page, light grey editors, 14-pixel text.
constexpr const char* kEditorStyle = "SetupItemBase { background-color: #FFFFFF; font-size: 14px; }"
                                     "SetupItemBase QLabel, SetupItemBase QCheckBox { font-size: 14px; }"
                                     "SetupItemBase QComboBox, SetupItemBase QDoubleSpinBox,"
                                     " SetupItemBase QDateTimeEdit, SetupItemBase QLineEdit"
                                     " { background-color: #E8E8E8; font-size: 14px; }";
} // namespace

SetupItemBase::SetupItemBase(QWidget* parent)
    : QWidget(parent), m_label(new QLabel(QStringLiteral("DESCRIPTION . . . . :"), this)),
      m_row(new QHBoxLayout(this)) {
    setAttribute(Qt::WA_StyledBackground, true);
    m_label->setWordWrap(true);
    m_row->addWidget(m_label, 1);
}

QString SetupItemBase::pageStyleSheet() {
    return QString::fromLatin1(kEditorStyle);
}

void SetupItemBase::setDescription(const QString& /*description*/, const QString& /*additional*/) {}
void SetupItemBase::setBaseValue(const QVariant& /*value*/) {}
QVariant SetupItemBase::getBaseValue() const {
    return 0;
}
void SetupItemBase::setValue(const QVariant& /*value*/) {}
QVariant SetupItemBase::getValue() const {
    return 0;
}
bool SetupItemBase::isValueChanged() const {
    return false;
}
int SetupItemBase::getType() const {
    return 0;
}
void SetupItemBase::setDefaultValue(const QVariant& /*value*/) {}
void SetupItemBase::resetToDefault() {}
void SetupItemBase::resetToBase() {}

void SetupItemBase::getStatusLink(int* enabled, int* visible) const {
    if (enabled != nullptr) {
        *enabled = m_linkEnabled ? 1 : 0;
    }
    if (visible != nullptr) {
        *visible = m_linkVisible ? 1 : 0;
    }
}

void SetupItemBase::setStatusLink(bool enabled, bool visible) {
    m_linkEnabled = enabled;
    m_linkVisible = visible;
}

void SetupItemBase::setVisibleByLinkStatus(bool wish) {
    setVisible(wish && m_linkVisible);
}

void SetupItemBase::setEnableByLinkStatus(bool wish) {
    setEnabled(wish && m_linkEnabled);
}

void SetupItemBase::addEditorControl(QWidget* control, bool placeInRow) {
    if (placeInRow) {
        m_row->addWidget(control, 1);
    }
    if (m_controls.isEmpty()) {
        m_label->setBuddy(control);
    } else {
        QWidget::setTabOrder(m_controls.last(), control);
    }
    if (control->focusPolicy() == Qt::NoFocus) {
        control->setFocusPolicy(Qt::StrongFocus);
    }
    // The window may describe the item before the kind has built all its controls.
    if (!m_description.isNull()) {
        control->setAccessibleName(m_description);
    }
    control->setToolTip(m_toolTip);
    m_controls.append(control);
}

void SetupItemBase::applyDescription(const QString& description, const QString& additional) {
    m_label->setText(description);
    m_description = description;
    m_additional = additional;
    for (QWidget* control : std::as_const(m_controls)) {
        control->setAccessibleName(description);
    }
}

QString SetupItemBase::defaultToolTip(const QString& defaultText) const {
    QString tip = QStringLiteral("DEFAULT: %1").arg(defaultText);
    if (!m_additional.isEmpty()) {
        tip += QStringLiteral(" (") + m_additional + QStringLiteral(")");
    }
    return tip;
}

void SetupItemBase::applyDefaultToolTip(const QString& defaultText) {
    m_toolTip = defaultToolTip(defaultText);
    for (QWidget* control : std::as_const(m_controls)) {
        control->setToolTip(m_toolTip);
    }
}
