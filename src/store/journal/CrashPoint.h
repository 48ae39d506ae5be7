// Named places where a test can stop the process dead, to prove that a
// transaction interrupted there is resolved at the next start. A point fires
// when KESTROVA_CRASH_AT names it, and only in builds compiled with
// KESTROVA_FAULT_INJECTION (test builds); elsewhere it does nothing.
//
// A point is reached as "<scope>.<point>"; KESTROVA_CRASH_AT may name the
// whole ("quarantine.journal-saved") or only the point ("journal-saved",
// any scope). Transactions use the scopes "quarantine", "restore", "trash"
// and "trash-restore" with the three points below; chained operations
// (cleanup runs, permanent-quarantine enforcement) add their own points
// between their transactions by calling crashPoint with their own names.
#pragma once

#include <string_view>

namespace kestrova {

namespace crashPoints {
// The pending journal is in the state file; nothing has been sent.
inline constexpr std::string_view journalSaved = "journal-saved";
// The helper answered (its moves are done); the reply is not yet checked.
inline constexpr std::string_view helperReplied = "helper-replied";
// The result is applied to the inventory in memory; nothing is saved yet.
inline constexpr std::string_view commitApplied = "commit-applied";
}  // namespace crashPoints

// Kills the process with SIGKILL when KESTROVA_CRASH_AT names this point.
void crashPoint(std::string_view scope, std::string_view point);

// Whether this build honours KESTROVA_CRASH_AT at all.
bool crashPointsEnabled();

}  // namespace kestrova
