#include "gui/editors/SetupItemNumeric.h"

#include "model/SetupItemType.h"

#include <QDoubleSpinBox>
#include <QSlider>
#include <algorithm>
#include <cmath>

SetupItemNumeric::SetupItemNumeric(QWidget* parent)
    : SetupItemBase(parent), m_slider(new QSlider(Qt::Horizontal, this)), m_spin(new QDoubleSpinBox(this)) {
    // Values are numbers with a '.' decimal point whatever the user's locale, as the printer shows them.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    m_spin->setLocale(c);
    // A typed value is taken (and snapped) once the user confirms it, not at every keystroke, so that
    // "3.25" is not snapped while it is still "3.2".
    m_spin->setKeyboardTracking(false);
    m_slider->setFocusPolicy(Qt::StrongFocus);
    addEditorControl(m_slider);
    addEditorControl(m_spin);
    connect(m_slider, &QSlider::valueChanged, this, &SetupItemNumeric::onSliderMoved);
    connect(m_spin, qOverload<double>(&QDoubleSpinBox::valueChanged), this, &SetupItemNumeric::onSpinChanged);
}

void SetupItemNumeric::setStepRange(double step, double min, double max) {
    // A zero or negative step would leave no grid to snap to; one unit keeps the editor usable.
    m_step = step > 0 ? step : 1;
    m_min = min;
    const QSignalBlocker blockSpin(m_spin);
    const QSignalBlocker blockSlider(m_slider);
    m_spin->setDecimals(SetupItemTypeNumeric::getNumOfDecimalDigits(static_cast<float>(m_step)));
    m_spin->setRange(min, max);
    m_spin->setSingleStep(m_step);
    m_slider->setRange(0, std::max(0, positionOf(max)));
    m_slider->setSingleStep(1);
    m_slider->setPageStep(std::max(1, m_slider->maximum() / 10));
}

int SetupItemNumeric::positionOf(double value) const {
    return static_cast<int>(std::lround(value / m_step) - std::lround(m_min / m_step));
}

double SetupItemNumeric::valueAt(int position) const {
    return position * m_step + m_min;
}

bool SetupItemNumeric::sameValues(double a, double b) const {
    return std::fabs(a - b) <= m_step / 10;
}

void SetupItemNumeric::setDescription(const QString& description, const QString& additional) {
    applyDescription(description, additional);
}

void SetupItemNumeric::showValue(double value) {
    const double before = m_spin->value();
    {
        const QSignalBlocker blockSpin(m_spin);
        const QSignalBlocker blockSlider(m_slider);
        m_spin->setValue(value);
        m_slider->setValue(positionOf(value));
    }
    if (m_spin->value() != before) {
        notifyValueChanged();
    }
}

void SetupItemNumeric::setBaseValue(const QVariant& value) {
    m_base = value.toDouble();
    showValue(m_base);
}

void SetupItemNumeric::setValue(const QVariant& value) {
    showValue(value.toDouble());
}

QVariant SetupItemNumeric::getValue() const {
    return m_spin->value();
}

bool SetupItemNumeric::isValueChanged() const {
    return !sameValues(m_spin->value(), m_base);
}

void SetupItemNumeric::setDefaultValue(const QVariant& value) {
    m_default = value.toDouble();
    applyDefaultToolTip(QString::number(m_default, 'f', m_spin->decimals()));
}

void SetupItemNumeric::resetToDefault() {
    showValue(m_default);
}

void SetupItemNumeric::resetToBase() {
    showValue(m_base);
}

void SetupItemNumeric::onSliderMoved(int position) {
    {
        const QSignalBlocker blockSpin(m_spin);
        m_spin->setValue(valueAt(position));
    }
    notifyValueChanged();
}

void SetupItemNumeric::onSpinChanged(double value) {
    const int position = positionOf(value);
    const double snapped = valueAt(position);
    {
        const QSignalBlocker blockSpin(m_spin);
        const QSignalBlocker blockSlider(m_slider);
        if (!sameValues(value, snapped)) {
            m_spin->setValue(snapped);
        }
        m_slider->setValue(position);
    }
    notifyValueChanged();
}
