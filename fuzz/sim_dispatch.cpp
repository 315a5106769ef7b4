// The simulator's request dispatch: a sequence of requests of one connection against one
// controller, in-process with a manual clock.
//
// Input, read front to back (missing bytes read as 0):
//   mode       u8: bit 0 the connection has shaken hands already, bit 1 a fault rule follows
//              (u8 function, i32 code made positive, u8 count), bit 2 every store fails
//   requests   until the input ends, each:
//                u8 function: an index into the function list (wrapping), 255 a raw id (u16)
//                u8 shape: even, arguments shaped by the request signature, their values from
//                  the input (see value()); odd, a raw payload: u16 length (0 to 2100), bytes
//                u16 milliseconds the clock advances before the request
//              while the reply waits for a motion: u16 milliseconds per step, up to 16 steps,
//              then the clock runs on until the motion has ended
// Invariants:
//  - a reply is its code and, only for success, outputs that match the reply signature; a
//    refusal is a positive controller code alone;
//  - when every store fails, no write takes effect: the persistent state stays as it was but
//    for where the arm rests;
//  - no crash, leak or undefined behaviour (a float from the wire converted to an integer it
//    does not fit, for instance).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dispatch/dispatcher.h"
#include "fuzz_support.h"
#include "kelvor/protocol.h"
#include "model/clock.h"
#include "model/controller.h"
#include "model/state_file.h"

namespace {

using namespace kelvor;
using namespace kelvor::sim;

using kelvor::fuzz::require;

using kelvor::fuzz::Script;

// Integers a rule is likely to draw a line at, then any.
int32_t intValue(Script& s) {
  static constexpr int32_t kEdges[] = {0,
                                       1,
                                       2,
                                       3,
                                       7,
                                       8,
                                       9,
                                       31,
                                       32,
                                       63,
                                       64,
                                       99,
                                       100,
                                       999,
                                       1000,
                                       2047,
                                       2048,
                                       -1,
                                       -2,
                                       std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()};
  const uint8_t pick = s.u8();
  if (pick < std::size(kEdges)) return kEdges[pick];
  if (pick < 128) return pick - 64;
  return static_cast<int32_t>(s.u32());
}

// Floats at the edges of what converts, compares and computes safely, then any bit pattern.
float floatValue(Script& s) {
  static constexpr float kEdges[] = {0.0f,
                                     -0.0f,
                                     1.0f,
                                     -1.0f,
                                     0.5f,
                                     100.0f,
                                     100.5f,
                                     180.0f,
                                     -180.0f,
                                     1e9f,
                                     2147483648.0f,
                                     3e9f,
                                     -3e9f,
                                     1e30f,
                                     std::numeric_limits<float>::max(),
                                     std::numeric_limits<float>::lowest(),
                                     std::numeric_limits<float>::denorm_min(),
                                     std::numeric_limits<float>::infinity(),
                                     -std::numeric_limits<float>::infinity(),
                                     std::numeric_limits<float>::quiet_NaN()};
  const uint8_t pick = s.u8();
  if (pick < std::size(kEdges)) return kEdges[pick];
  if (pick < 128) return static_cast<float>(pick) - 64.0f;
  const uint32_t bits = s.u32();
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

// Arguments shaped by sig.
std::vector<uint8_t> shapedArguments(Script& s, std::string_view sig) {
  proto::Writer w;
  for (char c : sig) {
    switch (c) {
      case 'i':
        w.i32(intValue(s));
        break;
      case 'f':
        w.f32(floatValue(s));
        break;
      case 'd': {
        const uint64_t bits = s.u32() | (static_cast<uint64_t>(s.u32()) << 32);
        double d;
        std::memcpy(&d, &bits, 8);
        w.f64(d);
        break;
      }
      case 's': {
        const auto b = s.bytes(s.u16() % (proto::kMaxString + 2));
        w.str(std::string(b.begin(), b.end()));
        break;
      }
      default:
        for (size_t i = 0; i < proto::arrayLength(c); ++i) w.f32(floatValue(s));
        break;
    }
  }
  return w.take();
}

void checkReply(const dispatch::Dispatcher::Outcome& out, const proto::FuncInfo* info) {
  proto::Reader r(out.reply);
  const int32_t code = r.i32();
  require(!r.fail() && code == out.code, "a reply starts with its code");
  if (code != KLV_OK) {
    require(code > 0, "a refusal is a controller code");
    require(out.reply.size() == 4, "a refusal carries nothing but its code");
    return;
  }
  require(info != nullptr, "only a known function succeeds");
  require(proto::matchesSignature(info->reply, out.reply.data() + 4, out.reply.size() - 4),
          "a success reply matches its signature");
}

// a and b hold the same written values; where the arm rests is no write.
bool sameWrites(model::PersistentState a, const model::PersistentState& b) {
  a.joints = b.joints;
  return model::formatState(a) == model::formatState(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Script script(data, size);
  const uint8_t mode = script.u8();
  dispatch::Faults faults;
  if (mode & 2) {
    const auto& funcs = proto::allFuncs();
    dispatch::FailRule rule;
    rule.func = funcs[script.u8() % funcs.size()].id;
    rule.code = static_cast<int32_t>(1 + script.u32() % 0x7FFFFFFF);
    rule.remaining = script.u8() % 4 - 1;
    faults.fails.push_back(rule);
  }
  const bool storeFails = (mode & 4) != 0;
  auto store = [storeFails](const model::PersistentState&, std::string& error) {
    error = "the disk is full";
    return !storeFails;
  };

  model::Controller controller;
  model::ManualClock clock;
  dispatch::Dispatcher dispatcher(controller, clock, faults, store);
  dispatch::Dispatcher::Peer peer;
  peer.greeted = (mode & 1) != 0;
  const auto& funcs = proto::allFuncs();
  for (int n = 0; n < 64 && !script.empty(); ++n) {
    const uint8_t choice = script.u8();
    const uint16_t id = choice == 255 ? script.u16() : funcs[choice % funcs.size()].id;
    const proto::FuncInfo* info = proto::findFunc(id);
    const uint8_t shape = script.u8();
    std::vector<uint8_t> payload;
    if (shape % 2 == 0 && info) {
      payload = shapedArguments(script, info->request);
    } else {
      payload = script.bytes(script.u16() % 2101);
    }
    clock.advance(std::chrono::milliseconds(script.u16()));
    dispatch::Dispatcher::Outcome out = dispatcher.execute(peer, id, payload);
    for (int step = 0; out.motion; ++step) {
      require(step < 10000, "a motion ends");
      const auto left = dispatcher.awaitMotion(out);
      if (!left) break;
      clock.advance(step < 16 ? model::Duration(std::chrono::milliseconds(script.u16()))
                              : std::max<model::Duration>(*left, std::chrono::seconds(1)));
    }
    checkReply(out, info);
    if (storeFails) {
      require(sameWrites(controller.persistent(), model::PersistentState{}),
              "a write that cannot be stored does not take effect");
    }
  }
  return 0;
}
