#include "dispatch/table.h"

#include "dispatch/handlers.h"
#include "kelvor/protocol.h"

namespace kelvor::sim::dispatch {

namespace {

// One handler per function, in the order of the protocol's function list: both come from
// functions.def, so a function's place in proto::allFuncs() is its handler's place here.
constexpr Handler kTable[] = {
#define KLV_FUNC(id, name, request, reply, kind) &handlers::name,
#include "kelvor/functions.def"
#undef KLV_FUNC
};

}  // namespace

Handler handlerOf(const proto::FuncInfo& f) { return kTable[&f - proto::allFuncs().data()]; }

Handler findHandler(uint16_t func) {
  // The protocol finds the function by number (a look-up, not a search).
  const proto::FuncInfo* f = proto::findFunc(func);
  return f ? handlerOf(*f) : nullptr;
}

}  // namespace kelvor::sim::dispatch
