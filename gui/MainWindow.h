// The application window: top bar with the LOAD, SAVE, PORT, EXTRA and HELP menus, the welcome page, and
// the working page whose lateral menu switches between the setup pages (one editor per setup item) and
// the tools, upgrade and status pages. It owns the printer data being edited and the port settings, and
// runs every device operation as a background job with a waiting dialog, one job at a time.
//
// Sources: MainWindow.cpp (frame, menus, port, messages), MainWindowSetupPages.cpp (pages, editors,
// links, restore), MainWindowJobs.cpp (read and write the printer), MainWindowFiles.cpp (archives).
#pragma once

#include "audit/AuditEntry.h"
#include "model/PrinterData.h"
#include "model/ProtocolDataAvailable.h"
#include "model/SetupPages.h"
#include "transport/CommPortSettings.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class QAbstractButton;
class QMenu;
class ReadDeviceDataController;
class SetupItemBase;
class WaitingDialog;
class WriteDeviceDataController;
class SetupItemType;

namespace Ui {
class MainWindow;
}

class MainWindow;
// The one main window of the process, for code that must reach it from another thread; null when there
// is none.
extern MainWindow* MainWin;

// Upgrade page (MainWindowUpgradePage.cpp): the bridges an upgrade's worker thread calls to reach the
// window. All are no-ops (the questions answer go on) without a window or an upgrade job.
#include "firmware/ModuleData.h"
#include "firmware/PSWComponents.h"
#include "firmware/PSWFile.h"
class QCloseEvent;
class UpgradeDeviceController;
// The console writer's callback while an upgrade runs: the text becomes the waiting dialog's message.
void execChangeWaitingLabel(const char* text);
// Asks the user whether to install a release identical to or older than the printer's; 1 = go on,
// 0 = stop. Blocks the calling worker thread until the main thread has the answer.
int execAskFWUpgradeDialogInWindow(const char* printerVersion, const char* fileVersion);
// Asks the user to restart the printer (the boot-loader modes' request); 1 = restarted, go on, 0 = stop.
// Blocks the calling worker thread like the release question.
int execRestartPrinterDialogInWindow(const char* request);

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Numbers the menu actions carry; menuClicked dispatches on them.
    enum MenuAction : int {
        kLoadFromDevice = 0,
        kLoadFromFile = 1,
        kSaveToFile = 2,
        kSaveToDevice = 3,
        kEditModuleFont = 4,
        kExportToText = 5,
        kPrintPreview = 6,
        kPrint = 7,
        kAbout = 8,
    };

    static constexpr int kSetupPageCount = setup_pages::kPageCount;

    MainWindow(int argc, char** argv, QWidget* parent = nullptr);
    ~MainWindow() override;

    static QString getHomeDir();
    bool isExtendedInfoShown() const { return m_showExtendedInfo; }

    // Whether the id belongs to the page's ranges; a negative page takes every id.
    static bool checkIdInPageIsVisible(int64_t id, int page);

    // Read access for callers that inspect what the window holds.
    const PrinterData& printerData() const { return m_printerData; }
    const CommPortSettings& portSettings() const { return m_portSettings; }
    const QList<SetupItemBase*>& setupItemWidgets() const { return m_setupItems; }
    bool isJobRunning() const;

    void showMessageBox(const QString& title, const QString& text);
    // Working page, then every inner page rebuilt from the printer data.
    void showPrinterData();

public slots:
    void menuClicked(QAction* action);
    void loadSetupFromDevice();
    void saveSetupToDevice();
    void loadSettingsFromFile();
    void saveSettingsToFile();
    void handlePortClicked();
    void showAboutDialog();

private slots:
    void handleGroupMainMenuToggled(QAbstractButton* button, bool checked);
    void handleGroupSetupMenuToggled(QAbstractButton* button, bool checked);
    void handleDeviceDataRead(int result);
    void handleDeviceDataWrite(int result);
    void hanleSetupItemValueChanged(SetupItemBase* sender, int id);
    void handleRestoreDefaultClicked();
    void handleRestoreResetClicked();

private:
    // Start-up.
    void initUi();
    void buildMenus();
    QMenu* buildMenu(const QList<QPair<QString, int>>& entries);
    void connectButtons();
    void applyWindowedOptions(int argc, char** argv);
    static void enableFileLog();

    // Pages and editors.
    void showSetupData();
    void showToolsData();
    void showUpgradeData();
    void showStatusData();
    void resetSetupData();
    QString setupHeaderText() const;
    SetupItemBase* createSetupItemWidget(SetupItemType& item);
    void setEmptyPagesInvisible();
    QAbstractButton* setupPageButton(int page) const;
    // The checked setup page (0..7), or -1 while "Info" or nothing is checked.
    int currentSetupPage() const;
    void showSetupPage(int page);
    void restoreSetupItems(bool toDefault);

    // Links between items.
    void manageLinkDependency();
    void hanleLinkDependencyOnValueChanged(SetupItemBase* widget, int id);
    void ViewElementById(uint64_t id, int32_t operation);

    // Tools and status pages (MainWindowToolsPage.cpp, MainWindowStatusPage.cpp).
public:
    // One status indicator and the bit of the status answer it shows (byte counted from 1, bit 0..7).
    struct UiStatusItem {
        class QRadioButton* button = nullptr;
        int byte = 0;
        int bit = 0;
    };
    static constexpr int kToolRowCount = 7;

    // What the Info box shows for a tool's answer: each text line followed by "\n", at most as many
    // lines as the answer holds whatever its count says; empty when there is nothing to show.
    static QString ToolAnswerText(const class AnswerRecord* answer);

private slots:
    // Row 0..6 of the tools page, in the order of ToolsVector().
    void handleToolsButtonClicked(int index);
    void handleExecToolOnDevice(int result, void* answer);
    void handleGetStatusClicked();
    void handleGetStatusDevice(int result, void* status);
    void handlePollStatusClicked();
    void handlePollStatusDevice(int result, void* status);

private:
    void initToolsAndStatusPages();
    [[nodiscard]] bool loadToolScript();
    void clearStatusIndicators();
    void addStatusItems(const std::vector<const StatusBitInfo*>& bits, QList<UiStatusItem>& items);
    void refreshStatusItems(const struct StatusDevice* status);
    void RefreshStatus(const unsigned char* answer, int length, const QList<UiStatusItem>& items);
    class GetStatusDeviceController* startStatusJob(void (MainWindow::*handler)(int, void*));
    void startPollCycle();
    void setPollingControlsEnabled(bool enabled);
    bool isToolOrStatusJobRunning() const;
    void stopToolAndStatusJobs();

    // Button and description of each tool row, in table order.
    std::array<QPair<class QPushButton*, class QLabel*>, kToolRowCount> m_toolRows{};
    ToolTag m_currentTool;
    // The script of the upload tool; the tool job reads it until it reports back.
    QByteArray m_toolScript;
    QList<UiStatusItem> m_generalStatusItems;
    QList<UiStatusItem> m_extendedStatusItems;
    bool m_polling = false;
    bool m_pollReady = true;
    class ExecOnDeviceController* m_toolJob = nullptr;
    class GetStatusDeviceController* m_statusJob = nullptr;
    class GetStatusDeviceController* m_pollJob = nullptr;
    // End of the tools and status pages.

    // Widget values and the data model.
    void updateSetupDataFromUi();
    void updateSetupDataAfterWrite();

    // Jobs.
    void openWaitingDialog(const QString& title);
    void closeWaitingDialog();
    void stopRunningJobs();

    std::unique_ptr<Ui::MainWindow> ui;
    QList<SetupItemBase*> m_setupItems;
    QHash<int, SetupItemBase*> m_setupItemsById;
    bool m_showExtendedInfo = false;
    CommPortSettings m_portSettings;
    PrinterData m_printerData;
    ProtocolDataAvailable m_saveSelection;
    QPointer<WaitingDialog> m_waitingDialog;
    ReadDeviceDataController* m_readJob = nullptr;
    WriteDeviceDataController* m_writeJob = nullptr;

    // Upgrade page (MainWindowUpgradePage.cpp): the loaded module or package, the components chosen for
    // the next upgrade, and the upgrade job.
public:
    static constexpr int kUpgradeNothing = 0;
    static constexpr int kUpgradeModule = 1;
    static constexpr int kUpgradePackage = 2;
    // The running upgrade job, or null; read by the bridges from the worker thread while it runs.
    UpgradeDeviceController* upgradeJob() const { return m_upgradeJob; }
    int upgradeKind() const { return m_upgradeKind; }

signals:
    // The waiting dialog now shows this progress text of the upgrade.
    void upgradeMessageShown(const QString& text);

public slots:
    void handleUpgradeOpenClicked();
    void handleUpgradePerformClicked();

private slots:
    void handleUpgradeFinished(int result);
    void handleShowDialogFromFwUpg();
    void handleChangeWaitingLabel();

protected:
    // Ignored while an upgrade runs: cutting it could leave the printer without firmware.
    void closeEvent(QCloseEvent* event) override;

private:
    [[nodiscard]] bool loadUpgradeFile(const QString& name, QString& info);
    // False when the user cancelled or chose nothing.
    [[nodiscard]] bool chooseUpgradeComponents();
    void startUpgradeJob(int kind, const QString& title);
    void releaseUpgradeJob();
    // For the window's end: stops the upgrade at a safe point and waits for it.
    void stopUpgradeJob();

    ModuleData m_module;
    PSWFile m_package;
    int m_upgradeKind = kUpgradeNothing;
    std::optional<audit::PackageIdentity> m_upgradeFileIdentity; // the loaded file, for the audit trail
    PSWComponents m_components;
    UpgradeDeviceController* m_upgradeJob = nullptr;
};
