#include "base/HomeDir.h"

#include <pwd.h>
#include <unistd.h>

std::string getHomeDir() {
    const struct passwd* entry = getpwuid(getuid());
    if (entry == nullptr || entry->pw_dir == nullptr)
        return {};
    return entry->pw_dir;
}
