// What the start-up port probe of COM1 to COM256 costs on this machine, and what one
// present device costs.
#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include "app/port_probe.h"

static void BM_ProbeAll256ComNames(benchmark::State& state) {
  DevicePortProber prober;
  int present = 0;
  for (auto _ : state) {
    present = 0;
    for (int n = 1; n <= 256; ++n) present += prober.isPresent(n);
  }
  state.counters["present"] = present;
}
BENCHMARK(BM_ProbeAll256ComNames)->Unit(benchmark::kMicrosecond);

static void BM_ProbeOneFreePseudoTerminal(benchmark::State& state) {
  int master = -1, slave = -1;
  char name[128];
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  ::close(slave);
  DevicePortProber prober;
  for (auto _ : state) benchmark::DoNotOptimize(prober.deviceIsFree(name));
  ::close(master);
}
BENCHMARK(BM_ProbeOneFreePseudoTerminal)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
