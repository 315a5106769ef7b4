// Conversions between the position forms and the deviations.
#include "dispatch/handlers.h"

namespace kelvor::sim::dispatch::handlers {

using model::Controller;
using model::H;
using model::J;
using model::P;
using model::Status;
using model::T;

namespace {

template <class In, class Out>
Status convert(Call& c, Status (Controller::*rule)(const In&, Out&) const) {
  Out out{};
  return c.answer((c.ctl.*rule)(c.arg<In>(), out), out);
}

template <class R>
Status deviate(Call& c, Status (Controller::*rule)(const R&, const R&, R&) const) {
  const auto base = c.arg<R>();
  const auto offset = c.arg<R>();
  R out{};
  return c.answer((c.ctl.*rule)(base, offset, out), out);
}

}  // namespace

Status P2T(Call& c) { return convert(c, &Controller::p2t); }
Status P2J(Call& c) { return convert(c, &Controller::p2j); }
Status J2P(Call& c) { return convert(c, &Controller::j2p); }
Status J2T(Call& c) { return convert(c, &Controller::j2t); }
Status T2P(Call& c) { return convert(c, &Controller::t2p); }
Status T2J(Call& c) { return convert(c, &Controller::t2j); }
Status Dev(Call& c) { return deviate<P>(c, &Controller::dev); }
Status DevH(Call& c) { return deviate<H>(c, &Controller::devH); }

}  // namespace kelvor::sim::dispatch::handlers
