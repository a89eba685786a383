#include "gui/editors/SetupItemSelection.h"

#include <QComboBox>

SetupItemSelection::SetupItemSelection(QWidget* parent)
    : SetupItemBase(parent), m_combo(new QComboBox(this)) {
    addEditorControl(m_combo);
    connect(m_combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &SetupItemSelection::onIndexChanged);
}

void SetupItemSelection::setFirstValue(int first) {
    m_first = first;
    for (int i = 0; i < m_combo->count(); ++i) {
        m_combo->setItemData(i, m_first + i);
    }
}

void SetupItemSelection::setSelection(const QStringList& texts) {
    const QSignalBlocker block(m_combo);
    m_combo->clear();
    for (int i = 0; i < texts.size(); ++i) {
        m_combo->addItem(texts.at(i), m_first + i);
    }
    m_combo->setCurrentIndex(-1);
}

void SetupItemSelection::setDescription(const QString& description, const QString& additional) {
    applyDescription(description, additional);
}

void SetupItemSelection::setBaseValue(const QVariant& value) {
    m_base = value.toInt();
    setValue(m_base);
}

void SetupItemSelection::setValue(const QVariant& value) {
    const int wanted = value.toInt();
    const int before = getValue().toInt();
    m_unlisted = wanted;
    {
        const QSignalBlocker block(m_combo);
        m_combo->setCurrentIndex(m_combo->findData(wanted));
    }
    if (before != wanted) {
        notifyValueChanged();
    }
}

QVariant SetupItemSelection::getValue() const {
    const QVariant data = m_combo->currentData();
    return data.isValid() ? data.toInt() : m_unlisted;
}

bool SetupItemSelection::isValueChanged() const {
    return getValue().toInt() != m_base;
}

void SetupItemSelection::setDefaultValue(const QVariant& value) {
    m_default = value.toInt();
    const int index = m_combo->findData(m_default);
    applyDefaultToolTip(index >= 0 ? m_combo->itemText(index) : QString::number(m_default));
}

void SetupItemSelection::resetToDefault() {
    setValue(m_default);
}

void SetupItemSelection::resetToBase() {
    setValue(m_base);
}

void SetupItemSelection::onIndexChanged(int index) {
    if (index >= 0) {
        m_unlisted = m_combo->itemData(index).toInt();
    }
    notifyValueChanged();
}
