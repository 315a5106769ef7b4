// The current position, the configuration and the motions.
#include "dispatch/handlers.h"

namespace kelvor::sim::dispatch::handlers {

using model::J;
using model::MotionRequest;
using model::MotionTarget;
using model::MotionTicket;
using model::P;
using model::Status;
using model::T;

namespace {

// Starts the motion to request.target unless a rule refused to compute the target.
Status start(Call& c, const Status& target, const MotionRequest& request) {
  if (!target.ok()) return target;
  MotionTicket ticket;
  return c.motion(c.ctl.move(request, ticket), ticket);
}

// MoveP, MoveJ, MoveT: Comp, Path, the position, Next.
template <class Position>
Status move(Call& c) {
  MotionRequest m;
  m.comp = c.arg<int32_t>();
  m.path = c.arg<std::string>();
  const Status target = c.ctl.target(c.arg<Position>(), m.target);
  m.next = c.arg<std::string>();
  return start(c, target, m);
}

// ApproachP, ApproachJ, ApproachT: Comp, the position, Path, Length, Next.
template <class Position>
Status approach(Call& c) {
  MotionRequest m;
  m.comp = c.arg<int32_t>();
  MotionTarget position;
  Status target = c.ctl.target(c.arg<Position>(), position);
  m.path = c.arg<std::string>();
  const auto length = c.arg<float>();
  m.next = c.arg<std::string>();
  if (target.ok()) target = c.ctl.approachTarget(position, length, m.target);
  return start(c, target, m);
}

}  // namespace

Status get_CurrentP(Call& c) { return c.answer({}, c.ctl.currentP()); }
Status get_CurrentJ(Call& c) { return c.answer({}, c.ctl.currentJ()); }
Status get_CurrentT(Call& c) { return c.answer({}, c.ctl.currentT()); }
Status get_CnfData(Call& c) { return c.answer({}, c.ctl.fig()); }
Status put_CnfData(Call& c) { return c.ctl.setFig(c.arg<int32_t>()); }
Status get_MotionState(Call& c) { return c.answer({}, c.ctl.moving() ? 1 : 0); }
Status MoveP(Call& c) { return move<P>(c); }
Status MoveJ(Call& c) { return move<J>(c); }
Status MoveT(Call& c) { return move<T>(c); }
Status ApproachP(Call& c) { return approach<P>(c); }
Status ApproachJ(Call& c) { return approach<J>(c); }
Status ApproachT(Call& c) { return approach<T>(c); }

Status Depart(Call& c) {
  MotionRequest m;
  m.comp = c.arg<int32_t>();
  m.path = c.arg<std::string>();
  const Status target = c.ctl.departTarget(c.arg<float>(), m.target);
  m.next = c.arg<std::string>();
  return start(c, target, m);
}

// DriveA and Drive move the joints: joint interpolation.
Status DriveA(Call& c) {
  MotionRequest m;
  m.comp = model::kCompJoint;
  m.path = c.arg<std::string>();
  const Status target = c.ctl.target(c.arg<J>(), m.target);
  m.next = c.arg<std::string>();
  return start(c, target, m);
}

Status Drive(Call& c) {
  MotionRequest m;
  m.comp = model::kCompJoint;
  m.path = c.arg<std::string>();
  const auto axis = c.arg<int32_t>();
  const Status target = c.ctl.driveTarget(axis, c.arg<float>(), m.target);
  m.next = c.arg<std::string>();
  return start(c, target, m);
}

}  // namespace kelvor::sim::dispatch::handlers
