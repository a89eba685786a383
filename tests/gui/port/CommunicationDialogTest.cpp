// The communication setup dialog with device lists the test decides: which lists are filled (and when
// the network discovery runs), preselection, the address check, the settings returned, and how an
// enumeration failure is shown.
#include "gui/port/CommunicationDialog.h"
#include "gui/DialogSeam.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

namespace {

// Lists and failures per kind, and how often each enumeration ran.
struct FakeDevices {
    std::map<std::string, std::vector<std::string>> lists;
    std::map<std::string, std::string> errors;
    std::map<std::string, int> runs;

    PortEnumeration::Enumerate kind(const std::string& name) {
        return [this, name](std::string& error) {
            ++runs[name];
            error = errors[name];
            return lists[name];
        };
    }
    PortEnumeration table() { return {kind("usb"), kind("scanner"), kind("serial"), kind("eth")}; }
};

struct Message {
    QString title;
    QString text;
};

class CommunicationDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        DialogSeam::reset();
        devices.lists = {{"usb", {"1a2b|0001|A", "1a2b|0001|B"}},
                         {"scanner", {"1a2b|3301|S"}},
                         {"serial", {"/dev/ttyS0", "/dev/ttyUSB0"}},
                         {"eth", {"10.0.0.7:9100(PRN A)", "10.0.0.8:9100(PRN B)"}}};
    }
    void TearDown() override {
        DialogSeam::reset();
        PortEnumeration::forNewDialogs() = {};
    }

    // The next message box is read, not shown.
    void expectMessage() {
        DialogSeam::pushAnswer([this](QDialog& box) {
            messages.push_back({box.windowTitle(), box.findChild<QLabel*>("labelMessage")->text()});
            return QDialog::Accepted;
        });
    }

    template <class T> static T* child(CommunicationDialog& dialog, const char* name) {
        T* widget = dialog.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    static CommPortSettings ethernet(const std::string& address, int port) {
        CommPortSettings settings;
        settings.type = COMM_ETHERNET;
        settings.ipAddress = address;
        settings.tcpPort = port;
        return settings;
    }

    FakeDevices devices;
    std::vector<Message> messages;
};

TEST_F(CommunicationDialogTest, AddressMustBeFourPartsNoneAbove255AndThePortTextANumber) {
    CommunicationDialog dialog(nullptr, devices.table());
    CommPortSettings settings = ethernet("10.0.0.8", 9100);
    dialog.setUiFromCurrentSettings(settings);
    auto* address = child<QLineEdit>(dialog, "lineEdit_Item3");
    auto* port = child<QLineEdit>(dialog, "lineEdit_line3_Item3");
    EXPECT_EQ(address->text(), "10.0.0.8");
    EXPECT_EQ(port->text(), "9100");

    for (const char* refused : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "+1.2.3.4"}) {
        expectMessage();
        address->setText(refused);
        child<QPushButton>(dialog, "pushButton_OK")->click();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << refused;
    }
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages.front().title, "Dalvora - Warning");
    EXPECT_EQ(messages.back().text, "Invalid parameters");

    address->setText("10.0.0.5");
    port->setText("91OO");
    child<QPushButton>(dialog, "pushButton_OK")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const CommPortSettings chosen = dialog.getCurrentSettings();
    EXPECT_EQ(chosen.type, COMM_ETHERNET);
    EXPECT_EQ(chosen.ipAddress, "10.0.0.5");
    EXPECT_EQ(chosen.tcpPort, 0);
    EXPECT_FALSE(chosen.IsValid());
    EXPECT_EQ(DialogSeam::unexpectedDialogs(), 0);
}

TEST_F(CommunicationDialogTest, ReopeningPreselectsTheChosenDeviceWithoutADiscovery) {
    CommunicationDialog first(nullptr, devices.table());
    CommPortSettings none;
    first.setUiFromCurrentSettings(none);
    first.show();
    child<QComboBox>(first, "comboBox_Item0")->setCurrentIndex(1);
    QTest::mouseClick(child<QFrame>(first, "frame_Item0"), Qt::LeftButton);
    CommPortSettings usb = first.getCurrentSettings();
    EXPECT_EQ(usb.type, COMM_USB_PRN);
    EXPECT_EQ(usb.usbDeviceName, "1a2b|0001|B");

    CommunicationDialog reopened(nullptr, devices.table());
    reopened.setUiFromCurrentSettings(usb);
    EXPECT_EQ(reopened.getCurrentSettings().usbDeviceName, "1a2b|0001|B");

    CommPortSettings serial;
    serial.type = COMM_SERIAL;
    serial.comPortName = "/dev/ttyUSB0";
    serial.baudRate = 9600;
    CommunicationDialog second(nullptr, devices.table());
    second.setUiFromCurrentSettings(serial);
    const CommPortSettings line = second.getCurrentSettings();
    EXPECT_EQ(line.comPortName, "/dev/ttyUSB0");
    EXPECT_EQ(line.baudRate, 115200);
    EXPECT_EQ(line.flowControl, CommPortSettings{}.flowControl);

    EXPECT_EQ(devices.runs["eth"], 0);
    EXPECT_EQ(child<QComboBox>(second, "comboBox_Item0")->count(), 2);
    // The Ethernet refresh button is the other way to start a discovery.
    child<QPushButton>(second, "pushButtonRefresh_Item3")->click();
    EXPECT_EQ(devices.runs["eth"], 1);
}

TEST_F(CommunicationDialogTest, EnumerationErrorIsShownAndLeavesItsListEmpty) {
    devices.errors["scanner"] = "Cannot initialise the USB library";
    expectMessage();
    PortEnumeration::forNewDialogs() = devices.table(); // as the window's PORT button makes it
    CommunicationDialog dialog;
    CommPortSettings none;
    dialog.setUiFromCurrentSettings(none);

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Dalvora - Warning");
    EXPECT_EQ(messages[0].text, "Cannot initialise the USB library");
    EXPECT_EQ(child<QComboBox>(dialog, "comboBox_Item1")->count(), 0);
    EXPECT_EQ(child<QComboBox>(dialog, "comboBox_Item2")->count(), 2);
    EXPECT_EQ(dialog.getCurrentSettings().type, COMM_NONE);
}

TEST_F(CommunicationDialogTest, PressInAFrameSelectsItAndADiscoveredPrinterFillsTheAddress) {
    CommunicationDialog dialog(nullptr, devices.table());
    dialog.show();
    QTest::mouseClick(child<QPushButton>(dialog, "pushButtonRefresh_Item3"), Qt::LeftButton);
    EXPECT_EQ(dialog.selectedItem(), CommunicationDialog::kEthernetItem);
    EXPECT_EQ(child<QLineEdit>(dialog, "lineEdit_Item3")->text(), "10.0.0.7");
    child<QComboBox>(dialog, "comboBox_Item3")->setCurrentIndex(1);
    EXPECT_EQ(child<QLineEdit>(dialog, "lineEdit_Item3")->text(), "10.0.0.8");

    QTest::mouseClick(child<QFrame>(dialog, "frame_Item1"), Qt::LeftButton);
    EXPECT_EQ(dialog.selectedItem(), CommunicationDialog::kUsbScannerItem);
    EXPECT_TRUE(child<QFrame>(dialog, "frame_Item1")->styleSheet().contains("#CBCBCB"));
    EXPECT_TRUE(child<QFrame>(dialog, "frame_Item3")->styleSheet().contains("#FFFFFF"));
    EXPECT_EQ(dialog.getCurrentSettings().type, COMM_USB_SCANNER);
}

} // namespace
