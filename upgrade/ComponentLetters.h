// The components an operator names by letter (S firmware, F fonts, L logos, D flash disk, O other
// modules; any order, other characters ignored), as the command-line front ends take them.
#pragma once

#include "firmware/PSWComponents.h"

#include <string>

class PSWFile;

namespace component_letters {

enum class Refusal { None, WholeUpgradeDemanded, NothingChosen };

// Each named module as after-module when the package has that kind, else as before-module. Refused
// when the package must be installed whole, or when no named component is in it.
[[nodiscard]] Refusal Choose(const PSWFile& package, const std::string& letters, PSWComponents& chosen);

// Whether the letters ask for a choice at all (empty, or containing A for all, means the whole package).
bool NamesAChoice(const std::string& letters);

} // namespace component_letters
