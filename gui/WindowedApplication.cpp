#include "gui/WindowedApplication.h"

#include "base/GenericFunctions.h"
#include "gui/MainWindow.h"

#include <QApplication>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

namespace {

// The first user-interface language whose translation is among the resources wins; there are none
// today, so the built-in English texts stay.
void InstallTranslation(QApplication& app, QTranslator& translator) {
    for (const QString& language : QLocale::system().uiLanguages()) {
        QString name = QLocale(language).name();
        if (translator.load(":/i18n/Dalvora_" + name)) {
            app.installTranslator(&translator);
            return;
        }
    }
}

void ArmTestQuitTimer(MainWindow& window) {
    const char* text = std::getenv(kQuitAfterVariable);
    int ms = GenericFunctions::ParseInt(text, -1);
    if (ms < 0)
        return;
    QTimer::singleShot(ms, &window, [&window] {
        fprintf(stderr, "window: %s\n", window.windowTitle().toLocal8Bit().constData());
        window.close();
    });
}

} // namespace

int RunWindowedApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    // Desktops (Wayland's app id, the dock) match the window to its installed desktop entry by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.velmar.Dalvora"));
    QTranslator translator;
    InstallTranslation(app, translator);
    MainWindow window(argc, argv);
    window.show();
    ArmTestQuitTimer(window);
    return app.exec();
}
