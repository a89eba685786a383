// The user's home directory from the password database (not $HOME), the root of the log directory.
#pragma once

#include <string>

std::string getHomeDir();

// "VELMAR/Dalvora/Log": the log directory relative to the home directory.
inline constexpr const char* kLogDirectoryRelative = "VELMAR/Dalvora/Log";
