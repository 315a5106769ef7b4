#include "model/controller.h"

#include <algorithm>

#include "kelvor/codes.h"
#include "kelvor/robot/areas.h"
#include "model/robot_status.h"

namespace kelvor::sim::model {

namespace {

bool inRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

Status checkSpeed(float percent) {
  if (percent >= 0.0f && percent <= 100.0f) return {};
  return {KLV_C_VALUE_OUT_OF_RANGE, "Speed out of range (0 to 100 %)"};
}

Status notWhileMoving() { return {KLV_C_MOTION_RUNNING, "Not while the arm moves"}; }

}  // namespace

Status refusal(const robot::Error& error) {
  switch (error.kind) {
    case robot::Failure::Unreachable:
      return {KLV_C_OUT_OF_REACH, error.text};
    case robot::Failure::JointLimit:
      return {KLV_C_JOINT_LIMIT, error.text};
    case robot::Failure::Singular:
      return {KLV_C_SINGULAR, error.text};
    case robot::Failure::InvalidValue:
      break;
  }
  return {KLV_C_VALUE_OUT_OF_RANGE, error.text};
}

robot::Axes axesOf(const H& record) {
  robot::Axes a;
  for (int i = 0; i < robot::kAxes; ++i) a[i] = record[static_cast<size_t>(i)];
  return a;
}

Controller::Controller(Identity id) : id_(std::move(id)) { restore(PersistentState{}); }

void Controller::restore(PersistentState st) {
  st_ = std::move(st);
  trajectory_ = robot::Trajectory(robot::Joints{});
  if (const auto j = robot::jointsFromJ(st_.joints)) trajectory_ = robot::Trajectory(*j);
  motions_.clear();
  restStored_ = true;
  rebuildKinematics();
}

void Controller::revertWrites(PersistentState before) {
  changed_ = before.joints != st_.joints;
  before.joints = st_.joints;
  st_ = std::move(before);
  rebuildKinematics();
}

void Controller::rebuildKinematics() {
  const robot::Result<robot::Arm> arm =
      robot::Arm::make({axesOf(st_.linkSs), axesOf(st_.linkAa)}, axesOf(st_.calData));
  const auto frame = [](const H& h) {
    const robot::Result<robot::Frame> f = robot::frameFromH(wide(h));
    return f ? *f : robot::Frame::Identity();
  };
  // The rules keep the stored parameters valid; the default arm stands in should they not be.
  kin_ = robot::Kinematics(arm ? *arm : robot::Arm(), frame(st_.tools[static_cast<size_t>(tool_)]),
                           frame(st_.works[static_cast<size_t>(work_)]));
}

Status Controller::setMotor(int32_t on) {
  if (!inRange(on, 0, 1)) return KLV_C_VALUE_OUT_OF_RANGE;
  motor_ = on;
  if (!on && moving())
    stopArm(seconds(now_), {KLV_C_MOTOR_OFF, "Motor switched off: the arm stopped"});
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
  if (refusal.ok() || refusal.code == KLV_C_ERROR_LATCHED) return;
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
  if (no != tool_ && moving()) return notWhileMoving();
  tool_ = no;
  rebuildKinematics();
  return {};
}

Status Controller::setWork(int32_t no) {
  if (!has(st_.works, no)) return KLV_C_UNKNOWN_DEFINITION;
  if (no != work_ && moving()) return notWhileMoving();
  work_ = no;
  rebuildKinematics();
  return {};
}

Status Controller::setFig(int32_t fig) {
  if (!inRange(fig, 0, 7)) return KLV_C_VALUE_OUT_OF_RANGE;
  fig_ = fig;
  return {};
}

Status Controller::checkDefinition(Table<H> table, int32_t no, const H&) const {
  const bool tools = table == &PersistentState::tools;
  if (no == 0) {
    return {KLV_C_FIXED_DEFINITION, tools ? "Tool 0 is the flange and cannot be changed"
                                          : "Work 0 is the base frame and cannot be changed"};
  }
  if (no == (tools ? tool_ : work_) && moving()) return notWhileMoving();
  return {};
}

Status Controller::checkDefinition(Table<Area>, int32_t, const Area& value) const {
  const robot::Result<robot::Area> area = robot::areaFromRecord(wide(value), kVarIOCount - 1);
  return area ? Status{} : refusal(area.error());
}

Status Controller::setCalData(const H& cal) {
  if (!finite(cal)) return KLV_C_VALUE_OUT_OF_RANGE;
  if (moving()) return notWhileMoving();
  if (const robot::Check e = robot::checkCalSet(axesOf(cal))) return {KLV_C_INVALID_ARM, e->text};
  st_.calData = cal;
  changed_ = true;
  rebuildKinematics();
  return {};
}

Status Controller::setLinkParams(const H& ss, const H& aa) {
  if (!finite(ss) || !finite(aa)) return KLV_C_VALUE_OUT_OF_RANGE;
  if (moving()) return notWhileMoving();
  if (const robot::Check e = robot::checkLinks({axesOf(ss), axesOf(aa)})) {
    return {KLV_C_INVALID_ARM, e->text};
  }
  st_.linkSs = ss;
  st_.linkAa = aa;
  changed_ = true;
  rebuildKinematics();
  return {};
}

Status Controller::calibrate(const H& rot, const H& len) {
  if (!finite(rot) || !finite(len)) return KLV_C_VALUE_OUT_OF_RANGE;
  if (motor_) return KLV_C_MOTOR_ON;
  const robot::Calibration now{{axesOf(st_.linkSs), axesOf(st_.linkAa)}, axesOf(st_.calData)};
  const robot::Result<robot::Calibration> next = robot::calibrate(now, axesOf(rot), axesOf(len));
  if (!next) return {KLV_C_INVALID_ARM, next.error().text};
  H cal = axesRecord(next->cal), aa = axesRecord(next->links.aa);
  // The seventh element is not part of the arm; the rule applies to it all the same.
  cal[6] = st_.calData[6] + rot[6];
  aa[6] = st_.linkAa[6] + len[6];
  if (!finite(cal) || !finite(aa)) return KLV_C_VALUE_OUT_OF_RANGE;
  st_.calData = cal;
  st_.linkAa = aa;
  changed_ = true;
  rebuildKinematics();
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
