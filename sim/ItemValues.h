// Setup item values as texts on the wire: how the printer prints each kind's value into its item
// answer, which set-value texts it accepts, and how an accepted text becomes the item's value.
#pragma once

#include "sim/Profile.h"

#include <string>

namespace sim {

// The value in the form the host writes it back ("%d" for lists, the step's decimals for numbers,
// "YYYY/MM/DD HH:MM:SS", the string itself, "b,b," for checkboxes).
[[nodiscard]] std::string CurrentValueText(const SetupItem& item);

// A number with as many decimals as the step has (at most 5), '.' as decimal point.
[[nodiscard]] std::string FormatNumber(double value, double step);
[[nodiscard]] int StepDecimals(double step);

// Comma-separated decimal bytes, without a final comma ("5,1").
[[nodiscard]] std::string JoinBytes(const std::vector<uint8_t>& bytes);

// True when the printer takes the text as the item's new value; `why` tells the refusal.
[[nodiscard]] bool AcceptsValueText(const SetupItem& item, const std::string& text, std::string& why);

// Sets the item's current value from an accepted text.
void ApplyValueText(SetupItem& item, const std::string& text);

// Restores the item's factory default.
void ApplyDefault(SetupItem& item);

} // namespace sim
