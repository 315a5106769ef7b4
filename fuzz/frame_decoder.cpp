// The frame decoder on arbitrary bytes, fed in arbitrary pieces.
//
// Input: one byte that chooses the sizes of the pieces, then the stream.
// Invariants:
//  - every frame the decoder returns re-encodes to exactly the bytes it came from;
//  - every byte is accounted for: skipped, returned in a frame, or still buffered, and the
//    decoder never buffers a whole frame's worth it has not decided on;
//  - a payload that matches its function's signature re-encodes to the same bytes, and its
//    readable form can always be made.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_support.h"
#include "kelvor/protocol.h"

namespace {

using namespace kelvor::proto;

using kelvor::fuzz::require;

// Reads a payload along sig and writes it again; equal to the input when sig matches.
std::vector<uint8_t> rewrite(std::string_view sig, const std::vector<uint8_t>& payload) {
  Reader r(payload);
  Writer w;
  for (char c : sig) {
    switch (c) {
      case 'i':
      case 'f':  // copied as bits: a float's NaN payload must survive
        w.i32(r.i32());
        break;
      case 'd':
        w.f64(r.f64());
        break;
      case 's':
        w.str(r.str());
        break;
      default:
        for (size_t i = 0; i < arrayLength(c); ++i) w.i32(r.i32());
        break;
    }
  }
  return w.take();
}

void checkPayload(std::string_view sig, const std::vector<uint8_t>& payload) {
  if (!matchesSignature(sig, payload.data(), payload.size())) return;
  require(rewrite(sig, payload) == payload, "a matching payload re-encodes to itself");
  require(formatPayload(sig, payload.data(), payload.size()) != "<malformed>",
          "a matching payload has a readable form");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  unsigned piece = data[0];
  ++data;
  --size;
  Decoder decoder;
  size_t fed = 0;
  size_t inFrames = 0;  // bytes returned as frames
  while (fed < size) {
    piece = piece * 1103515245u + 12345u;
    const size_t n = std::min<size_t>(size - fed, 1 + (piece >> 16) % 97);
    decoder.feed(data + fed, n);
    fed += n;
    while (auto frame = decoder.next()) {
      const size_t start = decoder.discardedBytes() + inFrames;
      const std::vector<uint8_t> bytes = encodeFrame(*frame);
      require(!bytes.empty() && start + bytes.size() <= fed, "a frame lies within the input");
      require(std::memcmp(data + start, bytes.data(), bytes.size()) == 0,
              "a decoded frame re-encodes to the bytes it came from");
      inFrames += bytes.size();
      (void)describeFrame(*frame);
      if (const FuncInfo* info = findFunc(frame->func)) {
        if (frame->type == FrameType::kRequest) checkPayload(info->request, frame->payload);
        if (frame->type == FrameType::kReply && frame->payload.size() >= 4) {
          checkPayload(info->reply, {frame->payload.begin() + 4, frame->payload.end()});
        }
      }
    }
    require(decoder.discardedBytes() + inFrames + decoder.buffered() == fed,
            "every byte is skipped, returned or buffered");
    require(decoder.buffered() < kMaxFrame, "no more than a frame's worth is held back");
  }
  return 0;
}
