// The common base of the setup item editors: one widget per setup item, showing the item's description
// and an editor for its value. It keeps the value read from the printer (the base value), the item's
// default, the item id and the show/enable state that the window's links give it, and reports every
// change of the shown value through valueChanged.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class SetupItemType;

class SetupItemBase : public QWidget {
    Q_OBJECT

public:
    explicit SetupItemBase(QWidget* parent = nullptr);

    // The editors' look, set once on the page that holds them: one style sheet per editor would be
    // parsed and polished hundreds of times when a large setup is shown.
    [[nodiscard]] static QString pageStyleSheet();

    // The kind's operations; the base versions do nothing and report an integer 0.
    virtual void setDescription(const QString& description, const QString& additional);
    virtual void setBaseValue(const QVariant& value);
    [[nodiscard]] virtual QVariant getBaseValue() const;
    virtual void setValue(const QVariant& value);
    [[nodiscard]] virtual QVariant getValue() const;
    [[nodiscard]] virtual bool isValueChanged() const;
    [[nodiscard]] virtual int getType() const;
    virtual void setDefaultValue(const QVariant& value);
    virtual void resetToDefault();
    virtual void resetToBase();

    void setId(int id) { m_id = id; }
    int getId() const { return m_id; }

    // The state the links gave this item (1 or 0 each); both start as 1.
    void getStatusLink(int* enabled, int* visible) const;
    // Stores the state a link operation gives this item; it shows only through the two calls below.
    void setStatusLink(bool enabled, bool visible);
    // Shown only when the page wants it and no link hides it.
    void setVisibleByLinkStatus(bool wish);
    // Enabled only when the caller wants it and no link disables it.
    void setEnableByLinkStatus(bool wish);

    // The setup item shown; not owned.
    void setDataRef(SetupItemType* item) { m_dataRef = item; }
    SetupItemType* getDataRef() const { return m_dataRef; }

    // The label that names the item ("DESCRIPTION . . . . :" until a description is set).
    QLabel* descriptionLabel() const { return m_label; }
    const QString& description() const { return m_description; }
    const QString& additionalDescription() const { return m_additional; }

signals:
    // Once for every change of the shown value: a user edit, and also setValue and the two resets, so
    // that links follow a restore. Setting the value already shown sends nothing.
    void valueChanged(SetupItemBase* sender, int id);

protected:
    // Registers an editor control after the label and the controls added before it: tab order,
    // keyboard focus, the description and tooltip given so far and, for the first one, the label's
    // buddy; placed in the row unless told not to.
    void addEditorControl(QWidget* control, bool placeInRow = true);
    // Label text, accessible names of the controls and the kept additional description.
    void applyDescription(const QString& description, const QString& additional);
    // "DEFAULT: <text>", followed by " (<additional description>)" when there is one.
    QString defaultToolTip(const QString& defaultText) const;
    void applyDefaultToolTip(const QString& defaultText);
    const QList<QWidget*>& editorControls() const { return m_controls; }
    QHBoxLayout* rowLayout() const { return m_row; }
    void notifyValueChanged() { emit valueChanged(this, m_id); }

private:
    QString m_description;
    QString m_toolTip;
    QString m_additional;
    int m_id = 0;
    bool m_linkEnabled = true;
    bool m_linkVisible = true;
    SetupItemType* m_dataRef = nullptr;
    QLabel* m_label = nullptr;
    QHBoxLayout* m_row = nullptr;
    QList<QWidget*> m_controls;
};
