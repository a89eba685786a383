// The audit trail file: JSON lines under the user's XDG state directory
// ($XDG_STATE_HOME/dalvora/audit.jsonl, by default ~/.local/state/dalvora/audit.jsonl). Several
// programs may append at once (a fleet run and the window): each line goes out in one write under
// an exclusive lock on a file opened for appending, so lines never tear or interleave.
#pragma once

#include "audit/AuditEntry.h"

#include <optional>
#include <string>
#include <vector>

namespace audit {

inline constexpr const char* kTrailFileName = "audit.jsonl";

// The trail's path; empty when neither XDG_STATE_HOME nor a home directory is known.
std::string TrailPath();

// Appends the entry (creating the directories, mode 0700, and the file, mode 0600); false with the
// reason in `error`. The line is flushed to the disk before this returns.
[[nodiscard]] bool Append(const Entry& entry, std::string& error, const std::string& path = TrailPath());

struct Trail {
    std::vector<Entry> entries; // in file order
    size_t unreadable = 0;      // lines that are not complete entries (counted, skipped)
};

// The entries at or after `since` (all without it); a missing file is an empty trail.
[[nodiscard]] std::optional<Trail> ReadTrail(std::optional<int64_t> since, std::string& error,
                                             const std::string& path = TrailPath());

} // namespace audit
