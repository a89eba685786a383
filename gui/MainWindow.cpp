// The window's frame: start-up, the top bar and its menus, the lateral menu, the port choice, the About
// box and the message boxes.
#include "gui/MainWindow.h"
#include "ui_MainWindow.h"

#include "base/HomeDir.h"
#include "base/Log.h"
#include "base/Version.h"
#include "gui/DialogSeam.h"
#include "gui/dialogs/AboutDialog.h"
#include "gui/dialogs/MessageDialog.h"
#include "gui/jobs/ReadDeviceDataController.h"
#include "gui/jobs/WriteDeviceDataController.h"
#include "gui/port/CommunicationDialog.h"
#include "gui/resources/ApplicationFonts.h"

#include <QAction>
#include <QDir>
#include <QIcon>
#include <QMenu>
#include <QShortcut>
#include <cstring>

MainWindow* MainWin = nullptr;

namespace {

constexpr const char* kTopBarStyle =
    "QFrame#frame_1 { background-color: #1D70B7; }"
    "QFrame#frame_1 QPushButton { background-color: #1D70B7; color: #FFFFFF; border: none;"
    " padding: 8px 14px; font-size: 14px; }"
    "QFrame#frame_1 QPushButton:hover { background-color: #003250; }"
    "QFrame#frame_1 QPushButton:pressed { background-color: #003250; }"
    "QFrame#frame_1 QPushButton:focus { background-color: #003250; }"
    "QFrame#frame_1 QPushButton::menu-indicator { image: none; }";

constexpr const char* kMenuStyle =
    "QMenu{background-color: #003250; color: #FFFFFF;} QMenu::item:selected {background-color: #567794;}";

} // namespace

MainWindow::MainWindow(int argc, char** argv, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>()) {
    // The window still works with the platform's fonts, so a missing face is only logged.
    if (!RegisterApplicationFonts())
        Log::WriteLog("MainWindow", "Not every application font could be registered");
    ui->setupUi(this);
    initUi();
    applyWindowedOptions(argc, argv);
    showUpgradeData();
    MainWin = this;
}

MainWindow::~MainWindow() {
    // The workers write into m_printerData: wait for them before any member goes.
    stopRunningJobs();
    closeWaitingDialog();
    if (MainWin == this)
        MainWin = nullptr;
}

QString MainWindow::getHomeDir() {
    return QString::fromLocal8Bit(::getHomeDir().c_str());
}

void MainWindow::initUi() {
    setWindowTitle(QString("Dalvora - Velmar - ver. ") + kDalvoraRelease);
    ui->frame_1->setStyleSheet(kTopBarStyle);
    const struct {
        QPushButton* button;
        const char* icon;
    } icons[] = {{ui->pushButton_MenuLoad, ":/images/Dalvora_load_white.png"},
                 {ui->pushButton_MenuSave, ":/images/Dalvora_save_white.png"},
                 {ui->pushButton_MenuPort, ":/images/Dalvora_port_white.png"},
                 {ui->pushButton_MenuExtra, ":/images/Dalvora_extra_white.png"},
                 {ui->pushButton_MenuHelp, ":/images/Dalvora_help_white.png"}};
    for (const auto& entry : icons) {
        entry.button->setIcon(QIcon(entry.icon));
        entry.button->setIconSize(QSize(20, 20));
    }
    ui->label_Logo->setPixmap(QPixmap(":/images/Logo_velmar.png"));
    ui->label_main_msg_4->hide(); // the window takes no dropped files
    ui->stackedWidgetMainBody->setCurrentWidget(ui->page_1);
    buildMenus();
    connectButtons();
    initToolsAndStatusPages();
    ui->radioButton_Logos->hide();
    ui->radioButton_Fonts->hide();
    ui->radioButton_Blackmark->hide();
    ui->radioButton_Features->hide();
    ui->groupBox_SetupMenu->hide();
    resize(1024, 700);
}

QMenu* MainWindow::buildMenu(const QList<QPair<QString, int>>& entries) {
    auto* menu = new QMenu(this);
    menu->setStyleSheet(kMenuStyle);
    for (const auto& [text, number] : entries) {
        QAction* action = menu->addAction(text);
        action->setData(number);
    }
    connect(menu, &QMenu::triggered, this, &MainWindow::menuClicked);
    return menu;
}

void MainWindow::buildMenus() {
    QMenu* load = buildMenu({{"From Device", kLoadFromDevice}, {"From File", kLoadFromFile}});
    QMenu* save = buildMenu({{"To Device", kSaveToDevice}, {"To File", kSaveToFile}});
    QMenu* extra = buildMenu({{"Edit Module Font", kEditModuleFont},
                              {"Export data to TXT", kExportToText},
                              {"Print Preview", kPrintPreview},
                              {"Print", kPrint}});
    QMenu* help = buildMenu({{"About", kAbout}});
    ui->pushButton_MenuLoad->setMenu(load);
    ui->pushButton_MenuSave->setMenu(save);
    ui->pushButton_MenuExtra->setMenu(extra);
    ui->pushButton_MenuHelp->setMenu(help);
    ui->pushButton_MenuExtra->setEnabled(false);

    // Keyboard access: the usual shortcuts on the four file actions, Alt+letter opens a menu.
    const struct {
        QMenu* menu;
        int index;
        QKeySequence keys;
    } shortcuts[] = {{load, 0, QKeySequence("Ctrl+R")},
                     {load, 1, QKeySequence::Open},
                     {save, 0, QKeySequence("Ctrl+D")},
                     {save, 1, QKeySequence::Save}};
    for (const auto& entry : shortcuts) {
        QAction* action = entry.menu->actions().at(entry.index);
        action->setShortcut(entry.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action); // active while the menu is closed
    }
    const struct {
        QPushButton* button;
        const char* keys;
    } openers[] = {{ui->pushButton_MenuLoad, "Alt+L"},
                   {ui->pushButton_MenuSave, "Alt+S"},
                   {ui->pushButton_MenuPort, "Alt+P"},
                   {ui->pushButton_MenuHelp, "Alt+H"}};
    for (const auto& entry : openers) {
        auto* shortcut = new QShortcut(QKeySequence(entry.keys), this);
        QPushButton* button = entry.button;
        connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
    }
}

void MainWindow::connectButtons() {
    connect(ui->pushButton_MenuPort, &QPushButton::clicked, this, &MainWindow::handlePortClicked);
    connect(ui->buttonGroupMainMenu, qOverload<QAbstractButton*, bool>(&QButtonGroup::buttonToggled), this,
            &MainWindow::handleGroupMainMenuToggled);
    connect(ui->buttonGroupSetupMenu, qOverload<QAbstractButton*, bool>(&QButtonGroup::buttonToggled), this,
            &MainWindow::handleGroupSetupMenuToggled);
    connect(ui->pushButton_RestoreDefault, &QPushButton::clicked, this,
            &MainWindow::handleRestoreDefaultClicked);
    connect(ui->pushButton_RestoreReset, &QPushButton::clicked, this, &MainWindow::handleRestoreResetClicked);
    connect(ui->pushButton_UpgradeOpen, &QPushButton::clicked, this, &MainWindow::handleUpgradeOpenClicked);
    connect(ui->pushButton_UpgradePerform, &QPushButton::clicked, this,
            &MainWindow::handleUpgradePerformClicked);
}

void MainWindow::menuClicked(QAction* action) {
    switch (action->data().toInt()) {
    case kLoadFromDevice:
        loadSetupFromDevice();
        break;
    case kLoadFromFile:
        loadSettingsFromFile();
        break;
    case kSaveToFile:
        saveSettingsToFile();
        break;
    case kSaveToDevice:
        saveSetupToDevice();
        break;
    case kAbout:
        showAboutDialog();
        break;
    default: // the EXTRA entries have no behaviour
        break;
    }
}

void MainWindow::handleGroupMainMenuToggled(QAbstractButton* button, bool checked) {
    if (!checked)
        return;
    QStackedWidget* inner = ui->stackedWidgetInnerBody;
    ui->groupBox_SetupMenu->setVisible(button == ui->radioButton_Setup);
    if (button == ui->radioButton_Setup)
        inner->setCurrentWidget(ui->page_inner_1);
    else if (button == ui->radioButton_Tools)
        inner->setCurrentWidget(ui->page_inner_tools);
    else if (button == ui->radioButton_Upgrade)
        inner->setCurrentWidget(ui->page_inner_upgrade);
    else if (button == ui->radioButton_Status)
        inner->setCurrentWidget(ui->page_inner_status);
    else
        inner->setCurrentWidget(ui->page_inner_2);
}

void MainWindow::handlePortClicked() {
    CommunicationDialog dialog(this);
    dialog.setUiFromCurrentSettings(m_portSettings);
    if (DialogSeam::exec(dialog) != QDialog::Accepted)
        return;
    CommPortSettings chosen = dialog.getCurrentSettings();
    if (chosen.IsValid())
        m_portSettings = chosen;
    else
        showMessageBox("Warning", "No valid device selected");
}

void MainWindow::showAboutDialog() {
    AboutDialog dialog(this);
    DialogSeam::exec(dialog);
}

void MainWindow::showMessageBox(const QString& title, const QString& text) {
    MessageDialog dialog(this);
    dialog.setText(title, text);
    DialogSeam::exec(dialog);
}

void MainWindow::applyWindowedOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--log") == 0)
            enableFileLog();
        else if (strcmp(argv[i], "--SWPRNLIFEINFO") == 0)
            m_showExtendedInfo = true;
        else if (strcmp(argv[i], "--SWPOLLSTATUS") == 0)
            ui->pushButton_pollStatus->show();
    }
}

// The log goes to home/VELMAR/Dalvora/Log when that directory exists or can be made, otherwise to
// the working directory (also without a home directory, rather than a relative VELMAR/ here).
void MainWindow::enableFileLog() {
    QString home = getHomeDir();
    if (home.isEmpty()) {
        Log::SetLogEnable(2, true, nullptr);
        return;
    }
    QString directory = home + "/" + kLogDirectoryRelative;
    QDir(home).mkpath(kLogDirectoryRelative);
    if (QDir(directory).exists())
        Log::SetLogEnable(2, true, directory.toLocal8Bit().constData());
    else
        Log::SetLogEnable(2, true, nullptr);
}
