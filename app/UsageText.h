// The --help text.
#pragma once

#include <string>

// The whole usage text, every line ending in a line break; programPath stands in the usage lines.
std::string FormatUsageText(const char* programPath);
