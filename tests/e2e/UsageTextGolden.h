// The --help text as users know it, described line by line with its exact blanks.
#pragma once

#include <string>

std::string ExpectedUsageText(const std::string& programPath);
