// Round trip of scalar calls through the library to kelvor-sim over loopback TCP, and the
// bytes a scalar get puts on the wire.
#include <benchmark/benchmark.h>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "sim_connection.h"

namespace {

using kelvor::bench::connectOnce;

void BM_GetMotorState(benchmark::State& state) {
  connectOnce();
  int32_t v = 0;
  for (auto _ : state) {
    if (klv_get_MotorState(&v) != KLV_OK) state.SkipWithError("call failed");
    benchmark::DoNotOptimize(v);
  }
  namespace p = kelvor::proto;
  p::Frame req;
  req.func = static_cast<uint16_t>(p::Func::get_MotorState);
  p::Frame rep = req;
  rep.type = p::FrameType::kReply;
  rep.payload = p::Writer().i32(0).i32(0).take();
  const double bytes = static_cast<double>(p::encodeFrame(req).size() + p::encodeFrame(rep).size());
  state.counters["bytes_per_call"] = bytes;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_GetMotorState)->UseRealTime();

void BM_GetVarD(benchmark::State& state) {
  connectOnce();
  double v = 0;
  for (auto _ : state) {
    if (klv_get_VarD(5, &v) != KLV_OK) state.SkipWithError("call failed");
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_GetVarD)->UseRealTime();

void BM_GetCurrentP(benchmark::State& state) {
  connectOnce();
  float p[8];
  for (auto _ : state) {
    if (klv_get_CurrentP(p) != KLV_OK) state.SkipWithError("call failed");
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(BM_GetCurrentP)->UseRealTime();

void BM_DecodeFrame(benchmark::State& state) {
  namespace p = kelvor::proto;
  p::Frame f;
  f.type = p::FrameType::kReply;
  f.payload = p::Writer().i32(0).i32(1).take();
  const auto bytes = p::encodeFrame(f);
  p::Decoder d;
  for (auto _ : state) {
    d.feed(bytes.data(), bytes.size());
    benchmark::DoNotOptimize(d.next());
  }
}
BENCHMARK(BM_DecodeFrame);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  kelvor::bench::disconnectAndStop();
  benchmark::Shutdown();
  return 0;
}
