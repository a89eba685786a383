#include "gui/editors/SetupItemDateTime.h"

#include <QDateTimeEdit>

SetupItemDateTime::SetupItemDateTime(QWidget* parent)
    : SetupItemBase(parent), m_edit(new QDateTimeEdit(this)) {
    m_edit->setTimeSpec(Qt::LocalTime);
    m_edit->setDisplayFormat(QString::fromLatin1(kFormat));
    addEditorControl(m_edit);
    connect(m_edit, &QDateTimeEdit::dateTimeChanged, this, [this] { notifyValueChanged(); });
}

QDateTime SetupItemDateTime::fromTimeT(long seconds) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), Qt::LocalTime);
}

long SetupItemDateTime::toTimeT(const QDateTime& dateTime) {
    return static_cast<long>(dateTime.toSecsSinceEpoch());
}

void SetupItemDateTime::setDescription(const QString& description, const QString& additional) {
    applyDescription(description, additional);
}

void SetupItemDateTime::setBaseValue(const QVariant& value) {
    m_base = static_cast<long>(value.toLongLong());
    setValue(value);
}

void SetupItemDateTime::setValue(const QVariant& value) {
    const long seconds = static_cast<long>(value.toLongLong());
    const long before = getValue().toLongLong();
    {
        const QSignalBlocker block(m_edit);
        m_edit->setDateTime(fromTimeT(seconds));
    }
    if (getValue().toLongLong() != before) {
        notifyValueChanged();
    }
}

QVariant SetupItemDateTime::getValue() const {
    return static_cast<qlonglong>(toTimeT(m_edit->dateTime()));
}

bool SetupItemDateTime::isValueChanged() const {
    return getValue().toLongLong() != m_base;
}

void SetupItemDateTime::setDefaultValue(const QVariant& value) {
    m_default = static_cast<long>(value.toLongLong());
    applyDefaultToolTip(fromTimeT(m_default).toString(QString::fromLatin1(kFormat)));
}

void SetupItemDateTime::resetToDefault() {
    setValue(static_cast<qlonglong>(m_default));
}

void SetupItemDateTime::resetToBase() {
    setValue(static_cast<qlonglong>(m_base));
}
