// The small dialogs driven the way the window drives them: through DialogSeam, never a real exec().
#include "gui/DialogSeam.h"
#include "gui/dialogs/AboutDialog.h"
#include "gui/dialogs/AskDialog.h"
#include "gui/dialogs/MessageDialog.h"
#include "gui/dialogs/SetupRestoreDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {

class DialogsTest : public ::testing::Test {
protected:
    void TearDown() override { DialogSeam::reset(); }

    // What the user does: press the named button; the dialog's result is what exec() returns.
    static DialogSeam::Answer press(const char* button) {
        return [button](QDialog& dialog) {
            dialog.findChild<QAbstractButton*>(button)->click();
            return dialog.result();
        };
    }

    static QString labelText(const QDialog& dialog, const char* name) {
        return dialog.findChild<QLabel*>(name)->text();
    }
};

TEST_F(DialogsTest, TitleFollowsTheMessageKind) {
    MessageDialog message;
    message.setText("Error", "Port not found");
    EXPECT_EQ(message.windowTitle(), "Dalvora - Error");
    EXPECT_EQ(labelText(message, "labelMessage"), "Port not found");
    message.setText("", "no title");
    EXPECT_EQ(message.windowTitle(), "Dalvora");

    AskDialog ask;
    ask.setText("", "Go on?");
    EXPECT_EQ(ask.windowTitle(), "Dalvora");
    EXPECT_EQ(labelText(ask, "labelMessage"), "Go on?");
}

TEST_F(DialogsTest, QuestionAnswers) {
    AskDialog no;
    EXPECT_EQ(no.getResponseValue(), 1);
    DialogSeam::pushAnswer(press("pushButton_Cancel"));
    EXPECT_EQ(DialogSeam::exec(no), QDialog::Rejected);
    EXPECT_EQ(no.getResponseValue(), 0);

    AskDialog yes;
    DialogSeam::pushAnswer(press("pushButton_OK"));
    EXPECT_EQ(DialogSeam::exec(yes), QDialog::Accepted);
    EXPECT_EQ(yes.getResponseValue(), 1);

    AskDialog escaped; // Escape or the close button: no
    DialogSeam::pushAnswer([](QDialog& dialog) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &escape);
        return dialog.result();
    });
    EXPECT_EQ(DialogSeam::exec(escaped), QDialog::Rejected);
    EXPECT_EQ(escaped.getResponseValue(), 0);
    EXPECT_EQ(DialogSeam::unexpectedDialogs(), 0);
}

TEST_F(DialogsTest, RestoreSelection) {
    SetupRestoreDialog restore;
    EXPECT_EQ(restore.getSelection(), 0);
    DialogSeam::pushAnswer([](QDialog& dialog) {
        dialog.findChild<QRadioButton*>("radioButton_pageSettings")->click();
        dialog.findChild<QPushButton*>("pushButton_OK")->click();
        return dialog.result();
    });
    EXPECT_EQ(DialogSeam::exec(restore), QDialog::Accepted);
    EXPECT_EQ(restore.getSelection(), 1);

    SetupRestoreDialog cancelled;
    DialogSeam::pushAnswer(press("pushButton_Cancel"));
    EXPECT_EQ(DialogSeam::exec(cancelled), QDialog::Rejected);
}

TEST_F(DialogsTest, AboutShowsTheLogo) {
    AboutDialog about;
    EXPECT_FALSE(about.findChild<QLabel*>("label")->pixmap(Qt::ReturnByValue).isNull());
}

// Once a test preloads anything, a dialog without an answer is counted and rejected, not run.
TEST_F(DialogsTest, SeamCountsUnexpectedDialogsAndUsesAnswersInOrder) {
    DialogSeam::pushAnswer(press("pushButton_Cancel"));
    DialogSeam::pushAnswer(press("pushButton_OK"));
    AskDialog first;
    AskDialog second;
    MessageDialog third;
    EXPECT_EQ(DialogSeam::exec(first), QDialog::Rejected);
    EXPECT_EQ(DialogSeam::exec(second), QDialog::Accepted);
    EXPECT_EQ(DialogSeam::exec(third), QDialog::Rejected);
    EXPECT_EQ(DialogSeam::unexpectedDialogs(), 1);
}

// Screen readers need a name on every button, and Tab must walk the form from top to bottom.
TEST_F(DialogsTest, ButtonsAreNamedAndTabFollowsTheForm) {
    MessageDialog message;
    AskDialog ask;
    SetupRestoreDialog restore;
    AboutDialog about;
    for (QDialog* dialog : std::initializer_list<QDialog*>{&message, &ask, &restore, &about}) {
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            EXPECT_FALSE(button->accessibleName().isEmpty()) << button->objectName().toStdString();
    }
    QStringList order;
    QWidget* first = restore.findChild<QRadioButton*>("radioButton_allSettings");
    QWidget* widget = first;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != first);
    EXPECT_EQ(order.join(' ').toStdString(),
              "radioButton_allSettings radioButton_pageSettings pushButton_OK pushButton_Cancel");
}

} // namespace
