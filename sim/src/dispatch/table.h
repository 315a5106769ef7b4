// The handler table: function id to handler, in the order of the protocol's function list.
#pragma once

#include <cstdint>

#include "dispatch/call.h"
#include "kelvor/protocol.h"

namespace kelvor::sim::dispatch {

// The handler of a function id, or nullptr for an id the protocol does not have.
Handler findHandler(uint16_t func);
// The handler of a function of the protocol's list, for a caller that has looked it up already.
Handler handlerOf(const proto::FuncInfo& f);

}  // namespace kelvor::sim::dispatch
