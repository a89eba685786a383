#include "gui/MainWindow.h"

#include "base/HomeDir.h"
#include "base/Log.h"
#include "base/Version.h"

#include <QDir>
#include <QLabel>
#include <cstring>

MainWindow::MainWindow(int argc, char** argv, QWidget* parent) : QMainWindow(parent) {
    initUi();
    applyWindowedOptions(argc, argv);
}

QString MainWindow::getHomeDir() {
    return QString::fromLocal8Bit(::getHomeDir().c_str());
}

void MainWindow::initUi() {
    setWindowTitle(QString("Dalvora - Velmar - ver. ") + kDalvoraRelease);
    auto* welcome = new QLabel("Select a configuration file as follows:", this);
    welcome->setAlignment(Qt::AlignCenter);
    setCentralWidget(welcome);
    resize(1024, 700);
}

void MainWindow::applyWindowedOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--log") == 0)
            enableFileLog();
        else if (strcmp(argv[i], "--SWPRNLIFEINFO") == 0)
            m_showExtendedInfo = true;
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
