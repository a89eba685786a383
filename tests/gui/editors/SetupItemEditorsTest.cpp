// The setup item editors driven through their controls: the values a user edit produces, what the
// editors accept, the signal each edit sends, and the state that links and restores leave behind.
#include "gui/editors/SetupItemCheckBoxes.h"
#include "gui/editors/SetupItemDateTime.h"
#include "gui/editors/SetupItemNumeric.h"
#include "gui/editors/SetupItemSelection.h"
#include "gui/editors/SetupItemText.h"
#include "model/SetupItemType.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QValidator>
#include <gtest/gtest.h>

#include <ctime>

namespace {

// Exactly one valueChanged, carrying the widget and its id.
void expectOneChangeFrom(const QSignalSpy& spy, SetupItemBase* widget) {
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<SetupItemBase*>(), widget);
    EXPECT_EQ(spy.at(0).at(1).toInt(), widget->getId());
}

bool accepts(const SetupItemText& widget, QString text) {
    int position = 0;
    return widget.lineEdit()->validator()->validate(text, position) == QValidator::Acceptable;
}

// Typed values confirmed with Return, as the user does.
void typeInto(QDoubleSpinBox* spin, const QString& text) {
    spin->selectAll();
    QTest::keyClicks(spin, text);
    QTest::keyClick(spin, Qt::Key_Return);
}

} // namespace

TEST(SetupItemEditorsTest, NumericSnapsTypedValuesToTheStepUnderACommaLocale) {
    const QLocale userLocale;
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    SetupItemNumeric widget;
    QLocale::setDefault(userLocale);
    widget.setId(101);
    widget.setStepRange(0.5, 0, 10);
    widget.setBaseValue(2.0);
    EXPECT_EQ(widget.slider()->minimum(), 0);
    EXPECT_EQ(widget.slider()->maximum(), 20);
    EXPECT_EQ(widget.slider()->value(), 4);
    EXPECT_EQ(widget.spinBox()->text(), "2.0");
    QSignalSpy spy(&widget, &SetupItemBase::valueChanged);

    typeInto(widget.spinBox(), "3.3");
    EXPECT_DOUBLE_EQ(widget.getValue().toDouble(), 3.5);
    EXPECT_EQ(widget.slider()->value(), 7);
    expectOneChangeFrom(spy, &widget);
    EXPECT_TRUE(widget.isValueChanged());

    QTest::keyClick(widget.slider(), Qt::Key_Right);
    EXPECT_DOUBLE_EQ(widget.getValue().toDouble(), 4.0);
    EXPECT_EQ(spy.count(), 2);

    widget.resetToBase();
    EXPECT_FALSE(widget.isValueChanged());
    EXPECT_EQ(widget.slider()->value(), 4);
}

TEST(SetupItemEditorsTest, NumericKeepsAValueWithinATenthOfAStep) {
    SetupItemNumeric widget;
    widget.setStepRange(0.25, 1, 5);
    EXPECT_EQ(widget.slider()->maximum(), 16);
    typeInto(widget.spinBox(), "3.27");
    EXPECT_DOUBLE_EQ(widget.getValue().toDouble(), 3.27);
    EXPECT_EQ(widget.slider()->value(), 9);
    typeInto(widget.spinBox(), "3.30");
    EXPECT_DOUBLE_EQ(widget.getValue().toDouble(), 3.25);

    widget.setStepRange(1, 0, 100);
    EXPECT_EQ(widget.spinBox()->decimals(), 0);
    widget.setDefaultValue(40);
    EXPECT_EQ(widget.spinBox()->toolTip(), "DEFAULT: 40");
}

TEST(SetupItemEditorsTest, ListEntriesCarryValuesFromTheFirstValue) {
    SetupItemSelection widget;
    widget.setId(7);
    EXPECT_EQ(widget.descriptionLabel()->text(), "DESCRIPTION . . . . :");
    widget.setDescription("Baud rate", "bits per second");
    widget.setFirstValue(5);
    widget.setSelection({"1200", "2400", "9600", "19200"});
    widget.setDefaultValue(8);
    widget.setBaseValue(7);
    EXPECT_EQ(widget.comboBox()->currentIndex(), 2);
    EXPECT_EQ(widget.getValue().toInt(), 7);
    EXPECT_FALSE(widget.isValueChanged());
    EXPECT_EQ(widget.comboBox()->toolTip(), "DEFAULT: 19200 (bits per second)");
    EXPECT_EQ(widget.descriptionLabel()->buddy(), widget.comboBox());
    EXPECT_EQ(widget.comboBox()->accessibleName(), "Baud rate");

    QSignalSpy spy(&widget, &SetupItemBase::valueChanged);
    QTest::keyClick(widget.comboBox(), Qt::Key_Home);
    EXPECT_EQ(widget.getValue().toInt(), 5);
    expectOneChangeFrom(spy, &widget);
    EXPECT_TRUE(widget.isValueChanged());
    widget.resetToDefault();
    EXPECT_EQ(widget.comboBox()->currentIndex(), 3);
    widget.resetToBase();
    EXPECT_FALSE(widget.isValueChanged());

    // A value no entry carries is kept rather than replaced by whatever entry happens to show.
    widget.setBaseValue(42);
    EXPECT_EQ(widget.getValue().toInt(), 42);
    EXPECT_FALSE(widget.isValueChanged());
}

TEST(SetupItemEditorsTest, TextAcceptsOnlyWhatTheDataMaskAllows) {
    SetupItemText widget;
    widget.setDataBitmask(0x0003);
    EXPECT_EQ(widget.lineEdit()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(accepts(widget, "0123456789"));
    EXPECT_FALSE(accepts(widget, "12a"));

    widget.setDataBitmask(0x1002);
    EXPECT_EQ(widget.lineEdit()->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(accepts(widget, "+12.5"));
    EXPECT_TRUE(accepts(widget, "-3"));
    EXPECT_FALSE(accepts(widget, "12a"));
    EXPECT_FALSE(accepts(widget, "1,5"));

    widget.setDataBitmask(0x0010);
    EXPECT_TRUE(accepts(widget, "\\[]^ .-~`\""));
    EXPECT_FALSE(accepts(widget, "a"));

    widget.setDataBitmask(0x0001);
    EXPECT_TRUE(accepts(widget, "aZ9 #"));
    EXPECT_FALSE(widget.lineEdit()->isReadOnly());
    widget.setDataBitmask(0x0800);
    EXPECT_TRUE(widget.lineEdit()->isReadOnly());
}

TEST(SetupItemEditorsTest, TypedTextIsFilteredCutAndReported) {
    SetupItemText widget;
    widget.setId(250);
    widget.setLengthRange(1, 4);
    widget.setDataBitmask(0x0002);
    widget.setBaseValue("12");
    QSignalSpy spy(&widget, &SetupItemBase::valueChanged);
    widget.lineEdit()->selectAll();
    QTest::keyClicks(widget.lineEdit(), "9a87654");
    EXPECT_EQ(widget.getValue().toString(), "9876");
    EXPECT_EQ(spy.count(), 4);
    EXPECT_EQ(spy.at(0).at(0).value<SetupItemBase*>(), &widget);
    EXPECT_EQ(spy.at(0).at(1).toInt(), 250);
    EXPECT_TRUE(widget.isValueChanged());
    widget.resetToBase();
    EXPECT_FALSE(widget.isValueChanged());
}

TEST(SetupItemEditorsTest, CheckBoxesSetTheirBitsOverTheItemsBytes) {
    SetupItemTypeCheckbox item;
    item.SetNumBits(12);
    ASSERT_TRUE(item.AddElement(0, "Cutter"));
    ASSERT_TRUE(item.AddElement(9, "Presenter"));
    item.DefValue()[0] = 0xAB;
    item.DefValue()[1] = 0x01;
    SetupItemCheckBoxes widget;
    widget.setId(300);
    widget.setDescription("Options", "");
    widget.setButtonGroupForItem(item);
    widget.setDefaultValue(SetupItemCheckBoxes::fromBytePtr(item.GetDefValue().data(), 2));
    widget.setBaseValue(QByteArray("\x00\x02", 2));
    ASSERT_EQ(widget.checkBoxes().size(), 2);
    EXPECT_FALSE(widget.checkBoxes().at(0)->isChecked());
    EXPECT_TRUE(widget.checkBoxes().at(1)->isChecked());
    EXPECT_EQ(widget.checkBoxes().at(1)->toolTip(), "DEFAULT: 0xab01");
    EXPECT_EQ(widget.checkBoxes().at(1)->accessibleName(), "Options: Presenter");

    QSignalSpy spy(&widget, &SetupItemBase::valueChanged);
    QTest::keyClick(widget.checkBoxes().at(0), Qt::Key_Space);
    expectOneChangeFrom(spy, &widget);
    EXPECT_EQ(widget.getValue().toByteArray(), QByteArray("\x01\x02", 2));
    EXPECT_TRUE(widget.isValueChanged());

    SetupItemCheckBoxes::toBytePtr(widget.getValue().toByteArray(), item.CurUIValue().data(), 2);
    EXPECT_EQ(item.UIValue(), "1,2,");
    widget.resetToBase();
    EXPECT_FALSE(widget.isValueChanged());
}

TEST(SetupItemEditorsTest, DateTimeShowsAndReturnsLocalTime) {
    const QByteArray previousZone = qgetenv("TZ");
    qputenv("TZ", "Europe/Rome");
    tzset();
    {
        SetupItemDateTime widget;
        widget.setId(3);
        widget.setDefaultValue(qlonglong{1719835200}); // 2024-07-01 12:00:00 UTC
        widget.setBaseValue(qlonglong{1719835200});
        EXPECT_EQ(widget.dateTimeEdit()->text(), "2024/07/01 14:00:00");
        EXPECT_EQ(widget.dateTimeEdit()->toolTip(), "DEFAULT: 2024/07/01 14:00:00");
        EXPECT_EQ(widget.getValue().toLongLong(), 1719835200);
        EXPECT_FALSE(widget.isValueChanged());

        QSignalSpy spy(&widget, &SetupItemBase::valueChanged);
        widget.dateTimeEdit()->setDateTime(QDateTime(QDate(2024, 1, 15), QTime(8, 30), Qt::LocalTime));
        expectOneChangeFrom(spy, &widget);
        EXPECT_EQ(widget.getValue().toLongLong(), 1705303800); // 07:30 UTC in winter
        EXPECT_TRUE(widget.isValueChanged());
    }
    if (previousZone.isNull()) {
        qunsetenv("TZ");
    } else {
        qputenv("TZ", previousZone);
    }
    tzset();
}

TEST(SetupItemEditorsTest, LinkStateGatesWhatThePageAndTheWindowWish) {
    QWidget page;
    auto* widget = new SetupItemText(&page);
    page.show();
    widget->setStatusLink(true, false);
    widget->setVisibleByLinkStatus(true);
    EXPECT_TRUE(widget->isHidden());
    int enabled = -1;
    int visible = -1;
    widget->getStatusLink(&enabled, &visible);
    EXPECT_EQ(enabled, 1);
    EXPECT_EQ(visible, 0);

    widget->setStatusLink(false, true);
    widget->setVisibleByLinkStatus(true);
    widget->setEnableByLinkStatus(true);
    EXPECT_FALSE(widget->isHidden());
    EXPECT_FALSE(widget->isEnabled());
    widget->setStatusLink(true, true);
    widget->setEnableByLinkStatus(true);
    widget->setVisibleByLinkStatus(false);
    EXPECT_TRUE(widget->isEnabled());
    EXPECT_TRUE(widget->isHidden());
}
