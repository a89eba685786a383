#include "tests/gui/window/WindowDriver.h"

#include "gui/DialogSeam.h"
#include "gui/dialogs/AboutDialog.h"
#include "gui/dialogs/MessageDialog.h"
#include "gui/dialogs/SetupRestoreDialog.h"
#include "gui/port/CommunicationDialog.h"
#include "gui/port/PortEnumeration.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void ClickOk(QDialog& dialog) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text().remove('&') == "OK") {
            button->click();
            return;
        }
}

} // namespace

WindowDriver::WindowDriver() {
    DialogSeam::reset();
    Arm();
    // PORT lists no real devices and broadcasts no discovery from a test.
    const auto none = [](std::string&) { return std::vector<std::string>{}; };
    PortEnumeration::forNewDialogs() = PortEnumeration{none, none, none, none};
}

WindowDriver::~WindowDriver() {
    DialogSeam::reset();
    PortEnumeration::forNewDialogs() = PortEnumeration{};
}

// The dispatcher re-arms itself, so any number of dialogs is answered and each one is recorded.
void WindowDriver::Arm() {
    DialogSeam::pushAnswer([this](QDialog& dialog) {
        Arm();
        return Answer(dialog);
    });
}

int WindowDriver::Answer(QDialog& dialog) {
    if (qobject_cast<MessageDialog*>(&dialog) != nullptr) {
        m_messages << dialog.windowTitle() + "|" + dialog.findChild<QLabel*>("labelMessage")->text();
        return QDialog::Accepted;
    }
    if (qobject_cast<AboutDialog*>(&dialog) != nullptr) {
        m_messages << "About";
        return QDialog::Accepted;
    }
    if (qobject_cast<CommunicationDialog*>(&dialog) != nullptr && m_port.type == COMM_USB_PRN) {
        QTest::mouseClick(dialog.findChild<QFrame*>("frame_Item0"), Qt::LeftButton); // the USB printer item
        auto* devices = dialog.findChild<QComboBox*>("comboBox_Item0");
        devices->setCurrentIndex(devices->findData(QString::fromStdString(m_port.usbDeviceName)));
    } else if (qobject_cast<CommunicationDialog*>(&dialog) != nullptr) {
        auto* address = dialog.findChild<QLineEdit*>("lineEdit_Item3");
        QTest::mouseClick(address, Qt::LeftButton); // selects the Ethernet item
        address->setText(QString::fromStdString(m_port.ipAddress));
        dialog.findChild<QLineEdit*>("lineEdit_line3_Item3")->setText(QString::number(m_port.tcpPort));
    } else if (qobject_cast<SetupRestoreDialog*>(&dialog) != nullptr) {
        dialog
            .findChild<QRadioButton*>(restorePageOnly ? "radioButton_pageSettings"
                                                      : "radioButton_allSettings")
            ->click();
    } else if (answerOther) {
        return answerOther(dialog);
    } else {
        m_messages << "unexpected " + QString(dialog.metaObject()->className());
        return QDialog::Rejected;
    }
    ClickOk(dialog);
    return dialog.result();
}

std::unique_ptr<MainWindow> WindowDriver::NewWindow(bool extendedInfo) const {
    return NewWindow(extendedInfo ? std::vector<std::string>{"--SWPRNLIFEINFO"} : std::vector<std::string>{});
}

std::unique_ptr<MainWindow> WindowDriver::NewWindow(const std::vector<std::string>& options) const {
    std::vector<std::string> args = {"dalvora"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    auto window = std::make_unique<MainWindow>(static_cast<int>(args.size()), argv.data());
    window->show();
    return window;
}

void WindowDriver::ChoosePort(MainWindow& window, const CommPortSettings& settings) {
    m_port = settings;
    window.findChild<QPushButton*>("pushButton_MenuPort")->click();
}

void WindowDriver::Trigger(MainWindow& window, const QString& actionText) {
    for (QAction* action : window.findChildren<QAction*>())
        if (action->text() == actionText) {
            action->trigger();
            return;
        }
    ADD_FAILURE() << "no action " << actionText.toStdString();
}

bool WindowDriver::WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 120000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool WindowDriver::WaitIdle(MainWindow& window) {
    return WaitUntil([&] { return !window.isJobRunning(); });
}

void WindowDriver::Click(MainWindow& window, const char* objectName) {
    window.findChild<QAbstractButton*>(objectName)->click();
}

QStringList WindowDriver::TakeMessages() {
    QStringList taken;
    taken.swap(m_messages);
    return taken;
}

void WindowDriver::NextFileName(const QString& name) {
    DialogSeam::pushFileName(name);
}
