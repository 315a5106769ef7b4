// One handler for every function of the protocol, named after it. The list comes from the
// protocol's function table, so a function without a handler does not link.
#pragma once

#include "dispatch/call.h"

namespace kelvor::sim::dispatch::handlers {

#define KLV_FUNC(id, name, request, reply, kind) model::Status name(Call& c);
#include "kelvor/functions.def"
#undef KLV_FUNC

}  // namespace kelvor::sim::dispatch::handlers
