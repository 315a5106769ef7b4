#include "dispatch/table.h"

#include <array>

#include "dispatch/handlers.h"

namespace kelvor::sim::dispatch {

namespace {

struct Entry {
  uint16_t func;
  Handler handler;
};

constexpr Entry kTable[] = {
#define KLV_FUNC(id, name, request, reply, kind) {id, &handlers::name},
#include "kelvor/functions.def"
#undef KLV_FUNC
};

// kTable's handlers by function number: a request's handler is looked up, not searched for.
constexpr auto kHandlersById = [] {
  std::array<Handler, 0x100> byId{};
  for (const Entry& e : kTable) {
    // Function numbers are small; one beyond the array stops the build here.
    if (e.func >= byId.size()) throw "function number beyond the look-up table";
    if (!byId[e.func]) byId[e.func] = e.handler;
  }
  return byId;
}();

}  // namespace

Handler findHandler(uint16_t func) {
  return func < kHandlersById.size() ? kHandlersById[func] : nullptr;
}

}  // namespace kelvor::sim::dispatch
