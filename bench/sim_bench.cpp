// Cost of the controller's arm as the simulator uses it: reading the position on the way of a
// linear motion, and one tick of 100 ms (a progress frame's interval) with the default areas
// watched.
#include <benchmark/benchmark.h>

#include <chrono>

#include "model/clock.h"
#include "model/controller.h"

namespace kelvor::sim::model {
namespace {

// A controller whose arm runs a 400 mm linear motion with the tool pointing down.
struct Moving {
  Controller c;
  ManualClock clock;
  MotionTicket ticket;
  Moving() {
    c.tick(clock.now());
    static_cast<void>(c.setMotor(1));
    static_cast<void>(c.setSpeed(10));
    move(pose(-200), kCompJoint);
    clock.advance(std::chrono::seconds(10));
    c.tick(clock.now());
  }
  void move(MotionTarget target, int32_t comp) {
    MotionRequest m;
    m.comp = comp;
    m.target = std::move(target);
    static_cast<void>(c.move(m, ticket));
  }
  static robot::Pose pose(double y) {
    return {robot::frameFromXyzRpy(400, y, 450, 180, 0, 0), 0, 0};
  }
  void startLinear(double y) { move(pose(y), kCompLinear); }
};

void BM_CurrentPDuringLinearMotion(benchmark::State& state) {
  Moving m;
  m.startLinear(200);
  m.clock.advance(std::chrono::seconds(1));
  m.c.tick(m.clock.now());
  for (auto _ : state) benchmark::DoNotOptimize(m.c.currentP());
}
BENCHMARK(BM_CurrentPDuringLinearMotion);

void BM_TickOf100msWithAreas(benchmark::State& state) {
  Moving m;
  double y = 200;
  m.startLinear(y);
  for (auto _ : state) {
    m.clock.advance(std::chrono::milliseconds(100));
    m.c.tick(m.clock.now());
    state.PauseTiming();
    if (!m.c.moving()) m.startLinear(y = -y);  // back and forth
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TickOf100msWithAreas);

}  // namespace
}  // namespace kelvor::sim::model

BENCHMARK_MAIN();
