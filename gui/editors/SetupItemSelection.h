// The editor of a list setup item: a combo box whose entry i carries the value first + i.
#pragma once

#include "gui/editors/SetupItemBase.h"

#include <QStringList>

class QComboBox;

class SetupItemSelection : public SetupItemBase {
    Q_OBJECT

public:
    explicit SetupItemSelection(QWidget* parent = nullptr);

    // The value of the first entry; entry i carries first + i.
    void setFirstValue(int first);
    void setSelection(const QStringList& texts);

    void setDescription(const QString& description, const QString& additional) override;
    void setBaseValue(const QVariant& value) override;
    QVariant getBaseValue() const override { return m_base; }
    // Selects the entry carrying the integer value; a value no entry carries selects none.
    void setValue(const QVariant& value) override;
    // The value of the selected entry; with none selected, the value last set.
    QVariant getValue() const override;
    bool isValueChanged() const override;
    int getType() const override { return 1; }
    void setDefaultValue(const QVariant& value) override;
    void resetToDefault() override;
    void resetToBase() override;

    QComboBox* comboBox() const { return m_combo; }

private:
    void onIndexChanged(int index);

    QComboBox* m_combo;
    int m_first = 0;
    int m_base = 0;
    int m_default = 0;
    int m_unlisted = 0;
};
