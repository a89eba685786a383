#include "gui/resources/ApplicationFonts.h"

#include "gui/resources/ApplicationResources.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

bool RegisterApplicationFonts() {
    EnsureApplicationResources();
    bool allRegistered = true;
    for (const char* name : {"cour", "couri", "courbd", "courbi", "opensl", "openss"}) {
        if (QFontDatabase::addApplicationFont(QString(":/fonts/") + name) < 0)
            allRegistered = false;
    }
    QFont font("Open Sans");
    font.setWeight(QFont::Light);
    QApplication::setFont(font);
    return allRegistered;
}
