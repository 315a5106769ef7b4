// Cost of the robot model's kinematics: forward (all frames), inverse for one Fig, the J2P and
// P2J conversions with a tool and a work frame, and planning a linear motion.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "kelvor/robot/robot.h"

namespace kelvor::robot {
namespace {

std::vector<Axes> jointSets() {
  std::mt19937 rng(1);
  std::vector<Axes> sets(1024);
  for (Axes& j : sets) {
    for (int i = 0; i < kAxes; ++i) {
      j[i] = std::uniform_real_distribution<double>(kJointLimits[i].min / 2,
                                                    kJointLimits[i].max / 2)(rng);
    }
  }
  return sets;
}

const Kinematics& kinematics() {
  static const Kinematics kin(Arm(), *frameFromH({0, 0, 145, 0, 0, 0, 0}),
                              *frameFromH({350, -200, 100, 0, 0, 0, 0}));
  return kin;
}

void BM_ForwardAllFrames(benchmark::State& state) {
  const auto sets = jointSets();
  const Arm arm;
  size_t n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(arm.frames(sets[n++ % sets.size()]));
}
BENCHMARK(BM_ForwardAllFrames);

void BM_InverseOneFig(benchmark::State& state) {
  const auto sets = jointSets();
  const Arm arm;
  std::vector<Frame> flanges;
  for (const Axes& j : sets) flanges.push_back(arm.flange(j));
  size_t n = 0;
  for (auto _ : state) {
    const size_t i = n++ % sets.size();
    benchmark::DoNotOptimize(arm.inverse(flanges[i], arm.figOf(sets[i])));
  }
}
BENCHMARK(BM_InverseOneFig);

void BM_J2PThenP2J(benchmark::State& state) {
  const auto sets = jointSets();
  size_t n = 0;
  for (auto _ : state) {
    const Pose p = kinematics().toPose({sets[n++ % sets.size()], {}});
    benchmark::DoNotOptimize(kinematics().toJoints(*poseFromP(toP(p))));
  }
}
BENCHMARK(BM_J2PThenP2J);

void BM_PlanLinear400mm(benchmark::State& state) {
  const Kinematics kin;
  const Joints from = *kin.toJoints({frameFromXyzRpy(400, -200, 500, 180, 0, 0), 0, 0});
  const Pose to{frameFromXyzRpy(400, 200, 500, 180, 0, 0), 0, 0};
  for (auto _ : state)
    benchmark::DoNotOptimize(planLinearMotion(kin, from, to, PathEnd::Exact, 50));
}
BENCHMARK(BM_PlanLinear400mm);

}  // namespace
}  // namespace kelvor::robot

BENCHMARK_MAIN();
