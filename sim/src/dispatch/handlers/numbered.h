// The get and put handlers of the controller's numbered tables, variables and definitions:
// get_X(no) answers entry no, put_X(no, value) stores it, both through the controller's rule
// for that kind of table.
#pragma once

#include <cstdint>

#include "dispatch/call.h"

namespace kelvor::sim::dispatch::handlers {

template <class R>
using GetRule = model::Status (model::Controller::*)(model::Table<R>, int32_t, R&) const;
template <class R>
using PutRule = model::Status (model::Controller::*)(model::Table<R>, int32_t, R);

template <class R>
model::Status getNumbered(Call& c, GetRule<R> rule, model::Table<R> table) {
  R value{};
  return c.answer((c.ctl.*rule)(table, c.arg<int32_t>(), value), value);
}

template <class R>
model::Status putNumbered(Call& c, PutRule<R> rule, model::Table<R> table) {
  const auto no = c.arg<int32_t>();
  return (c.ctl.*rule)(table, no, c.arg<R>());
}

}  // namespace kelvor::sim::dispatch::handlers
