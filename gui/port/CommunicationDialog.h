// The port choice: a USB printer, a USB device of the scanner list, a serial port or an Ethernet
// address, each in its own frame; a press anywhere in a frame selects that kind. The window opens it
// with its current settings and, when it is accepted, takes getCurrentSettings() and checks them.
#pragma once

#include "gui/port/PortEnumeration.h"
#include "transport/CommPortSettings.h"

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

class QComboBox;
class QFrame;

namespace Ui {
class CommunicationDialog;
}

class CommunicationDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kNoItem = -1;
    static constexpr int kUsbPrinterItem = 0;
    static constexpr int kUsbScannerItem = 1;
    static constexpr int kSerialItem = 2;
    static constexpr int kEthernetItem = 3;
    static constexpr int kSerialBaudRate = 115200;

    // Without a table: PortEnumeration::forNewDialogs().
    explicit CommunicationDialog(QWidget* parent = nullptr);
    CommunicationDialog(QWidget* parent, PortEnumeration enumeration);
    ~CommunicationDialog() override;

    // Selects the item of the settings' port kind and fills the lists; only Ethernet settings start a
    // network discovery.
    void setUiFromCurrentSettings(CommPortSettings& settings);
    // Settings for the selected item; default (invalid) settings when nothing is selected.
    CommPortSettings getCurrentSettings() const;
    int selectedItem() const { return m_selected; }

    void showMessageBox(const QString& title, const QString& text);

    // Each fills its list afresh and makes the entry with this device name current (the first entry
    // when there is none such).
    void SetUSBPRNPortNameValues(const QString& preselect);
    void SetUSBScannerPortNameValues(const QString& preselect);
    void SetComPortNameValues(const QString& preselect);
    void SetEthPortNameValues(const QString& preselect);

    // The address check of the Ethernet item: four dot-separated decimal parts, none above 255.
    static bool isValidAddress(const QString& address);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void handleButtonClicked0();
    void handleButtonClicked1();
    void handleButtonClicked2();
    void handleButtonClicked3();
    void handleComboBoxIndexChanged3(int index);
    void handleOK();
    void handleCancel();

private:
    void selectItem(int item);
    // Fills `combo` from `enumerate`; the item data of an entry is `nameOf(entry)`.
    void fillList(QComboBox& combo, const PortEnumeration::Enumerate& enumerate, const QString& preselect,
                  QString (*nameOf)(const QString& entry));
    void watchItemWidgets();

    std::unique_ptr<Ui::CommunicationDialog> m_ui;
    PortEnumeration m_enumeration;
    std::array<QFrame*, 4> m_frames{};
    int m_selected = kNoItem;
};
