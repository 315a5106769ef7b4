#include "kelvor/robot/areas.h"

#include <algorithm>
#include <cmath>

namespace kelvor::robot {

namespace {
bool isFlag(double v) { return v == 0 || v == 1; }
}  // namespace

Result<Area> areaFromRecord(const AreaRecord& rec, int maxIo) {
  for (double v : rec) {
    if (!std::isfinite(v)) return invalid("Value is not a finite number");
  }
  if (rec[6] < 0 || rec[7] < 0 || rec[8] < 0) {
    return invalid("Area edge lengths must not be negative");
  }
  if (rec[9] < 0 || rec[9] > maxIo || rec[9] != std::floor(rec[9])) {
    return invalid("Area I/O must be an I/O variable number");
  }
  if (!isFlag(rec[10]) || !isFlag(rec[11]) || !isFlag(rec[12])) {
    return invalid("Area Pos, Err and Enable must be 0 or 1");
  }
  Area a;
  a.box = frameFromXyzRpy(rec[0], rec[1], rec[2], rec[3], rec[4], rec[5]);
  a.size = Vec3(rec[6], rec[7], rec[8]);
  a.io = static_cast<int>(rec[9]);
  a.leaving = rec[10] == 1;
  a.error = rec[11] == 1;
  a.enabled = rec[12] == 1;
  return a;
}

bool inside(const Area& area, const Vec3& point) {
  const Vec3 local = area.box.inverse() * point;
  return (local.cwiseAbs() - area.size / 2).maxCoeff() <= 0;
}

bool counts(const Area& area, const Vec3& point) { return inside(area, point) != area.leaving; }

std::vector<AreaEvent> areaEvents(const Trajectory& trajectory, const Kinematics& kin,
                                  const std::vector<Area>& areas, double t0, double t1) {
  std::vector<AreaEvent> events;
  const auto tcp = [&](double t) {
    return kin.tcpInBase(trajectory.joints(t).axis).translation().eval();
  };
  std::vector<char> state(areas.size());
  const Vec3 first = tcp(t0);
  for (size_t i = 0; i < areas.size(); ++i) state[i] = counts(areas[i], first);
  const double step = std::max(kAreaStep, (t1 - t0) / kMaxAreaSamples);
  for (double a = t0; a < t1;) {
    const double b = std::min(a + step, t1);
    const Vec3 p = tcp(b);
    for (size_t i = 0; i < areas.size(); ++i) {
      if (!areas[i].enabled || counts(areas[i], p) == bool(state[i])) continue;
      // The condition changed between a and b: find the moment.
      double lo = a, hi = b;
      while (hi - lo > kAreaTimeTolerance) {
        const double mid = (lo + hi) / 2;
        (counts(areas[i], tcp(mid)) == bool(state[i]) ? lo : hi) = mid;
      }
      state[i] = !state[i];
      events.push_back({static_cast<int>(i), hi, bool(state[i])});
    }
    a = b;
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const AreaEvent& x, const AreaEvent& y) { return x.time < y.time; });
  return events;
}

}  // namespace kelvor::robot
