// The editor of a numeric setup item: a slider over the steps between the limits and a decimal spin
// box, kept in step with each other; typed values snap to the nearest step.
#pragma once

#include "gui/editors/SetupItemBase.h"

class QDoubleSpinBox;
class QSlider;

class SetupItemNumeric : public SetupItemBase {
    Q_OBJECT

public:
    explicit SetupItemNumeric(QWidget* parent = nullptr);

    // Spin box min..max by step with the step's decimals; slider 0..round(max/step)-round(min/step).
    void setStepRange(double step, double min, double max);

    void setDescription(const QString& description, const QString& additional) override;
    void setBaseValue(const QVariant& value) override;
    QVariant getBaseValue() const override { return m_base; }
    void setValue(const QVariant& value) override;
    // The spin box value (a double).
    QVariant getValue() const override;
    bool isValueChanged() const override;
    int getType() const override { return 2; }
    void setDefaultValue(const QVariant& value) override;
    void resetToDefault() override;
    void resetToBase() override;

    // Equal within a tenth of the step.
    bool sameValues(double a, double b) const;
    QSlider* slider() const { return m_slider; }
    QDoubleSpinBox* spinBox() const { return m_spin; }

private:
    int positionOf(double value) const;
    double valueAt(int position) const;
    void showValue(double value);
    void onSliderMoved(int position);
    void onSpinChanged(double value);

    QSlider* m_slider;
    QDoubleSpinBox* m_spin;
    double m_step = 1;
    double m_min = 0;
    double m_base = 0;
    double m_default = 0;
};
