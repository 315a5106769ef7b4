#include "state/arm_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvor::view {

namespace {

using namespace kelvor::robot;

template <std::size_t N>
std::array<double, N> toDouble(const std::array<float, N>& a) {
  return convertArray<double>(a);
}

Axes firstSix(const HRecord7& r) {
  Axes a{};
  std::copy_n(r.begin(), kAxes, a.begin());
  return a;
}

void addProblem(std::string& problem, const std::string& text) {
  if (!problem.empty()) problem += "; ";
  problem += text;
}

// A tool or work record as a frame; identity (with the reason in problem) when it is missing
// or unusable.
Frame recordFrame(const std::optional<HRecord7>& rec, const char* what, std::string& problem) {
  if (!rec) {
    addProblem(problem, std::string(what) + " definition not read");
    return Frame::Identity();
  }
  const Result<Frame> f = frameFromH(toDouble(*rec));
  if (!f) {
    addProblem(problem, std::string(what) + " definition: " + f.error().text);
    return Frame::Identity();
  }
  return *f;
}

std::optional<Kinematics> kinematics(const ControllerState& s, std::string& problem) {
  if (!s.linkSs || !s.linkAa) {
    addProblem(problem, "Link parameters not read");
    return std::nullopt;
  }
  if (!s.cal) {
    addProblem(problem, "Calibration set not read");
    return std::nullopt;
  }
  LinkParams links;
  links.ss = firstSix(*s.linkSs);
  links.aa = firstSix(*s.linkAa);
  const Result<Arm> arm = Arm::make(links, firstSix(*s.cal));
  if (!arm) {
    addProblem(problem, "No arm: " + arm.error().text);
    return std::nullopt;
  }
  const Frame tool = recordFrame(s.tool, "Tool", problem);
  const Frame work = recordFrame(s.work, "Work", problem);
  return Kinematics(*arm, tool, work);
}

}  // namespace

ArmModel makeArmModel(const Reading& reading) {
  const ControllerState& s = reading.state;
  ArmModel m;
  m.kin = kinematics(s, m.problem);
  if (m.kin) m.work = m.kin->work();
  m.workNo = s.workNo;

  // The controller checks an area's I/O number; the viewer draws every box it accepted.
  for (int no = 0; no < kAreaCount; ++no) {
    const auto& rec = s.areas[static_cast<std::size_t>(no)];
    if (!rec) continue;
    const Result<Area> area = areaFromRecord(toDouble(*rec), std::numeric_limits<int>::max());
    if (area && area->enabled) m.areas.push_back({no, *area});
  }

  const Result<Joints> joints = jointsFromJ(toDouble(s.joints));
  if (!joints) {
    addProblem(m.problem, "Joints: " + joints.error().text);
    return m;
  }
  m.joints = *joints;
  if (!m.kin) return m;
  m.frames = m.kin->arm().frames(m.joints.axis);
  m.tcp = m.frames.back() * m.kin->tool();
  m.pose = m.kin->toPose(m.joints);

  m.path.reserve(reading.trail.size());
  for (const TrailSample& t : reading.trail) {
    const Result<Joints> j = jointsFromJ(toDouble(t.joints));
    if (!j) continue;
    m.path.push_back({m.kin->tcpInBase(j->axis).translation(), reading.time - t.time});
  }
  return m;
}

Reach reachOf(const robot::Kinematics& kin) {
  const LinkParams& l = kin.arm().links();
  // From the shoulder (frame 1) every further link adds at most its length and offset.
  double fromShoulder = kin.tool().translation().norm();
  for (int i = 1; i < kAxes; ++i) fromShoulder += std::abs(l.ss[i]) + std::abs(l.aa[i]);
  return {std::abs(l.aa[0]) + fromShoulder, std::max(0.0, l.ss[0]) + fromShoulder};
}

}  // namespace kelvor::view
