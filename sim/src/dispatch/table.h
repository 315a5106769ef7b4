// The handler table: function id to handler, in the order of the protocol's function list.
#pragma once

#include <cstdint>

#include "dispatch/call.h"

namespace kelvor::sim::dispatch {

// The handler of a function id, or nullptr for an id the protocol does not have.
Handler findHandler(uint16_t func);

}  // namespace kelvor::sim::dispatch
