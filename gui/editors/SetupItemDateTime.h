// The editor of a date/time setup item: calendar times in seconds since the epoch, shown and edited
// in local time as "yyyy/MM/dd hh:mm:ss".
#pragma once

#include "gui/editors/SetupItemBase.h"

#include <QDateTime>

class QDateTimeEdit;

class SetupItemDateTime : public SetupItemBase {
    Q_OBJECT

public:
    static constexpr const char* kFormat = "yyyy/MM/dd hh:mm:ss";

    explicit SetupItemDateTime(QWidget* parent = nullptr);

    static QDateTime fromTimeT(long seconds);
    static long toTimeT(const QDateTime& dateTime);

    void setDescription(const QString& description, const QString& additional) override;
    // Values are seconds since the epoch (qlonglong).
    void setBaseValue(const QVariant& value) override;
    QVariant getBaseValue() const override { return static_cast<qlonglong>(m_base); }
    void setValue(const QVariant& value) override;
    QVariant getValue() const override;
    bool isValueChanged() const override;
    int getType() const override { return 3; }
    void setDefaultValue(const QVariant& value) override;
    void resetToDefault() override;
    void resetToBase() override;

    QDateTimeEdit* dateTimeEdit() const { return m_edit; }

private:
    QDateTimeEdit* m_edit;
    long m_base = 0;
    long m_default = 0;
};
