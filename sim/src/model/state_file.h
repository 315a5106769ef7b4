// --state: the persistent part of the controller on disk.
#pragma once

#include <string>

#include "model/persistent_state.h"

namespace kelvor::sim::model {

// Loads FILE into state. A missing file leaves the defaults and succeeds; a damaged one fails
// with a message in error.
bool loadState(const std::string& path, PersistentState& state, std::string& error);

// Replaces FILE atomically: temporary file, fsync, rename, fsync of the directory. When it
// returns true the new content survives a crash.
bool saveState(const std::string& path, const PersistentState& state, std::string& error);

}  // namespace kelvor::sim::model
