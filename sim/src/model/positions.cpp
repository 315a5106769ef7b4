// The controller's positions: where the arm is, motion targets, conversions and deviations,
// all through the robot model with the current tool and work.
#include <cmath>
#include <variant>

#include "kelvor.h"
#include "model/controller.h"
#include "model/robot_status.h"

namespace kelvor::sim::model {

namespace {

Status notFinite() { return {KLV_C_VALUE_OUT_OF_RANGE, "Value is not a finite number"}; }

// Goes on with what a wire record stands for, or refuses it as the robot model does.
template <class Value, class Then>
Status with(const robot::Result<Value>& value, Then then) {
  if (!value) return refusal(value.error());
  return then(*value);
}

// Stores a position or joints as the motion target.
auto into(MotionTarget& out) {
  return [&out](const auto& value) {
    out = value;
    return Status{};
  };
}

}  // namespace

robot::Joints Controller::jointsNow() const {
  return moving() ? trajectory_.joints(seconds(now_)) : trajectory_.plannedEnd();
}

J Controller::currentJ() const { return narrow(robot::toJ(jointsNow())); }

P Controller::currentP() const { return narrow(robot::toP(kin_.toPose(jointsNow()))); }

T Controller::currentT() const { return narrow(robot::toT(kin_.toPose(jointsNow()))); }

Status Controller::target(const P& p, MotionTarget& out) const {
  return with(robot::poseFromP(wide(p)), into(out));
}

Status Controller::target(const J& j, MotionTarget& out) const {
  return with(robot::jointsFromJ(wide(j)), into(out));
}

Status Controller::target(const T& t, MotionTarget& out) const {
  return with(robot::poseFromT(wide(t)), into(out));
}

Status Controller::approachTarget(const MotionTarget& target, float length,
                                  MotionTarget& out) const {
  if (!std::isfinite(length)) return notFinite();
  const auto* joints = std::get_if<robot::Joints>(&target);
  out = robot::backOff(joints ? kin_.toPose(*joints) : std::get<robot::Pose>(target), length);
  return {};
}

Status Controller::departTarget(float length, MotionTarget& out) const {
  return approachTarget(trajectory_.plannedEnd(), length, out);
}

Status Controller::driveTarget(int32_t axis, float value, MotionTarget& out) const {
  if (axis < 1 || axis > 9) return {KLV_C_VALUE_OUT_OF_RANGE, "Axis number out of range"};
  if (!std::isfinite(value)) return notFinite();
  robot::Joints j = trajectory_.plannedEnd();
  const auto i = static_cast<size_t>(axis - 1);
  (i < robot::kAxes ? j.axis[i] : j.external[i - robot::kAxes]) += value;
  out = j;
  return {};
}

Status Controller::toJoints(const robot::Pose& pose, J& out) const {
  // At J5 = 0 the arm keeps its J4; external axes 2 and 3 are the arm's own.
  const robot::Joints now = jointsNow();
  const robot::Result<robot::Joints> j = kin_.toJoints(pose, {&now.axis}, &now);
  if (!j) return refusal(j.error());
  out = narrow(robot::toJ(*j));
  return {};
}

Status Controller::p2t(const P& p, T& t) const {
  return with(robot::poseFromP(wide(p)), [&](const robot::Pose& pose) {
    t = narrow(robot::toT(pose));
    return Status{};
  });
}

Status Controller::p2j(const P& p, J& j) const {
  return with(robot::poseFromP(wide(p)),
              [&](const robot::Pose& pose) { return toJoints(pose, j); });
}

Status Controller::j2p(const J& j, P& p) const {
  return with(robot::jointsFromJ(wide(j)), [&](const robot::Joints& joints) {
    p = narrow(robot::toP(kin_.toPose(joints)));
    return Status{};
  });
}

Status Controller::j2t(const J& j, T& t) const {
  return with(robot::jointsFromJ(wide(j)), [&](const robot::Joints& joints) {
    t = narrow(robot::toT(kin_.toPose(joints)));
    return Status{};
  });
}

Status Controller::t2p(const T& t, P& p) const {
  return with(robot::poseFromT(wide(t)), [&](const robot::Pose& pose) {
    p = narrow(robot::toP(pose));
    return Status{};
  });
}

Status Controller::t2j(const T& t, J& j) const {
  return with(robot::poseFromT(wide(t)),
              [&](const robot::Pose& pose) { return toJoints(pose, j); });
}

Status Controller::dev(const P& base, const P& offset, P& out) const {
  const robot::Result<robot::Pose> pose = robot::poseFromP(wide(base));
  if (!pose) return refusal(pose.error());
  // The offset's Fig and extra axis play no part.
  const robot::PArray o = wide(offset);
  const robot::Result<robot::Frame> shift =
      robot::frameFromH({o[0], o[1], o[2], o[3], o[4], o[5], 0});
  if (!shift) return refusal(shift.error());
  out = narrow(robot::toP(robot::dev(*pose, *shift)));
  return {};
}

Status Controller::devH(const H& base, const H& offset, H& out) const {
  const robot::Result<robot::Pose> pose = robot::poseFromP(wide(base));  // Fig in element 6
  if (!pose) return refusal(pose.error());
  const robot::Result<robot::Frame> shift = robot::frameFromH(wide(offset));
  if (!shift) return refusal(shift.error());
  out = narrow(robot::toP7(robot::devH(*pose, *shift)));
  return {};
}

}  // namespace kelvor::sim::model
