#include "model/controller.h"

#include <algorithm>

#include "kelvor/codes.h"
#include "model/kinematics.h"

namespace kelvor::sim::model {

namespace {

bool inRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

Status checkSpeed(float percent) {
  if (percent >= 0.0f && percent <= 100.0f) return {};
  return {KLV_C_VALUE_OUT_OF_RANGE, "Speed out of range (0 to 100 %)"};
}

}  // namespace

void Controller::tick(Time now) {
  if (now < now_) return;
  now_ = now;
  std::erase_if(running_, [&](const RunningMotion& m) { return m.end <= now_; });
}

Status Controller::setMotor(int32_t on) {
  if (!inRange(on, 0, 1)) return KLV_C_VALUE_OUT_OF_RANGE;
  motor_ = on;
  return {};
}

Status Controller::setAutoMode(int32_t mode) {
  if (!inRange(mode, 0, 2)) return KLV_C_VALUE_OUT_OF_RANGE;
  if (slave_ && mode != autoMode_) return KLV_C_SLAVE_MODE_ACTIVE;
  autoMode_ = mode;
  return {};
}

int32_t Controller::operationMode() const {
  switch (autoMode_) {
    case 1:
      return 4;  // External Auto
    case 2:
      return 3;  // Internal Auto
    default:
      return motor_ ? 2 : 1;  // Teach or Manual
  }
}

Status Controller::startSlave() {
  if (autoMode_ != 2) return KLV_C_NOT_INTERNAL_AUTO;
  slave_ = 1;
  return {};
}

void Controller::latch(const Status& refusal) {
  if (refusal.ok()) return;
  errorCode_ = refusal.code;
  errorText_ = refusal.text.empty() ? proto::codeText(refusal.code) : refusal.text;
}

void Controller::clearError(int32_t code) {
  if (code != 0 && code != errorCode_) return;
  errorCode_ = 0;
  errorText_.clear();
}

Status Controller::setSpeed(float percent) {
  Status s = checkSpeed(percent);
  if (s.ok()) speed_ = percent;
  return s;
}

Status Controller::setExtSpeed(float percent) {
  Status s = checkSpeed(percent);
  if (s.ok()) extSpeed_ = percent;
  return s;
}

Status Controller::setTool(int32_t no) {
  if (!has(st_.tools, no)) return KLV_C_UNKNOWN_DEFINITION;
  tool_ = no;
  return {};
}

Status Controller::setWork(int32_t no) {
  if (!has(st_.works, no)) return KLV_C_UNKNOWN_DEFINITION;
  work_ = no;
  return {};
}

Status Controller::setFig(int32_t fig) {
  if (!inRange(fig, 0, 7)) return KLV_C_VALUE_OUT_OF_RANGE;
  fig_ = fig;
  return {};
}

J Controller::currentJ() const { return model::p2j(current_); }

T Controller::currentT() const { return model::p2t(current_); }

Status Controller::move(const MotionRequest& request, MotionTicket& ticket) {
  if (!motor_) return KLV_C_MOTOR_OFF;
  if (!inRange(request.comp, 0, 2)) {
    return {KLV_C_VALUE_OUT_OF_RANGE, "Comp (interpolation) out of range"};
  }
  if (!finite(request.target)) return {KLV_C_VALUE_OUT_OF_RANGE, "Target position not finite"};
  // The arm is at the target at once; the motion only takes its time.
  current_ = request.target;
  ticket.id = ++lastMotion_;
  ticket.replyAtEnd = true;
  if (motionTime_ > Duration::zero()) running_.push_back({ticket.id, now_ + motionTime_});
  return {};
}

MotionProgress Controller::motion(MotionId id) const {
  const auto it = std::find_if(running_.begin(), running_.end(),
                               [&](const RunningMotion& m) { return m.id == id; });
  MotionProgress progress;
  if (it != running_.end()) {
    progress.running = true;
    progress.expectedEnd = it->end;
  }
  return progress;
}

Status Controller::approachTarget(P target, float length, P& out) const {
  target[2] += length;
  out = target;
  return {};
}

Status Controller::departTarget(float length, P& out) const {
  return approachTarget(current_, length, out);
}

Status Controller::driveTarget(int32_t axis, float value, P& out) const {
  if (!inRange(axis, 1, 9)) return {KLV_C_VALUE_OUT_OF_RANGE, "Axis number out of range"};
  J j = model::p2j(current_);
  j[static_cast<size_t>(axis - 1)] += value;
  out = model::j2p(j, 0);
  out[6] = current_[6];  // the Fig stays as it is
  return {};
}

Status Controller::p2t(const P& p, T& t) const {
  t = model::p2t(p);
  return {};
}

Status Controller::p2j(const P& p, J& j) const {
  j = model::p2j(p);
  return {};
}

Status Controller::j2p(const J& j, P& p) const {
  p = model::j2p(j, fig_);
  return {};
}

Status Controller::j2t(const J& j, T& t) const {
  t = model::p2t(model::j2p(j, fig_));
  return {};
}

Status Controller::t2p(const T& t, P& p) const {
  p = model::t2p(t);
  return {};
}

Status Controller::t2j(const T& t, J& j) const {
  j = model::p2j(model::t2p(t));
  return {};
}

Status Controller::dev(const P& base, const P& offset, P& out) const {
  out = base;
  for (int i = 0; i < 3; ++i) out[i] += offset[i];
  return {};
}

Status Controller::devH(const H& base, const H& offset, H& out) const {
  out = base;
  for (int i = 0; i < 3; ++i) out[i] += offset[i];
  return {};
}

Status Controller::setCalData(const H& cal) {
  if (!finite(cal)) return KLV_C_VALUE_OUT_OF_RANGE;
  st_.calData = cal;
  changed_ = true;
  return {};
}

Status Controller::setLinkParams(const H& ss, const H& aa) {
  if (!finite(ss) || !finite(aa)) return KLV_C_VALUE_OUT_OF_RANGE;
  st_.linkSs = ss;
  st_.linkAa = aa;
  changed_ = true;
  return {};
}

Status Controller::calibrate(const H& rot, const H& len) {
  if (!finite(rot) || !finite(len)) return KLV_C_VALUE_OUT_OF_RANGE;
  if (motor_) return KLV_C_MOTOR_ON;
  st_.calData = rot;
  st_.linkSs = len;
  changed_ = true;
  return {};
}

Status Controller::startTask(int32_t task, const std::string& program) {
  if (!inRange(task, 1, kTaskCount)) return KLV_C_UNKNOWN_TASK;
  if (program.empty() || program.size() > kMaxProgramName) {
    return {KLV_C_VALUE_OUT_OF_RANGE, "Program name must have 1 to 32 characters"};
  }
  if (autoMode_ != 2) return KLV_C_NOT_INTERNAL_AUTO;
  const auto i = static_cast<size_t>(task - 1);
  if (taskState_[i]) return KLV_C_TASK_RUNNING;
  taskState_[i] = 1;
  taskProgram_[i] = program;
  return {};
}

Status Controller::stopTask(int32_t task) {
  if (!inRange(task, 1, kTaskCount)) return KLV_C_UNKNOWN_TASK;
  taskState_[static_cast<size_t>(task - 1)] = 0;
  return {};
}

Status Controller::taskState(int32_t task, int32_t& state) const {
  if (!inRange(task, 1, kTaskCount)) return KLV_C_UNKNOWN_TASK;
  state = taskState_[static_cast<size_t>(task - 1)];
  return {};
}

}  // namespace kelvor::sim::model
