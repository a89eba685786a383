// Drives the real main window as a user would: the PORT dialog, the menu actions, the page buttons;
// every modal dialog is answered through the dialog seam by one dispatcher that records message boxes.
#pragma once

#include "gui/MainWindow.h"
#include "transport/CommPortSettings.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QDialog;

class WindowDriver {
public:
    WindowDriver();
    ~WindowDriver();

    // With `extendedInfo` the window is started with --SWPRNLIFEINFO.
    std::unique_ptr<MainWindow> NewWindow(bool extendedInfo = false) const;
    // Started with these windowed options ("--SWPOLLSTATUS", ...).
    std::unique_ptr<MainWindow> NewWindow(const std::vector<std::string>& options) const;

    // PORT, then the communication dialog set to the Ethernet address of `settings`, or to its USB
    // printer when it names one (the device must be in the dialog's list).
    void ChoosePort(MainWindow& window, const CommPortSettings& settings);
    // Triggers the menu action with this text ("From Device", "To File", ...).
    static void Trigger(MainWindow& window, const QString& actionText);
    // Polls the event loop until the condition holds; false after a generous limit.
    static bool WaitUntil(const std::function<bool()>& condition);
    static bool WaitIdle(MainWindow& window);
    // Clicks a lateral or setup page button by object name.
    static void Click(MainWindow& window, const char* objectName);

    // Message boxes shown so far, as "Dalvora - <title>|<text>"; Take empties the list.
    QStringList TakeMessages();
    // What the restore dialog answers: only the page, or all items.
    bool restorePageOnly = false;
    // Answers the dialogs the driver does not know (upgrade question, component choice), when set.
    std::function<int(QDialog&)> answerOther;
    // File names for the file dialogs, in order.
    void NextFileName(const QString& name);

private:
    int Answer(QDialog& dialog);
    void Arm();

    QStringList m_messages;
    CommPortSettings m_port;
};
