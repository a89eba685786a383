// The application window. It reads the two windowed-mode options (--log, --SWPRNLIFEINFO) when built.
#pragma once

#include <QMainWindow>
#include <QString>

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    MainWindow(int argc, char** argv, QWidget* parent = nullptr);

    static QString getHomeDir();
    bool isExtendedInfoShown() const { return m_showExtendedInfo; }

private:
    void initUi();
    void applyWindowedOptions(int argc, char** argv);
    static void enableFileLog();

    bool m_showExtendedInfo = false;
};
