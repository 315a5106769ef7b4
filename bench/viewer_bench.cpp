// kelvor-view's costs: the frame time of one render of the arm (scene and pixels), and the
// program's CPU use while it polls a kelvor-sim at 30 Hz, with the arm standing and moving.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "kelvor.h"
#include "readings.h"
#include "render/renderer.h"
#include "scene/scene.h"
#include "sim_process.h"
#include "state/arm_model.h"
#include "text_lines.h"

#ifndef KELVOR_VIEW_PATH
#error "KELVOR_VIEW_PATH must name the kelvor-view executable"
#endif

namespace kelvor::view {
namespace {

using namespace std::chrono_literals;
using test::countLines;

// The default arm in mid-motion with tool 1, the four default areas (two enabled) and ten
// seconds of path at 30 Hz.
Reading busyReading() {
  Reading r = test::defaultArmReading();
  for (std::size_t i = 0; i < robot::kDefaultAreas.size(); ++i) {
    r.state.areas[i] = robot::convertArray<float>(robot::kDefaultAreas[i]);
  }
  r.time = 10;
  for (int k = 0; k <= 300; ++k) {
    const float a = static_cast<float>(k) / 10;
    r.trail.push_back({k / 30.0, {a, a / 2, -a / 2, a, 20 + a / 3, 0, 0, 0, 0}});
  }
  r.state.joints = r.trail.back().joints;
  return r;
}

// Argument 1: the fast frames drawn while the arm moves; 0: full quality (antialiased).
void BM_RenderFrame(benchmark::State& state) {
  const Scene scene = buildScene(makeArmModel(busyReading()));
  const Camera cam = Camera::standard(View::Iso, scene.envelope, 800, 600);
  RenderOptions o;
  o.fast = state.range(0) == 1;
  for (auto _ : state) {
    QImage image = renderImage(scene, cam, o);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_RenderFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// What the window does per reading: the arm model, the scene and a fast frame.
void BM_ReadingToFrame(benchmark::State& state) {
  const Reading r = busyReading();
  RenderOptions o;
  o.fast = true;
  for (auto _ : state) {
    const Scene scene = buildScene(makeArmModel(r));
    const Camera cam = Camera::standard(View::Iso, scene.envelope, 800, 600);
    QImage image = renderImage(scene, cam, o);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_ReadingToFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// CPU seconds (user + system) a process has used so far.
double cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream rest(all.substr(all.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

struct Window {
  double cpu;       // share of one core
  double jointsHz;  // get_CurrentJ requests per second
};

Window measure(pid_t viewer, const std::string& trace, double seconds, bool moving) {
  const double cpu0 = cpuSeconds(viewer);
  const int reads0 = countLines(trace, "get_CurrentJ()");
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  bool flip = false;
  while (std::chrono::steady_clock::now() < end) {
    if (moving) {
      flip = !flip;
      const float j[9] = {flip ? 40.f : -40.f, 20, -30, flip ? 30.f : -30.f, 40, 0, 0, 0, 0};
      klv_DriveA("@0", j, nullptr);  // a simulator that moves in time answers at the end
    }
    std::this_thread::sleep_for(40ms);
  }
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {(cpuSeconds(viewer) - cpu0) / elapsed,
          (countLines(trace, "get_CurrentJ()") - reads0) / elapsed};
}

void measureCpu() {
  const std::string trace = "/tmp/kelvor-viewer-bench-" + std::to_string(::getpid()) + ".trace";
  kelvor::test::SimProcess sim({"--trace"}, trace);
  std::string conn = sim.eth();
  if (klv_Connect(conn.data(), 5000, 0) != KLV_OK) {
    std::printf("viewer CPU: cannot connect to kelvor-sim\n");
    return;
  }
  const float ss[7] = {350, 0, 0, 350, 0, 80, 0}, aa[7] = {50, 300, 50, 0, 0, 0, 0};
  klv_put_LinkParam(ss, aa);
  klv_put_Speed(100);
  klv_put_ExtSpeed(100);
  klv_put_MotorState(1);

  const pid_t viewer = ::fork();
  if (viewer == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execl(KELVOR_VIEW_PATH, KELVOR_VIEW_PATH, conn.c_str(), "--size", "1024x768", nullptr);
    ::_exit(127);
  }
  std::this_thread::sleep_for(2s);  // start-up and the first reads
  const Window standing = measure(viewer, trace, 5, false);
  const Window moving = measure(viewer, trace, 5, true);
  ::kill(viewer, SIGTERM);
  ::waitpid(viewer, nullptr, 0);
  klv_Disconnect();
  sim.stop();
  std::remove(trace.c_str());
  std::printf("kelvor-view polling at 30 Hz (1024x768 window, offscreen):\n");
  std::printf("  arm standing: %5.1f %% of one core, %.1f get_CurrentJ/s\n", 100 * standing.cpu,
              standing.jointsHz);
  std::printf("  arm moving:   %5.1f %% of one core, %.1f get_CurrentJ/s (a frame per read)\n",
              100 * moving.cpu, moving.jointsHz);
}

}  // namespace
}  // namespace kelvor::view

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // fonts for the renderer
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kelvor::view::measureCpu();
  return 0;
}
