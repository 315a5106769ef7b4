// What garbage costs a receiver: the CRC of a largest body, and the decoder working through
// the resynchronisation worst case (A5 5A 00 08 repeated: every fourth byte starts a
// candidate whose CRC covers 2050 bytes).
#include <benchmark/benchmark.h>

#include <vector>

#include "kelvor/protocol.h"

namespace {

namespace p = kelvor::proto;

void BM_Crc16OfALargestBody(benchmark::State& state) {
  const std::vector<uint8_t> body(p::kMaxBody + 2, 0x5A);
  for (auto _ : state) benchmark::DoNotOptimize(p::crc16(body.data(), body.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_Crc16OfALargestBody);

void BM_DecoderThroughTheResyncWorstCase(benchmark::State& state) {
  std::vector<uint8_t> garbage;
  for (int i = 0; i < 64 * 1024 / 4; ++i) garbage.insert(garbage.end(), {0xA5, 0x5A, 0x00, 0x08});
  for (auto _ : state) {
    p::Decoder d;
    for (size_t at = 0; at < garbage.size(); at += 512) {
      d.feed(garbage.data() + at, 512);
      while (d.next()) {
      }
    }
    benchmark::DoNotOptimize(d.discardedBytes());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * garbage.size()));
}
BENCHMARK(BM_DecoderThroughTheResyncWorstCase)->Unit(benchmark::kMillisecond);

// One reply of a scalar get through the decoder.
void BM_DecodeFrame(benchmark::State& state) {
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

BENCHMARK_MAIN();
