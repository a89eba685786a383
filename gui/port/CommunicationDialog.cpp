#include "gui/port/CommunicationDialog.h"

#include "ui_CommunicationDialog.h"

#include "gui/DialogSeam.h"
#include "gui/dialogs/DialogStyle.h"
#include "gui/dialogs/MessageDialog.h"

#include <QEvent>
#include <QIcon>
#include <QRegularExpression>
#include <QStringList>

namespace {

constexpr const char* kSelectedFrameStyle = "QFrame{background-color: #CBCBCB;}";
constexpr const char* kFrameStyle = "QFrame{background-color: #FFFFFF;}";
constexpr const char* kComboStyle = "QComboBox { border: none; color: black; background-color: #F0F0F0; "
                                    "selection-background-color: #b5e5f7; font-size: 14px; }";
// A missing image leaves the button without icon; it still works.
constexpr const char* kRefreshIcon = ":/images/Dalvora_update_grey.png";
constexpr const char* kDefaultTcpPort = "9100";

QString wholeEntry(const QString& entry) {
    return entry;
}

// A discovery entry reads "address:port(name)"; the address is what the port needs.
QString addressOfEntry(const QString& entry) {
    return entry.section(':', 0, 0);
}

} // namespace

CommunicationDialog::CommunicationDialog(QWidget* parent)
    : CommunicationDialog(parent, PortEnumeration::forNewDialogs()) {}

CommunicationDialog::CommunicationDialog(QWidget* parent, PortEnumeration enumeration)
    : QDialog(parent), m_ui(std::make_unique<Ui::CommunicationDialog>()),
      m_enumeration(std::move(enumeration)) {
    m_ui->setupUi(this);
    DialogStyle::Apply(*this);
    m_frames = {m_ui->frame_Item0, m_ui->frame_Item1, m_ui->frame_Item2, m_ui->frame_Item3};
    for (QFrame* frame : m_frames)
        frame->setStyleSheet(kFrameStyle);
    const QIcon refresh(kRefreshIcon);
    for (QComboBox* combo : findChildren<QComboBox*>())
        combo->setStyleSheet(kComboStyle);
    for (QPushButton* button : {m_ui->pushButtonRefresh_Item0, m_ui->pushButtonRefresh_Item1,
                                m_ui->pushButtonRefresh_Item2, m_ui->pushButtonRefresh_Item3})
        button->setIcon(refresh);
    m_ui->lineEdit_line3_Item3->setText(kDefaultTcpPort);
    watchItemWidgets();

    connect(m_ui->pushButtonRefresh_Item0, &QPushButton::clicked, this,
            &CommunicationDialog::handleButtonClicked0);
    connect(m_ui->pushButtonRefresh_Item1, &QPushButton::clicked, this,
            &CommunicationDialog::handleButtonClicked1);
    connect(m_ui->pushButtonRefresh_Item2, &QPushButton::clicked, this,
            &CommunicationDialog::handleButtonClicked2);
    connect(m_ui->pushButtonRefresh_Item3, &QPushButton::clicked, this,
            &CommunicationDialog::handleButtonClicked3);
    connect(m_ui->comboBox_Item3, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CommunicationDialog::handleComboBoxIndexChanged3);
    connect(m_ui->pushButton_OK, &QPushButton::clicked, this, &CommunicationDialog::handleOK);
    connect(m_ui->pushButton_Cancel, &QPushButton::clicked, this, &CommunicationDialog::handleCancel);
}

CommunicationDialog::~CommunicationDialog() = default;

void CommunicationDialog::watchItemWidgets() {
    for (QFrame* frame : m_frames) {
        frame->installEventFilter(this);
        for (QWidget* child : frame->findChildren<QWidget*>())
            if (qobject_cast<QComboBox*>(child) || qobject_cast<QPushButton*>(child) ||
                qobject_cast<QLineEdit*>(child))
                child->installEventFilter(this);
    }
}

bool CommunicationDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        for (int item = 0; item < static_cast<int>(m_frames.size()); ++item) {
            QFrame* frame = m_frames[static_cast<size_t>(item)];
            if (watched == frame || frame->isAncestorOf(qobject_cast<QWidget*>(watched)))
                selectItem(item);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CommunicationDialog::selectItem(int item) {
    for (int i = 0; i < static_cast<int>(m_frames.size()); ++i)
        m_frames[static_cast<size_t>(i)]->setStyleSheet(i == item ? kSelectedFrameStyle : kFrameStyle);
    m_selected = item;
}

void CommunicationDialog::setUiFromCurrentSettings(CommPortSettings& settings) {
    const QString usbName = QString::fromStdString(settings.usbDeviceName);
    switch (settings.type) {
    case COMM_USB_PRN:
        selectItem(kUsbPrinterItem);
        SetUSBPRNPortNameValues(usbName);
        SetUSBScannerPortNameValues({});
        SetComPortNameValues({});
        break;
    case COMM_USB_SCANNER:
        selectItem(kUsbScannerItem);
        SetUSBScannerPortNameValues(usbName);
        SetUSBPRNPortNameValues({});
        SetComPortNameValues({});
        break;
    case COMM_ETHERNET: {
        selectItem(kEthernetItem);
        const QString address = QString::fromStdString(settings.ipAddress);
        SetEthPortNameValues(address);
        // The address in use stays, whether or not the discovery found that printer.
        if (!address.isEmpty())
            m_ui->lineEdit_Item3->setText(address);
        m_ui->lineEdit_line3_Item3->setText(QString::number(settings.tcpPort));
        SetUSBPRNPortNameValues({});
        SetUSBScannerPortNameValues({});
        SetComPortNameValues({});
        break;
    }
    case COMM_SERIAL:
        selectItem(kSerialItem);
        SetComPortNameValues(QString::fromStdString(settings.comPortName));
        SetUSBPRNPortNameValues({});
        break;
    default:
        SetUSBPRNPortNameValues({});
        SetUSBScannerPortNameValues({});
        SetComPortNameValues({});
        break;
    }
}

CommPortSettings CommunicationDialog::getCurrentSettings() const {
    CommPortSettings settings;
    const auto currentName = [](const QComboBox* combo) {
        return combo->currentData().toString().toStdString();
    };
    switch (m_selected) {
    case kUsbPrinterItem:
        settings.type = COMM_USB_PRN;
        settings.usbDeviceName = currentName(m_ui->comboBox_Item0);
        break;
    case kUsbScannerItem:
        settings.type = COMM_USB_SCANNER;
        settings.usbDeviceName = currentName(m_ui->comboBox_Item1);
        break;
    case kSerialItem:
        settings.type = COMM_SERIAL;
        settings.comPortName = currentName(m_ui->comboBox_Item2);
        settings.baudRate = kSerialBaudRate;
        break;
    case kEthernetItem: {
        settings.type = COMM_ETHERNET;
        settings.ipAddress = m_ui->lineEdit_Item3->text().toStdString();
        // Not a number, or no TCP port number at all: 0, which the window refuses as not valid.
        bool ok = false;
        const ushort port = m_ui->lineEdit_line3_Item3->text().toUShort(&ok);
        settings.tcpPort = ok ? port : 0;
        break;
    }
    default:
        break;
    }
    return settings;
}

void CommunicationDialog::showMessageBox(const QString& title, const QString& text) {
    MessageDialog box(this);
    box.setText(title, text);
    DialogSeam::exec(box);
}

void CommunicationDialog::fillList(QComboBox& combo, const PortEnumeration::Enumerate& enumerate,
                                   const QString& preselect, QString (*nameOf)(const QString& entry)) {
    combo.clear();
    std::string error;
    const std::vector<std::string> entries = enumerate(error);
    if (!error.empty()) {
        showMessageBox("Warning", QString::fromStdString(error));
        return;
    }
    for (const std::string& entry : entries) {
        const QString text = QString::fromStdString(entry);
        combo.addItem(text, nameOf(text));
    }
    const int preselected = combo.findData(preselect);
    if (!preselect.isEmpty() && preselected >= 0)
        combo.setCurrentIndex(preselected);
}

void CommunicationDialog::SetUSBPRNPortNameValues(const QString& preselect) {
    fillList(*m_ui->comboBox_Item0, m_enumeration.usbPrinters, preselect, wholeEntry);
}

void CommunicationDialog::SetUSBScannerPortNameValues(const QString& preselect) {
    fillList(*m_ui->comboBox_Item1, m_enumeration.usbScanners, preselect, wholeEntry);
}

void CommunicationDialog::SetComPortNameValues(const QString& preselect) {
    fillList(*m_ui->comboBox_Item2, m_enumeration.serialPorts, preselect, wholeEntry);
}

void CommunicationDialog::SetEthPortNameValues(const QString& preselect) {
    fillList(*m_ui->comboBox_Item3, m_enumeration.ethernetPrinters, preselect, addressOfEntry);
}

void CommunicationDialog::handleButtonClicked0() {
    SetUSBPRNPortNameValues({});
}

void CommunicationDialog::handleButtonClicked1() {
    SetUSBScannerPortNameValues({});
}

void CommunicationDialog::handleButtonClicked2() {
    SetComPortNameValues({});
}

void CommunicationDialog::handleButtonClicked3() {
    SetEthPortNameValues({});
}

void CommunicationDialog::handleComboBoxIndexChanged3(int index) {
    if (index >= 0)
        m_ui->lineEdit_Item3->setText(m_ui->comboBox_Item3->itemData(index).toString());
}

bool CommunicationDialog::isValidAddress(const QString& address) {
    static const QRegularExpression fourGroups(
        QRegularExpression::anchoredPattern(R"([0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,3})"));
    if (!fourGroups.match(address).hasMatch())
        return false;
    const QStringList parts = address.split('.');
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value > 255)
            return false;
    }
    return true;
}

void CommunicationDialog::handleOK() {
    if (m_selected == kEthernetItem && !isValidAddress(m_ui->lineEdit_Item3->text())) {
        showMessageBox("Warning", "Invalid parameters");
        return;
    }
    accept();
}

void CommunicationDialog::handleCancel() {
    reject();
}
