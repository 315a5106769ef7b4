// --state: the persistent part of the controller on disk.
#pragma once

#include <string>

#include "model/persistent_state.h"

namespace kelvor::sim::model {

// Loads FILE into state. A missing file leaves the defaults and succeeds; a damaged one, one
// that is not a regular file or is larger than kMaxStateFileBytes fails with a message in
// error.
bool loadState(const std::string& path, PersistentState& state, std::string& error);

// The largest state file: every entry at its longest is well below it.
inline constexpr size_t kMaxStateFileBytes = 4 << 20;

// Parses a state file's text into state; fails with a message (naming the line or the entry)
// when it is damaged or holds what the controller would refuse. state is unchanged then.
bool parseState(const std::string& text, PersistentState& state, std::string& error);

// The text of a state file holding state.
std::string formatState(const PersistentState& state);

// Replaces FILE atomically: a temporary file created exclusively under a fresh name next to
// it (mode 0600), fsync, rename, fsync of the directory. When it returns true the new content
// survives a crash.
bool saveState(const std::string& path, const PersistentState& state, std::string& error);

}  // namespace kelvor::sim::model
