// The library's reply handling behind an in-memory transport: a controller made of fuzz data
// answers the handshake and a series of calls through the C interface.
//
// Input, read front to back (missing bytes read as 0):
//   mode        u8: bit 0 serial line (a pause or a CRC error drops data), bits 1-7 the
//               size of the pieces the library reads (1 to 128 bytes)
//   answer      after each request: u8 count (0 to 4) of steps, each a u8 kind and its data:
//                 0 raw bytes: u8 length (0 to 64), bytes
//                 1 a reply whose payload is u16 length (0 to 2099), bytes
//                 2 a success reply shaped by the function's reply signature: per field its
//                   bytes; a string is u16 length (0 to 1099) and bytes
//                 3 a reply with an i32 code and nothing else
//                 4 a progress frame for the request
//                 5 a stray frame: u8 type (1 to 4), u8 sequence offset (-1 to +1), a shaped
//                   success payload
//               an answer that leaves nothing to read ends the connection
//   calls       after the handshake, up to 8: u8 choice of function, its arguments, then the
//               answer to its request
// Invariants:
//  - every call returns KLV_OK, a controller code (1 to 0x7FFFFFFF) or one of the library
//    codes a call over an open connection can give;
//  - outputs stay inside their buffers; after a failure nothing was written; a string output
//    is terminated within its buffer;
//  - on a TCP line (where nothing is dropped) the result is exactly what the first reply to
//    the request warrants: a success only for a reply whose outputs match the signature, and
//    then the outputs are the reply's.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client.h"
#include "fuzz_support.h"
#include "kelvor.h"
#include "kelvor/protocol.h"
#include "transport.h"

namespace {

using namespace kelvor;
using proto::Frame;
using proto::FrameType;
using proto::Func;

using kelvor::fuzz::require;

using kelvor::fuzz::Script;

// A reply payload with code 0 and outputs shaped by sig, their content from the script.
std::vector<uint8_t> shapedSuccess(Script& s, std::string_view sig) {
  std::vector<uint8_t> out = proto::Writer().i32(0).take();
  auto append = [&](size_t n) {
    const auto b = s.bytes(n);
    out.insert(out.end(), b.begin(), b.end());
  };
  for (char c : sig) {
    if (c == 's') {
      const uint16_t n = s.u16() % 1100;
      out.push_back(static_cast<uint8_t>(n & 0xFF));
      out.push_back(static_cast<uint8_t>(n >> 8));
      append(n);
    } else {
      append(c == 'd' ? 8 : c == 'i' || c == 'f' ? 4 : 4 * proto::arrayLength(c));
    }
  }
  return out;
}

// The controller's side of the line. A TCP line hands over every byte it was given; a serial
// line drops what is pending when the library flushes it.
class ScriptedLine final : public lib::Transport {
 public:
  // lastSeq receives the sequence number of each request; the line itself goes away with the
  // connection.
  ScriptedLine(Script& script, bool serial, size_t piece, proto::Decoder& mirror, uint16_t& lastSeq)
      : script_(script), serial_(serial), piece_(piece), mirror_(mirror), lastSeq_(lastSeq) {}

  lib::IoResult writeAll(const uint8_t* data, size_t size, lib::Clock::time_point) override {
    proto::Decoder d;
    d.feed(data, size);
    const auto req = d.next();
    require(req && req->type == FrameType::kRequest && d.buffered() == 0,
            "the library sends one well-formed request at a time");
    request_ = *req;
    lastSeq_ = req->seq;
    answer();
    return lib::IoResult::kOk;
  }

  lib::IoResult readSome(uint8_t* buf, size_t cap, lib::Clock::time_point, size_t& got) override {
    got = 0;
    if (pending_.empty()) {
      // A serial line first goes quiet (the library drops a partial frame), then ends.
      quiet_ = serial_ && !quiet_;
      return quiet_ ? lib::IoResult::kTimeout : lib::IoResult::kClosed;
    }
    got = std::min({cap, piece_, pending_.size()});
    std::memcpy(buf, pending_.data(), got);
    mirror_.feed(buf, got);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(got));
    return lib::IoResult::kOk;
  }

  void flushInput() override { pending_.clear(); }  // only a serial line is flushed
  std::chrono::milliseconds interByteTimeout() const override {
    return std::chrono::milliseconds(serial_ ? 20 : 0);
  }

 private:
  void send(FrameType type, uint16_t seq, std::vector<uint8_t> payload) {
    Frame f;
    f.type = type;
    f.seq = seq;
    f.func = request_.func;
    f.payload = std::move(payload);
    const auto bytes = proto::encodeFrame(f);
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  }

  void answer() {
    const proto::FuncInfo* info = proto::findFunc(request_.func);
    require(info != nullptr, "the library sends only known functions");
    const int steps = script_.u8() % 5;
    for (int i = 0; i < steps; ++i) {
      switch (script_.u8() % 6) {
        case 0: {
          const auto raw = script_.bytes(script_.u8() % 65);
          pending_.insert(pending_.end(), raw.begin(), raw.end());
          break;
        }
        case 1:
          send(FrameType::kReply, request_.seq, script_.bytes(script_.u16() % 2100));
          break;
        case 2:
          send(FrameType::kReply, request_.seq, shapedSuccess(script_, info->reply));
          break;
        case 3:
          send(FrameType::kReply, request_.seq, proto::Writer().i32(script_.i32()).take());
          break;
        case 4:
          send(FrameType::kProgress, request_.seq, {});
          break;
        default: {
          const auto type = static_cast<FrameType>(1 + script_.u8() % 4);
          const auto seq = static_cast<uint16_t>(request_.seq + script_.u8() % 3 - 1);
          send(type, seq, shapedSuccess(script_, info->reply));
          break;
        }
      }
    }
  }

  Script& script_;
  bool serial_;
  size_t piece_;
  proto::Decoder& mirror_;
  uint16_t& lastSeq_;
  Frame request_;
  std::vector<uint8_t> pending_;
  bool quiet_ = false;
};

// What the library must make of the bytes it was given, read the way it reads them.
struct Expected {
  int32_t rc;
  std::vector<uint8_t> outputs;  // on KLV_OK
};

std::optional<Expected> expectedFor(proto::Decoder& mirror, uint16_t seq, Func func) {
  const proto::FuncInfo& info = *proto::findFunc(static_cast<uint16_t>(func));
  while (auto f = mirror.next()) {
    if (f->seq != seq || f->type != FrameType::kReply) continue;
    if (f->func != info.id) return Expected{KLV_E_PROTOCOL, {}};
    proto::Reader r(f->payload);
    const int32_t code = r.i32();
    if (r.fail() || code < 0) return Expected{KLV_E_PROTOCOL, {}};
    if (code > 0) return Expected{code, {}};
    std::vector<uint8_t> outputs(f->payload.begin() + 4, f->payload.end());
    if (!proto::matchesSignature(info.reply, outputs.data(), outputs.size())) {
      return Expected{KLV_E_PROTOCOL, {}};
    }
    return Expected{KLV_OK, outputs};
  }
  return std::nullopt;
}

// Output memory between two guard zones, filled with a pattern.
class Guarded {
 public:
  explicit Guarded(size_t size) : size_(size), mem_(size + 2 * kGuard, kPattern) {}
  uint8_t* data() { return mem_.data() + kGuard; }
  template <class T>
  T* as() {
    return reinterpret_cast<T*>(data());
  }
  bool guardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i) {
      if (mem_[i] != kPattern || mem_[kGuard + size_ + i] != kPattern) return false;
    }
    return true;
  }
  bool untouched() const {
    for (uint8_t b : mem_) {
      if (b != kPattern) return false;
    }
    return true;
  }
  bool holds(const uint8_t* bytes, size_t n) const {
    return n <= size_ && std::memcmp(mem_.data() + kGuard, bytes, n) == 0;
  }

 private:
  static constexpr size_t kGuard = 16;
  static constexpr uint8_t kPattern = 0xA7;
  size_t size_;
  std::vector<uint8_t> mem_;
};

// One call of the C interface with its outputs in guarded memory.
struct Call {
  Func func;
  int32_t rc = KLV_OK;
  std::vector<Guarded> outputs;
  size_t stringSize = 0;  // for a string output: the size passed in
};

std::vector<float> floatsFrom(Script& s, size_t n) {
  std::vector<float> v(n);
  const auto b = s.bytes(4 * n);
  if (!b.empty()) std::memcpy(v.data(), b.data(), b.size());
  return v;
}

// Runs the call the script chooses.
Call runCall(Script& s) {
  Call c;
  auto out = [&](size_t n) -> Guarded& { return c.outputs.emplace_back(n); };
  switch (s.u8() % 12) {
    case 0: {
      c.func = Func::get_RobotType;
      c.stringSize = 1 + s.u16() % 1100;
      c.rc = klv_get_RobotType(out(c.stringSize).as<char>(), static_cast<int32_t>(c.stringSize));
      break;
    }
    case 1: {
      c.func = Func::get_VarS;
      c.stringSize = 1 + s.u16() % 1100;
      const int32_t no = s.i32();
      c.rc = klv_get_VarS(no, out(c.stringSize).as<char>(), static_cast<int32_t>(c.stringSize));
      break;
    }
    case 2:
      c.func = Func::get_MotorState;
      c.rc = klv_get_MotorState(out(4).as<int32_t>());
      break;
    case 3:
      c.func = Func::get_Speed;
      c.rc = klv_get_Speed(out(4).as<float>());
      break;
    case 4:
      c.func = Func::get_VarD;
      c.rc = klv_get_VarD(s.i32(), out(8).as<double>());
      break;
    case 5:
      c.func = Func::get_CurrentT;
      c.rc = klv_get_CurrentT(out(44).as<float>());
      break;
    case 6:
      c.func = Func::get_AreaDef;
      c.rc = klv_get_AreaDef(s.i32(), out(56).as<float>());
      break;
    case 7: {
      c.func = Func::get_LinkParam;
      out(28);
      out(28);
      c.rc = klv_get_LinkParam(c.outputs[0].as<float>(), c.outputs[1].as<float>());
      break;
    }
    case 8: {
      c.func = Func::P2J;
      const auto p = floatsFrom(s, 8);
      c.rc = klv_P2J(p.data(), out(36).as<float>());
      break;
    }
    case 9: {
      c.func = Func::DevH;
      const auto base = floatsFrom(s, 7), offset = floatsFrom(s, 7);
      c.rc = klv_DevH(base.data(), offset.data(), out(28).as<float>());
      break;
    }
    case 10: {
      c.func = Func::put_VarS;
      const auto b = s.bytes(s.u16() % (KLV_MAX_STRING + 1));
      const std::string text(b.begin(), b.end());
      c.rc = klv_put_VarS(s.i32(), text.c_str());  // a NUL inside ends it early: still valid
      break;
    }
    default: {
      c.func = Func::DriveA;
      const auto j = floatsFrom(s, 9);
      c.rc = klv_DriveA("@0", j.data(), s.u8() % 2 ? "NEXT" : nullptr);
      break;
    }
  }
  return c;
}

// Checks what every call guarantees; with a reply oracle (a TCP line), also that the result
// and the outputs are exactly what the first reply to the request warrants.
void checkCall(Call& c, const std::optional<Expected>* oracle) {
  const int32_t rc = c.rc;
  require(rc == KLV_OK || rc > 0 || rc == KLV_E_TIMEOUT || rc == KLV_E_CONNECTION_LOST ||
              rc == KLV_E_PROTOCOL,
          "only documented results");
  for (const Guarded& g : c.outputs) {
    require(g.guardsIntact(), "outputs stay inside their buffers");
    if (rc != KLV_OK) require(g.untouched(), "nothing is written when a call fails");
  }
  if (c.stringSize > 0 && rc == KLV_OK) {
    require(std::memchr(c.outputs[0].data(), '\0', c.stringSize) != nullptr,
            "a string output is terminated within its buffer");
  }
  if (!oracle) return;
  const std::optional<Expected>& expected = *oracle;
  if (!expected) {
    require(rc == KLV_E_CONNECTION_LOST || rc == KLV_E_TIMEOUT,
            "without a reply, the call can only run out of line or time");
    return;
  }
  require(rc == expected->rc, "the result is what the reply warrants");
  if (rc != KLV_OK) return;
  const std::vector<uint8_t>& o = expected->outputs;
  if (c.stringSize > 0) {
    const size_t n = std::min<size_t>(o.size() - 2, c.stringSize - 1);
    require(c.outputs[0].holds(o.data() + 2, n) && c.outputs[0].data()[n] == '\0',
            "the string output is the reply's, cut to the buffer");
    return;
  }
  size_t at = 0;
  for (const Guarded& g : c.outputs) {
    const size_t n = o.size() / c.outputs.size();
    require(g.holds(o.data() + at, n), "the outputs are the reply's");
    at += n;
  }
}

// The handshake's result: that of any call, and a version mismatch for another version or a
// refusal of ours.
void checkHello(int32_t rc, const std::optional<Expected>* oracle) {
  require(rc == KLV_OK || rc > 0 || rc == KLV_E_TIMEOUT || rc == KLV_E_CONNECTION_LOST ||
              rc == KLV_E_PROTOCOL || rc == KLV_E_VERSION_MISMATCH,
          "only documented results of the handshake");
  if (!oracle) return;
  const std::optional<Expected>& expected = *oracle;
  if (!expected) {
    require(rc == KLV_E_CONNECTION_LOST || rc == KLV_E_TIMEOUT, "no handshake without a reply");
    return;
  }
  int32_t want = expected->rc;
  if (want == KLV_OK && proto::Reader(expected->outputs).i32() != proto::kProtocolVersion) {
    want = KLV_E_VERSION_MISMATCH;
  }
  if (want == KLV_C_PROTOCOL_VERSION) want = KLV_E_VERSION_MISMATCH;  // ours was refused
  require(rc == want, "the handshake's result is what the reply warrants");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Script script(data, size);
  const uint8_t mode = script.u8();
  // A serial line drops data on its own schedule, so only a TCP line has a reply oracle: a
  // decoder fed exactly what the library was given.
  const bool serial = (mode & 1) != 0;
  proto::Decoder mirror;
  uint16_t seq = 0;
  auto oracle = [&](Func func, std::optional<Expected>& slot) {
    slot = expectedFor(mirror, seq, func);
    return serial ? nullptr : &slot;
  };
  std::optional<Expected> expected;
  const int32_t hello =
      lib::connectOver(std::make_unique<ScriptedLine>(script, serial, 1 + (mode >> 1), mirror, seq),
                       std::chrono::milliseconds(10000));
  checkHello(hello, oracle(Func::Hello, expected));
  if (hello != KLV_OK) {
    require(klv_Disconnect() == KLV_E_NOT_CONNECTED, "a failed handshake leaves no connection");
    return 0;
  }
  for (int i = 0; i < 8 && !script.empty(); ++i) {
    Call c = runCall(script);
    checkCall(c, oracle(c.func, expected));
    if (c.rc == KLV_E_CONNECTION_LOST) break;
  }
  require(klv_Disconnect() == KLV_OK, "a connection is closed");
  return 0;
}
