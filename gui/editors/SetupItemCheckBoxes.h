// The editor of a checkboxes setup item: one check box per element, each tied to one bit of the
// item's byte array. Values are byte arrays of ceil(NumBits / 8) bytes.
#pragma once

#include "gui/editors/SetupItemBase.h"

#include <QByteArray>
#include <QList>
#include <cstdint>

class QCheckBox;
class SetupItemTypeCheckbox;

class SetupItemCheckBoxes : public SetupItemBase {
    Q_OBJECT

public:
    explicit SetupItemCheckBoxes(QWidget* parent = nullptr);

    // One box per element of the item, in element order; sets the value's byte count.
    void setButtonGroupForItem(const SetupItemTypeCheckbox& item);
    // The first `count` bytes of an item's byte array, and back (missing bytes written as 0).
    static QByteArray fromBytePtr(const uint8_t* bytes, int count);
    static void toBytePtr(const QByteArray& value, uint8_t* out, int count);
    // Position of the single bit of a mask (its lowest bit); 0 for a mask without bits.
    static int fromBitMaskToShiftPos(int mask);

    void setDescription(const QString& description, const QString& additional) override;
    // Values are QByteArray.
    void setBaseValue(const QVariant& value) override;
    QVariant getBaseValue() const override { return m_base; }
    void setValue(const QVariant& value) override;
    QVariant getValue() const override;
    bool isValueChanged() const override;
    int getType() const override { return 5; }
    void setDefaultValue(const QVariant& value) override;
    void resetToDefault() override;
    void resetToBase() override;

    int byteCount() const { return m_byteCount; }
    const QList<QCheckBox*>& checkBoxes() const { return m_boxes; }

private:
    void nameBoxes();

    struct BoxBit {
        int byteIndex = 0;
        int shift = 0;
    };

    QList<QCheckBox*> m_boxes;
    QList<BoxBit> m_bits;
    QWidget* m_boxPanel;
    int m_byteCount = 0;
    QByteArray m_base;
    QByteArray m_default;
};
