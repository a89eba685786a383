#include "gui/resources/ApplicationResources.h"

#include <QtGlobal>

void EnsureApplicationResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(dalvora_resources);
        return true;
    }();
    (void)registered;
}
