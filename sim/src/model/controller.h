// The simulated controller: its state and the rules behind every protocol function, free of
// any encoding. A rule answers with a Status; the caller latches refusals (latch) and stores
// the persistent state when takePersistentChange() says so.
//
// The arm is the robot model's (kelvor/robot): its geometry from the link parameters and the
// calibration set, positions of the current tool in the current work frame, timed motions on
// a trajectory and areas watched along it.
//
// Time enters only through tick(now): between two ticks the model does not change by itself.
// A motion is accepted by move() at the time of the last tick; the arm's position at any time
// follows from its trajectory, and a later tick finds the motion ended, or stopped by an area.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "kelvor/protocol.h"
#include "kelvor/robot/motion.h"
#include "kelvor/robot/positions.h"
#include "model/clock.h"
#include "model/motion.h"
#include "model/persistent_state.h"
#include "model/records.h"
#include "model/status.h"

namespace kelvor::sim::model {

struct Identity {
  std::string romVersion = "1.0.0-sim";
  std::string serialNo = "SIM-000001";
  std::string robotType = "KV6-SIM";
  uint16_t protocolVersion = proto::kProtocolVersion;  // announced in the handshake

  // What the handshake's reply names the controller: "kelvor-sim TYPE SERIAL".
  std::string greeting() const { return "kelvor-sim " + robotType + " " + serialNo; }
};

class Controller {
 public:
  explicit Controller(Identity id = {});

  // --- Time
  // Brings the model to now: the arm moves along its trajectory, areas it crosses set their
  // I/O (and with Err stop it and latch an error), ended motions finish and the arm's rest
  // position becomes part of the persistent state. An earlier now than the last one is
  // ignored.
  void tick(Time now);
  Time now() const { return now_; }
  // Stops any motion where the arm is now (the controller shuts down); its position is kept.
  void halt();

  const Identity& identity() const { return id_; }

  // --- Modes. Motor 0/1; automatic mode 0 none, 1 external, 2 internal; slave mode 0/1.
  int32_t motor() const { return motor_; }
  // Switching the motor off stops a motion where the arm is ("Motor switched off").
  Status setMotor(int32_t on);
  int32_t autoMode() const { return autoMode_; }
  Status setAutoMode(int32_t mode);
  int32_t autoEnable() const { return autoMode_ != 0 ? 1 : 0; }
  // 1 Manual, 2 Teach, 3 Internal Auto, 4 External Auto.
  int32_t operationMode() const;
  int32_t deadmanSwitch() const { return 0; }
  int32_t emergencyStop() const { return 0; }
  int32_t slaveMode() const { return slave_; }
  Status startSlave();
  void stopSlave() { slave_ = 0; }

  // --- The error latch: the last refusal or fault until it is cleared.
  int32_t errorCode() const { return errorCode_; }
  std::string errorDescription() const { return errorCode_ ? errorText_ : "No error"; }
  // Latches a refusal; its text, or the code's standard text when it has none.
  // KLV_C_ERROR_LATCHED (a motion refused because of the latched error) keeps the error that
  // is latched.
  void latch(const Status& refusal);
  // Clears the error when code is 0 or the latched code.
  void clearError(int32_t code);

  // --- Speeds (percent): motions run at the external speed in external automatic mode, at
  // the internal speed otherwise. The current tool and work (not while the arm moves). The
  // configuration register (CnfData, 0 to 7); the conversions do not use it.
  float speed() const { return speed_; }
  Status setSpeed(float percent);
  float extSpeed() const { return extSpeed_; }
  Status setExtSpeed(float percent);
  int32_t tool() const { return tool_; }
  Status setTool(int32_t no);
  int32_t work() const { return work_; }
  Status setWork(int32_t no);
  int32_t fig() const { return fig_; }
  Status setFig(int32_t fig);

  // --- Position and motion
  // Where the arm is now: the joints, and the tool centre point in the work frame.
  J currentJ() const;
  P currentP() const;
  T currentT() const;
  // Motion targets from the wire's records (refused when they are no position).
  Status target(const P& p, MotionTarget& out) const;
  Status target(const J& j, MotionTarget& out) const;
  Status target(const T& t, MotionTarget& out) const;
  // Targets of Approach (the target backed off by length along the tool's approach axis),
  // Depart (where the arm is going, backed off the same way) and Drive (the joints the arm is
  // going to with one axis, 1 to 9, moved by value).
  Status approachTarget(const MotionTarget& target, float length, MotionTarget& out) const;
  Status departTarget(float length, MotionTarget& out) const;
  Status driveTarget(int32_t axis, float value, MotionTarget& out) const;
  // Accepts a motion or refuses it: motor off, an error latched, Comp, Path or Next not
  // understood, speed 0, another motion running (unless it ends with "@P"), the target or the
  // path out of reach, beyond a joint limit or singular.
  Status move(const MotionRequest& request, MotionTicket& ticket);
  MotionProgress motion(MotionId id) const;
  // True while the arm moves (settling after "@E" included).
  bool moving() const;

  // --- Conversions between the position forms (for the current tool and work) and the
  // deviations Dev (offset in the work frame) and DevH (offset in the tool frame).
  Status p2t(const P& p, T& t) const;
  Status p2j(const P& p, J& j) const;
  Status j2p(const J& j, P& p) const;
  Status j2t(const J& j, T& t) const;
  Status t2p(const T& t, P& p) const;
  Status t2j(const T& t, J& j) const;
  Status dev(const P& base, const P& offset, P& out) const;
  Status devH(const H& base, const H& offset, H& out) const;

  // --- Definitions: tools, works (0 to 63) and areas (0 to 31); a number outside the table is
  // KLV_C_UNKNOWN_DEFINITION. Tool 0 and work 0 are fixed; values must be finite and an area
  // record one the robot model accepts.
  template <class R>
  Status definition(Table<R> table, int32_t no, R& out) const;
  template <class R>
  Status define(Table<R> table, int32_t no, R value);

  // --- Calibration set and link parameters: finite, and an arm the robot model accepts; not
  // while the arm moves. The arm keeps its joints, so its position changes with them.
  const H& calData() const { return st_.calData; }
  Status setCalData(const H& cal);
  const H& linkSs() const { return st_.linkSs; }
  const H& linkAa() const { return st_.linkAa; }
  Status setLinkParams(const H& ss, const H& aa);
  // Calibration set += rot and LinkAA += len, element by element. Needs motor power off.
  Status calibrate(const H& rot, const H& len);

  // --- Variables: a number outside the table is KLV_C_VAR_NUMBER_OUT_OF_RANGE, I/O values
  // must be 0 or 1 and strings at most kMaxVarS bytes.
  template <class Value>
  Status variable(Table<Value> table, int32_t no, Value& out) const;
  template <class Value>
  Status setVariable(Table<Value> table, int32_t no, Value value);

  // --- Tasks 1 to 8; they start with a program name of 1 to 32 bytes in internal automatic
  // mode.
  Status startTask(int32_t task, const std::string& program);
  Status stopTask(int32_t task);
  Status taskState(int32_t task, int32_t& state) const;

  // --- Persistence
  const PersistentState& persistent() const { return st_; }
  // Replaces the persistent state, e.g. by the one loaded at start; the arm stands at its
  // joints. Not a change to store.
  void restore(PersistentState st);
  // True, once, when the persistent state has changed since the last call.
  bool takePersistentChange() { return std::exchange(changed_, false); }
  // Undoes the writes made since before was taken, when they could not be stored. Where the
  // arm rests is not a write: it stays, and is a change to store when it differs from before.
  void revertWrites(PersistentState before);

 private:
  // An accepted motion until its reply: when it is due (seconds on the trajectory's clock) and
  // how the motion ended when it was stopped.
  struct AcceptedMotion {
    MotionId id;
    double replyAt;
    Status result;
  };

  // Tool 0 and work 0 are fixed, the current tool and work do not change while the arm moves;
  // an area record must be one the robot model accepts.
  Status checkDefinition(Table<H> table, int32_t no, const H& value) const;
  Status checkDefinition(Table<Area> table, int32_t no, const Area& value) const;
  // The arm's geometry with the current tool and work, after any of them changed.
  void rebuildKinematics();
  // Model time as seconds on the trajectory's clock, and back (rounded up).
  static double seconds(Time t);
  static Time timeAt(double s);
  // Where the arm is now: on its trajectory, or where it rests.
  robot::Joints jointsNow() const;
  // The arm has come to rest: its position becomes part of the persistent state.
  void storeRest();
  Status toJoints(const robot::Pose& pose, J& out) const;
  robot::Result<robot::Motion> plan(const MotionRequest& request, const robot::Joints& from,
                                    robot::PathEnd end, double speed) const;
  // Watches the enabled areas while the arm moves from t0 to t1 (seconds).
  void watchAreas(double t0, double t1);
  // Stops the arm at time t (seconds); motions not ended by then end with why, which is
  // latched.
  void stopArm(double t, const Status& why);

  template <size_t N>
  static bool finite(const std::array<float, N>& a) {
    for (float v : a) {
      if (!std::isfinite(v)) return false;
    }
    return true;
  }
  template <class Value>
  static bool has(const std::vector<Value>& table, int32_t no) {
    return no >= 0 && static_cast<size_t>(no) < table.size();
  }

  Identity id_;
  PersistentState st_;
  bool changed_ = false;
  Time now_{};
  robot::Kinematics kin_;
  robot::Trajectory trajectory_;
  bool restStored_ = true;  // the arm's rest position is in st_.joints
  robot::PathEnd lastEnd_ = robot::PathEnd::Exact;
  double lastBlendAt_ = 0;  // when the last motion lets the next one blend in (seconds)
  MotionId lastMotion_ = 0;
  std::vector<AcceptedMotion> motions_;
  int32_t motor_ = 0;
  int32_t autoMode_ = 0;
  int32_t slave_ = 0;
  int32_t fig_ = 0;
  int32_t errorCode_ = 0;
  std::string errorText_;
  float speed_ = 10.0f;
  float extSpeed_ = 100.0f;
  int32_t tool_ = 0;
  int32_t work_ = 0;
  std::array<int32_t, kTaskCount> taskState_{};
  std::array<std::string, kTaskCount> taskProgram_{};
};

template <class R>
Status Controller::definition(Table<R> table, int32_t no, R& out) const {
  const auto& t = st_.*table;
  if (!has(t, no)) return KLV_C_UNKNOWN_DEFINITION;
  out = t[static_cast<size_t>(no)];
  return {};
}

template <class R>
Status Controller::define(Table<R> table, int32_t no, R value) {
  auto& t = st_.*table;
  if (!has(t, no)) return KLV_C_UNKNOWN_DEFINITION;
  if (!finite(value)) return KLV_C_VALUE_OUT_OF_RANGE;
  if (Status s = checkDefinition(table, no, value); !s.ok()) return s;
  t[static_cast<size_t>(no)] = value;
  changed_ = true;
  rebuildKinematics();
  return {};
}

template <class Value>
Status Controller::variable(Table<Value> table, int32_t no, Value& out) const {
  const auto& t = st_.*table;
  if (!has(t, no)) return KLV_C_VAR_NUMBER_OUT_OF_RANGE;
  out = t[static_cast<size_t>(no)];
  return {};
}

template <class Value>
Status Controller::setVariable(Table<Value> table, int32_t no, Value value) {
  auto& t = st_.*table;
  if (!has(t, no)) return KLV_C_VAR_NUMBER_OUT_OF_RANGE;
  if constexpr (std::is_same_v<Value, std::string>) {
    if (value.size() > kMaxVarS) return KLV_C_STRING_TOO_LONG;
  }
  if constexpr (std::is_same_v<Value, int32_t>) {
    if (table == &PersistentState::varIO && value != 0 && value != 1) {
      return {KLV_C_VALUE_OUT_OF_RANGE, "I/O value must be 0 or 1"};
    }
  }
  t[static_cast<size_t>(no)] = std::move(value);
  changed_ = true;
  return {};
}

}  // namespace kelvor::sim::model
