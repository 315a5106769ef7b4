// What a library call costs with the call trace off (KELVOR_TRACE unset) and on. Run by
// bench/trace_compare.sh against the library as it was before the trace existed, too.
//
//   trace_bench [benchmark options]   Google Benchmark
//   trace_bench --calls N             only N calls without a connection, for instruction
//                                     counts (valgrind --tool=callgrind)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "kelvor.h"
#include "sim_connection.h"

namespace {

using kelvor::bench::connectOnce;

// The library's own work for a call: the lock, the connection check and (with this
// library) the trace test, without any I/O.
void BM_CallWithoutConnection(benchmark::State& state) {
  int32_t v = 0;
  for (auto _ : state) {
    if (klv_get_MotorState(&v) != KLV_E_NOT_CONNECTED) state.SkipWithError("connected?");
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_CallWithoutConnection);

// A whole call: request, reply over loopback TCP to kelvor-sim.
void BM_GetMotorStateRoundTrip(benchmark::State& state) {
  connectOnce();
  int32_t v = 0;
  for (auto _ : state) {
    if (klv_get_MotorState(&v) != KLV_OK) state.SkipWithError("call failed");
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_GetMotorStateRoundTrip)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--calls") == 0) {
    int32_t v = 0;
    for (long n = std::atol(argv[2]); n > 0; --n) klv_get_MotorState(&v);
    return 0;
  }
  const char* trace = std::getenv("KELVOR_TRACE");
  benchmark::AddCustomContext("trace", trace && *trace ? trace : "off");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  kelvor::bench::disconnectAndStop();
  benchmark::Shutdown();
  return 0;
}
