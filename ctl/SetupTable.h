// A printer's identity and setup as rows: the JSON objects of `read` and the table built from them.
#pragma once

#include <nlohmann/json.hpp>

class PrinterData;

namespace ctl {

// {"gsi", "release", "protocol_version"}; nulls for what the printer did not tell.
nlohmann::json IdentityJson(const PrinterData& data);

// One object per item: id, page, kind, description, value, default, differs_from_default,
// read_only, confidential (a confidential value and default are masked).
nlohmann::json SetupJson(const PrinterData& data);

} // namespace ctl
