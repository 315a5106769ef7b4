// The controller's motions: accepting them, the arm on its trajectory as time goes by, the
// areas it crosses and the replies that wait for a motion's end.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <variant>

#include "kelvor.h"
#include "kelvor/robot/areas.h"
#include "model/controller.h"
#include "model/robot_status.h"

namespace kelvor::sim::model {

namespace {

// Model times this close count as the same (seconds): the clock counts nanoseconds, the
// trajectory seconds, and the two round differently.
constexpr double kSameTime = 1e-6;
// Ended motions whose result is kept for the reply that waits for it.
constexpr size_t kKeptMotions = 64;

// Next: "" waits for the end, "NEXT" (any case) answers at once.
std::optional<bool> answerAtOnce(const std::string& next) {
  if (next.empty()) return false;
  std::string upper = next;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  if (upper == "NEXT") return true;
  return std::nullopt;
}

}  // namespace

double Controller::seconds(Time t) {
  return std::chrono::duration<double>(t.time_since_epoch()).count();
}

Time Controller::timeAt(double s) {
  return Time{} + std::chrono::ceil<Duration>(std::chrono::duration<double>(s));
}

bool Controller::moving() const { return trajectory_.moving(seconds(now_) + kSameTime); }

void Controller::tick(Time now) {
  if (now < now_) return;
  const double t0 = seconds(now_), t1 = seconds(now);
  now_ = now;
  if (restStored_) return;
  watchAreas(t0, std::min(t1, trajectory_.endTime()));
  if (!moving()) storeRest();
}

void Controller::halt() {
  if (moving()) trajectory_.stopAt(seconds(now_));
  if (!restStored_) storeRest();
}

void Controller::storeRest() {
  const robot::JArray j = robot::toJ(trajectory_.plannedEnd());
  if (j != st_.joints) {
    st_.joints = j;
    changed_ = true;
  }
  restStored_ = true;
}

robot::Result<robot::Motion> Controller::plan(const MotionRequest& request,
                                              const robot::Joints& from, robot::PathEnd end,
                                              double speed) const {
  const auto* joints = std::get_if<robot::Joints>(&request.target);
  if (joints) {
    // Joints beyond a limit are no target, even where another turn of them would be.
    if (const robot::Check e = robot::checkLimits(joints->axis)) return *e;
  }
  if (request.comp == kCompLinear) {
    const robot::Pose to = joints ? kin_.toPose(*joints) : std::get<robot::Pose>(request.target);
    return robot::planLinearMotion(kin_, from, to, end, speed);
  }
  if (joints) return robot::planJointMotion(from, *joints, end, speed);
  const robot::Result<robot::Joints> to =
      kin_.toJoints(std::get<robot::Pose>(request.target), {&from.axis}, &from);
  if (!to) return to.error();
  return robot::planJointMotion(from, *to, end, speed);
}

Status Controller::move(const MotionRequest& request, MotionTicket& ticket) {
  if (!motor_) return KLV_C_MOTOR_OFF;
  if (errorCode_) {
    char text[80];
    std::snprintf(text, sizeof text, "Error 0x%X is latched: clear it first",
                  static_cast<uint32_t>(errorCode_));
    return {KLV_C_ERROR_LATCHED, text};
  }
  if (request.comp < kCompDefault || request.comp > kCompLinear) {
    return {KLV_C_VALUE_OUT_OF_RANGE, "Comp (interpolation) must be 0, 1 (P) or 2 (L)"};
  }
  const std::optional<robot::PathEnd> end = robot::pathEndFromText(request.path);
  if (!end) return {KLV_C_VALUE_OUT_OF_RANGE, "Path must be @0, @P or @E"};
  const std::optional<bool> atOnce = answerAtOnce(request.next);
  if (!atOnce) return {KLV_C_VALUE_OUT_OF_RANGE, "Next must be NEXT or empty"};
  const bool external = autoMode_ == 1;
  const double speed = external ? extSpeed_ : speed_;
  if (speed < robot::kMinSpeed) {
    return {KLV_C_SPEED_ZERO, std::string(external ? "External speed" : "Speed") +
                                  (speed == 0 ? " is 0" : " is below 0.01 %")};
  }
  const bool busy = moving();
  if (busy && lastEnd_ != robot::PathEnd::Pass) {
    return {KLV_C_MOTION_RUNNING, "Another motion is running"};
  }

  // Planned from where the running motion goes; after "@P" it blends in once that one
  // decelerates.
  robot::Result<robot::Motion> planned = plan(request, trajectory_.plannedEnd(), *end, speed);
  if (!planned) return refusal(planned.error());
  const double blend = planned->blendStart();
  const double reply = *end == robot::PathEnd::Pass ? blend : planned->endTime();
  const double now = seconds(now_);
  const double start =
      trajectory_.start(std::move(planned).value(), busy ? std::max(now, lastBlendAt_) : now);
  lastEnd_ = *end;
  lastBlendAt_ = start + blend;
  restStored_ = false;

  ticket.id = ++lastMotion_;
  ticket.replyAtEnd = !*atOnce;
  if (motions_.size() >= kKeptMotions) motions_.erase(motions_.begin());
  motions_.push_back({ticket.id, start + reply, {}});
  return {};
}

MotionProgress Controller::motion(MotionId id) const {
  MotionProgress progress;
  const auto it = std::find_if(motions_.begin(), motions_.end(),
                               [&](const AcceptedMotion& m) { return m.id == id; });
  if (it == motions_.end()) return progress;
  if (seconds(now_) + kSameTime < it->replyAt) {
    progress.running = true;
    progress.expectedEnd = timeAt(it->replyAt);
  } else {
    progress.result = it->result;
  }
  return progress;
}

void Controller::watchAreas(double t0, double t1) {
  if (!(t1 > t0)) return;
  std::vector<robot::Area> areas;
  std::vector<size_t> numbers;
  for (size_t i = 0; i < st_.areas.size(); ++i) {
    const robot::Result<robot::Area> a = robot::areaFromRecord(wide(st_.areas[i]), kVarIOCount - 1);
    if (a && a->enabled) {
      areas.push_back(*a);
      numbers.push_back(i);
    }
  }
  if (areas.empty()) return;
  for (const robot::AreaEvent& e : robot::areaEvents(trajectory_, kin_, areas, t0, t1)) {
    const robot::Area& area = areas[static_cast<size_t>(e.area)];
    int32_t& io = st_.varIO[static_cast<size_t>(area.io)];
    if (io != (e.counts ? 1 : 0)) {
      io = e.counts ? 1 : 0;
      changed_ = true;
    }
    if (e.counts && area.error) {
      stopArm(e.time,
              {KLV_C_AREA_STOP, "Area " + std::to_string(numbers[static_cast<size_t>(e.area)]) +
                                    (area.leaving ? " left" : " entered") + ": the arm stopped"});
      return;
    }
  }
}

void Controller::stopArm(double t, const Status& why) {
  trajectory_.stopAt(t);
  for (AcceptedMotion& m : motions_) {
    if (m.replyAt > t) {
      m.replyAt = t;
      m.result = why;
    }
  }
  latch(why);
  storeRest();
}

}  // namespace kelvor::sim::model
