#include "gui/port/PortEnumeration.h"

PortEnumeration& PortEnumeration::forNewDialogs() {
    static PortEnumeration table;
    return table;
}
