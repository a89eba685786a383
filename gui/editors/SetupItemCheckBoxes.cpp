#include "gui/editors/SetupItemCheckBoxes.h"

#include "model/SetupItemType.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cstring>

SetupItemCheckBoxes::SetupItemCheckBoxes(QWidget* parent)
    : SetupItemBase(parent), m_boxPanel(new QWidget(this)) {
    auto* column = new QVBoxLayout(m_boxPanel);
    column->setContentsMargins(0, 0, 0, 0);
    rowLayout()->addWidget(m_boxPanel, 1);
}

int SetupItemCheckBoxes::fromBitMaskToShiftPos(int mask) {
    const auto bits = static_cast<unsigned>(mask);
    for (int shift = 0; shift < 32; ++shift) {
        if ((bits >> shift & 1U) != 0) {
            return shift;
        }
    }
    return 0;
}

QByteArray SetupItemCheckBoxes::fromBytePtr(const uint8_t* bytes, int count) {
    if (bytes == nullptr || count <= 0) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(bytes), count);
}

void SetupItemCheckBoxes::toBytePtr(const QByteArray& value, uint8_t* out, int count) {
    if (out == nullptr || count <= 0) {
        return;
    }
    const int copied = std::min(count, static_cast<int>(value.size()));
    std::memcpy(out, value.constData(), static_cast<size_t>(copied));
    std::memset(out + copied, 0, static_cast<size_t>(count - copied));
}

void SetupItemCheckBoxes::setButtonGroupForItem(const SetupItemTypeCheckbox& item) {
    m_byteCount = static_cast<int>(item.MeaningfulBytes());
    for (const CheckboxElement& element : item.GetElements()) {
        auto* box = new QCheckBox(QString::fromStdString(element.Text), m_boxPanel);
        m_boxPanel->layout()->addWidget(box);
        addEditorControl(box, false);
        m_boxes.append(box);
        m_bits.append({element.ByteIndex, fromBitMaskToShiftPos(element.BitMask)});
        connect(box, &QCheckBox::stateChanged, this, [this] { notifyValueChanged(); });
    }
    nameBoxes();
}

void SetupItemCheckBoxes::nameBoxes() {
    if (description().isNull()) {
        return;
    }
    // Each box is named by the item and its own text, so that the boxes can be told apart.
    for (QCheckBox* box : std::as_const(m_boxes)) {
        box->setAccessibleName(description() + QStringLiteral(": ") + box->text());
    }
}

void SetupItemCheckBoxes::setDescription(const QString& description, const QString& additional) {
    applyDescription(description, additional);
    nameBoxes();
}

void SetupItemCheckBoxes::setBaseValue(const QVariant& value) {
    m_base = value.toByteArray();
    setValue(m_base);
}

void SetupItemCheckBoxes::setValue(const QVariant& value) {
    const QByteArray bytes = value.toByteArray();
    const QByteArray before = getValue().toByteArray();
    for (int i = 0; i < m_boxes.size(); ++i) {
        const BoxBit& bit = m_bits.at(i);
        const bool set = bit.byteIndex >= 0 && bit.byteIndex < bytes.size() &&
                         (static_cast<uint8_t>(bytes.at(bit.byteIndex)) >> bit.shift & 1U) != 0;
        const QSignalBlocker block(m_boxes.at(i));
        m_boxes.at(i)->setChecked(set);
    }
    if (getValue().toByteArray() != before) {
        notifyValueChanged();
    }
}

QVariant SetupItemCheckBoxes::getValue() const {
    QByteArray bytes(m_byteCount, '\0');
    for (int i = 0; i < m_boxes.size(); ++i) {
        const BoxBit& bit = m_bits.at(i);
        // A box whose bit lies beyond the item's bytes has nowhere to go.
        if (m_boxes.at(i)->isChecked() && bit.byteIndex >= 0 && bit.byteIndex < m_byteCount) {
            bytes[bit.byteIndex] =
                static_cast<char>(static_cast<uint8_t>(bytes.at(bit.byteIndex)) | 1U << bit.shift);
        }
    }
    return bytes;
}

bool SetupItemCheckBoxes::isValueChanged() const {
    // The base compared over the value's own length, missing bytes as 0.
    QByteArray base = m_base.left(m_byteCount);
    base.append(QByteArray(m_byteCount - base.size(), '\0'));
    return getValue().toByteArray() != base;
}

void SetupItemCheckBoxes::setDefaultValue(const QVariant& value) {
    m_default = value.toByteArray();
    applyDefaultToolTip(QStringLiteral("0x") + QString::fromLatin1(m_default.toHex()));
}

void SetupItemCheckBoxes::resetToDefault() {
    setValue(m_default);
}

void SetupItemCheckBoxes::resetToBase() {
    setValue(m_base);
}
