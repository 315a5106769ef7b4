#include "dispatch/table.h"

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

}  // namespace

Handler findHandler(uint16_t func) {
  for (const Entry& e : kTable) {
    if (e.func == func) return e.handler;
  }
  return nullptr;
}

}  // namespace kelvor::sim::dispatch
