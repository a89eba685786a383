// The audit line's JSON form and back. Confidential values are masked on the way out, so nothing
// that reads the trail can see them.
#pragma once

#include "audit/AuditEntry.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace audit {

nlohmann::json ToJson(const Entry& entry);
// The entry of a line; nothing when the line is not a complete entry.
std::optional<Entry> FromJson(const nlohmann::json& line);

// "2026-12-08T01:02:03Z"; and back (also a bare date "2026-12-08", taken as its midnight UTC).
std::string FormatUtc(int64_t time);
std::optional<int64_t> ParseUtc(const std::string& text);

// The GSI as the trail and the tables show it: "0x0123".
std::string FormatGsi(uint64_t gsi);

} // namespace audit
