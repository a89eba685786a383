// Pictures of the real main window for the README: the welcome page, the port dialog, two setup pages
// that together show every kind of item editor, the tools page, the status page after a status read,
// and the upgrade page with the sample package opened, all from the simulated printer (default
// profile) running in this process. Run under a display, e.g. `xvfb-run -a`, through
// scripts/screenshots.sh.
#include "gui/DialogSeam.h"
#include "gui/MainWindow.h"
#include "gui/port/PortEnumeration.h"
#include "sim/InProcessPrinter.h"
#include "sim/Options.h"
#include "tools/FixtureSets.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool Save(QWidget& widget, const QString& path) {
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", path.toLocal8Bit().constData());
    return saved;
}

void Settle() {
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The port dialog pictured with the Ethernet item chosen, then accepted.
void ChoosePortAndPicture(MainWindow& window, uint16_t port, const QString& picture, bool& saved) {
    DialogSeam::pushAnswer([&, port](QDialog& dialog) {
        auto* address = dialog.findChild<QLineEdit*>("lineEdit_Item3");
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(address, &press);
        address->setText("127.0.0.1");
        dialog.findChild<QLineEdit*>("lineEdit_line3_Item3")->setText(QString::number(port));
        dialog.show();
        Settle();
        saved = Save(dialog, picture);
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->text().remove('&') == "OK")
                button->click();
        return dialog.result();
    });
    window.findChild<QPushButton*>("pushButton_MenuPort")->click();
}

bool ReadPrinter(MainWindow& window) {
    for (QAction* action : window.findChildren<QAction*>())
        if (action->text() == "From Device")
            action->trigger();
    while (window.isJobRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !window.setupItemWidgets().isEmpty();
}

void WaitForJob(MainWindow& window) {
    while (window.isJobRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    Settle();
}

// The status page once a status read has refreshed its indicators.
bool PictureStatus(MainWindow& window, const QString& picture) {
    window.findChild<QAbstractButton*>("radioButton_Status")->click();
    DialogSeam::pushAnswer([](QDialog& dialog) { return dialog.result(); });
    window.findChild<QPushButton*>("pushButton_getStatus")->click();
    WaitForJob(window);
    return Save(window, picture);
}

// The upgrade page with the package the default printer accepts opened, showing its summary.
bool PictureUpgrade(MainWindow& window, const QString& picture) {
    QTemporaryDir samples;
    if (!fixtures::WriteFiles(samples.path().toStdString(), fixtures::UpgradeSamples()))
        return false;
    window.findChild<QAbstractButton*>("radioButton_Upgrade")->click();
    DialogSeam::pushFileName(samples.filePath("sample-firmware.psw"));
    window.findChild<QPushButton*>("pushButton_UpgradeOpen")->click();
    Settle();
    return Save(window, picture);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString directory = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("docs/screenshots");
    QDir().mkpath(directory);
    // The port dialog lists no devices of this machine and broadcasts no discovery.
    const auto none = [](std::string&) { return std::vector<std::string>{}; };
    PortEnumeration::forNewDialogs() = PortEnumeration{none, none, none, none};
    sim::Profile profile = sim::LoadProfileFile(sim::ResolveProfilePath("default"));
    // The paper running low, so the status picture shows a bit set.
    if (profile.status)
        profile.status->generalSchedule = {sim::StatusStep{{0x04, 0x00, 0x00, 0x00}, 1000}};
    sim::InProcessPrinter printer(profile);
    MainWindow window(argc, argv);
    window.resize(1100, 760);
    window.show();
    Settle();
    bool ok = Save(window, directory + "/welcome.png");

    bool dialogSaved = false;
    ChoosePortAndPicture(window, printer.Port(), directory + "/port-dialog.png", dialogSaved);
    ok = ok && dialogSaved;
    if (!ReadPrinter(window)) {
        std::fprintf(stderr, "the simulated printer could not be read\n");
        return 1;
    }
    // Communication: lists, texts, a number and check boxes; Misc: the date and time among others.
    const struct {
        const char* button;
        const char* file;
    } pages[] = {{"radioButton_SetupInfo", "/setup-info.png"},
                 {"radioButton_SetupCommunication", "/setup-communication.png"},
                 {"radioButton_SetupGeneric", "/setup-misc.png"}};
    for (const auto& page : pages) {
        window.findChild<QAbstractButton*>(page.button)->click();
        Settle();
        ok = Save(window, directory + page.file) && ok;
    }
    window.findChild<QAbstractButton*>("radioButton_Tools")->click();
    Settle();
    ok = Save(window, directory + "/tools.png") && ok;
    ok = PictureStatus(window, directory + "/status.png") && ok;
    ok = PictureUpgrade(window, directory + "/upgrade.png") && ok;
    DialogSeam::reset();
    return ok ? 0 : 1;
}
