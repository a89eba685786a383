// The editor of a string setup item: a line edit whose accepted characters, echo and read-only state
// follow the item's data mask, and whose length the item limits.
#pragma once

#include "gui/editors/SetupItemBase.h"

#include <cstdint>

class QLineEdit;

class SetupItemText : public SetupItemBase {
    Q_OBJECT

public:
    explicit SetupItemText(QWidget* parent = nullptr);

    // The editor's maximum length is max (cut to the item's 511 characters); the minimum is not enforced.
    void setLengthRange(int min, int max);
    void setDataBitmask(uint32_t mask);
    // The character class ("[...]" contents, escaped) that a data mask allows.
    static QString allowedCharacterClass(uint32_t mask);

    void setDescription(const QString& description, const QString& additional) override;
    // Values are texts (QString).
    void setBaseValue(const QVariant& value) override;
    QVariant getBaseValue() const override { return m_base; }
    void setValue(const QVariant& value) override;
    QVariant getValue() const override;
    bool isValueChanged() const override;
    int getType() const override { return 4; }
    void setDefaultValue(const QVariant& value) override;
    void resetToDefault() override;
    void resetToBase() override;

    QLineEdit* lineEdit() const { return m_edit; }

private:
    QLineEdit* m_edit;
    QString m_base;
    QString m_default;
};
