// The C interface: one connection per process, guarded by a mutex.
#include "client.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "connection_string.h"
#include "kelvor.h"
#include "kelvor/codes.h"
#include "kelvor/protocol.h"
#include "trace.h"
#include "transport.h"

namespace kelvor::lib {
namespace {

using proto::Func;
using proto::Reader;
using proto::Writer;

// A call gives up with KLV_E_PROTOCOL after skipping this many bytes that form no frame: a
// controller that sends that much garbage is not going to answer sensibly. Every progress
// frame of a motion renews the allowance together with the timeout.
constexpr uint64_t kMaxSkippedPerCall = 64 * 1024;

struct Connection {
  std::unique_ptr<Transport> transport;
  proto::Decoder decoder;
  std::chrono::milliseconds timeout{KLV_DEFAULT_TIMEOUT_MS};
  uint16_t seq = 0;
  uint64_t crcErrorsSeen = 0;
  bool lost = false;
  uint64_t tracedSkips = 0;  // bytes the decoder discarded that the trace has reported
  // Buffers every call reuses, so that a call allocates nothing once they have grown.
  std::vector<uint8_t> request;
  proto::Frame frame;
};

// Serialises the calls. A call waits for the lock only until its own deadline, so no call
// blocks for longer than its timeout behind another thread's call.
std::timed_mutex g_mutex;
std::atomic<int32_t> g_timeoutMs{KLV_DEFAULT_TIMEOUT_MS};
std::unique_ptr<Connection> g_conn;

// The call lock, waited for until the deadline; not owned when the deadline came first.
std::unique_lock<std::timed_mutex> lockUntil(Clock::time_point deadline) {
  std::unique_lock lock(g_mutex, std::defer_lock);
  (void)lock.try_lock_until(deadline);
  return lock;
}
// When a call that starts now must be over.
Clock::time_point callDeadline() {
  return Clock::now() + std::chrono::milliseconds(g_timeoutMs.load());
}

// Only the controller's own codes (1 to 0x7FFFFFFF) may come from the wire: a reply carrying
// a code from the library's range would make a failure look like a timeout or a lost line.
bool isControllerCode(int32_t code) { return code > 0; }

// The outputs of a reply: the payload after the result code.
struct Outputs {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Reads a reply to the request of func. On KLV_OK, outputs points at the outputs after the
// result code inside reply, checked against the function's signature.
int32_t takeReply(const proto::FuncInfo& info, const proto::Frame& reply, Outputs& outputs) {
  Reader r(reply.payload);
  const int32_t code = r.i32();
  if (r.fail()) return KLV_E_PROTOCOL;
  if (code != KLV_OK) return isControllerCode(code) ? code : KLV_E_PROTOCOL;
  outputs = {reply.payload.data() + 4, reply.payload.size() - 4};
  if (!proto::matchesSignature(info.reply, outputs.data, outputs.size)) return KLV_E_PROTOCOL;
  return KLV_OK;
}

// Feeds the decoder with what the transport delivers before the deadline; got counts the
// bytes. A serial line drops damaged data: after a CRC error, and when it goes quiet in the
// middle of a frame.
int32_t receive(Connection& c, Clock::time_point deadline, size_t& got) {
  const auto interByte = c.transport->interByteTimeout();
  const bool serial = interByte.count() > 0;
  if (serial && c.decoder.crcErrors() != c.crcErrorsSeen) {
    c.transport->flushInput();
    c.decoder.reset();
  }
  c.crcErrorsSeen = c.decoder.crcErrors();
  auto waitUntil = deadline;
  if (serial && c.decoder.buffered() > 0) waitUntil = std::min(deadline, Clock::now() + interByte);
  uint8_t buf[proto::kMaxFrame];  // a largest frame in one read when the line has it
  got = 0;
  switch (c.transport->readSome(buf, sizeof buf, waitUntil, got)) {
    case IoResult::kOk:
      c.decoder.feed(buf, got);
      return KLV_OK;
    case IoResult::kTimeout:
      if (waitUntil < deadline) {  // a pause inside a frame
        c.transport->flushInput();
        c.decoder.reset();
      }
      return KLV_OK;  // the caller sees the deadline
    case IoResult::kClosed:
      break;
  }
  c.lost = true;
  return KLV_E_CONNECTION_LOST;
}

// When a reply must be in: the first byte within the timeout of the request's last byte
// (the request's wire time after start), and the rest within the wire time of the longest
// reply the function can have. Over TCP both are the timeout after start.
struct ReplyDeadlines {
  Clock::time_point firstByte;
  Clock::time_point whole;
  ReplyDeadlines(const Transport& t, Clock::time_point start, size_t requestBytes,
                 const proto::FuncInfo& info)
      : firstByte(start + t.wireTime(requestBytes)),
        whole(firstByte + t.wireTime(proto::kHeaderSize + proto::kMinBody + proto::kCrcSize + 4 +
                                     proto::maxPayloadSize(info.reply))) {}
};

// Sends one request and waits for its reply until the deadline; only a progress frame for a
// motion moves the deadline, to one timeout after that frame. On KLV_OK, outputs holds the
// reply's outputs (see takeReply), valid until the next call.
int32_t exchange(Connection& c, Func func, const uint8_t* request, size_t size,
                 Clock::time_point deadline, Outputs& outputs) {
  if (c.lost) return KLV_E_CONNECTION_LOST;
  const proto::FuncInfo& info = *proto::findFunc(static_cast<uint16_t>(func));
  const uint16_t seq = ++c.seq;
  if (!proto::encodeFrame(proto::FrameType::kRequest, seq, info.id, request, size, c.request)) {
    return KLV_E_INVALID_ARGUMENT;  // too long for one frame
  }
  if (trace::frames()) trace::sent(c.request);
  ReplyDeadlines until(*c.transport, deadline, c.request.size(), info);
  switch (c.transport->writeAll(c.request.data(), c.request.size(), until.firstByte)) {
    case IoResult::kOk:
      break;
    case IoResult::kTimeout:
      return KLV_E_TIMEOUT;
    case IoResult::kClosed:
      c.lost = true;
      return KLV_E_CONNECTION_LOST;
  }
  uint64_t skipLimit = c.decoder.discardedBytes() + kMaxSkippedPerCall;
  bool replyStarted = false;  // a byte came since the request or the last progress frame
  proto::Frame& frame = c.frame;
  for (;;) {
    const auto waitUntil = replyStarted ? until.whole : until.firstByte;
    if (Clock::now() >= waitUntil) return KLV_E_TIMEOUT;
    if (c.decoder.discardedBytes() > skipLimit) return KLV_E_PROTOCOL;
    if (!c.decoder.next(frame)) {
      if (trace::frames()) trace::received(c.decoder, c.tracedSkips);
      size_t got = 0;
      if (const int32_t rc = receive(c, waitUntil, got); rc != KLV_OK) return rc;
      replyStarted = replyStarted || got > 0;
      continue;
    }
    if (trace::frames()) trace::received(c.decoder, c.tracedSkips, frame);
    if (frame.seq != seq) continue;  // a late reply to an earlier, timed-out call
    if (frame.type == proto::FrameType::kProgress) {
      if (frame.func == info.id && info.kind == proto::FuncKind::kMotion) {
        until = ReplyDeadlines(*c.transport, Clock::now() + c.timeout, 0, info);
        replyStarted = false;
        skipLimit = c.decoder.discardedBytes() + kMaxSkippedPerCall;
      }
      continue;
    }
    if (frame.type != proto::FrameType::kReply) continue;
    if (frame.func != info.id) return KLV_E_PROTOCOL;
    return takeReply(info, frame, outputs);
  }
}

// A reference to the caller's reader of the outputs, which, unlike std::function, never
// allocates. It refers to a callable that lives until the call returns.
class Parse {
 public:
  Parse() = default;
  template <class F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, Parse>)
      Parse(F&& f)  // NOLINT: made from lambdas at every call site
      : target_(&f),
        run_([](void* target, Reader& r) { (*static_cast<decltype(&f)>(target))(r); }) {}
  explicit operator bool() const { return run_ != nullptr; }
  void operator()(Reader& r) const { run_(target_, r); }

 private:
  void* target_ = nullptr;
  void (*run_)(void*, Reader&) = nullptr;
};

// The request payload of the calling thread, its buffer kept from call to call.
Writer& request() {
  thread_local Writer w;
  return w.clear();
}

// Runs one call under the lock, all of it within the reply timeout. parse reads the outputs
// and runs only on success; keep, when given, receives them for the trace.
[[gnu::always_inline]] inline int32_t run(Func func, const Writer& request, Parse parse,
                                          std::vector<uint8_t>* keep) {
  if (request.fail() || request.bytes().size() > proto::kMaxPayload) {
    return KLV_E_INVALID_ARGUMENT;  // a string too long, or more than one frame holds
  }
  const auto deadline = callDeadline();
  const auto lock = lockUntil(deadline);
  if (!lock) return KLV_E_TIMEOUT;
  if (!g_conn) return KLV_E_NOT_CONNECTED;
  Outputs outputs;
  const auto& bytes = request.bytes();
  const int32_t rc = exchange(*g_conn, func, bytes.data(), bytes.size(), deadline, outputs);
  if (rc == KLV_OK && parse) {
    Reader r(outputs.data, outputs.size);
    parse(r);
  }
  if (keep) keep->assign(outputs.data, outputs.data + outputs.size);
  return rc;
}

// The call with its trace line, out of line: without tracing a call costs one test more.
[[gnu::noinline]] int32_t tracedCall(Func func, const Writer& request, Parse parse) {
  std::vector<uint8_t> outputs;
  const trace::Start start = trace::now();
  const int32_t rc = run(func, request, parse, &outputs);
  trace::call(start, func, request.bytes(), rc, outputs);
  return rc;
}

int32_t call(Func func, const Writer& request, Parse parse = {}) {
  if (trace::active()) return tracedCall(func, request, parse);
  return run(func, request, parse, nullptr);
}

bool validText(const char* s) { return s && std::strlen(s) <= KLV_MAX_STRING; }
// The "next" argument of a motion is optional: NULL goes out as the empty string.
bool validNext(const char* s) { return !s || validText(s); }
const char* nextText(const char* s) { return s ? s : ""; }

void copyOut(std::string_view s, char* buf, int32_t size) {
  const size_t n = std::min(s.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buf, s.data(), n);
  buf[n] = '\0';
}

// Shapes of calls shared by many functions.
int32_t getInt(Func f, int32_t* out) {
  if (!out) return KLV_E_INVALID_ARGUMENT;
  return call(f, request(), [&](Reader& r) { *out = r.i32(); });
}
int32_t putInt(Func f, int32_t v) { return call(f, request().i32(v)); }
int32_t getFloat(Func f, float* out) {
  if (!out) return KLV_E_INVALID_ARGUMENT;
  return call(f, request(), [&](Reader& r) { *out = r.f32(); });
}
int32_t putFloat(Func f, float v) { return call(f, request().f32(v)); }
int32_t getString(Func f, char* buf, int32_t size) {
  if (!buf || size < 1) return KLV_E_INVALID_ARGUMENT;
  return call(f, request(), [&](Reader& r) { copyOut(r.strView(), buf, size); });
}
int32_t getArray(Func f, float* out, size_t n) {
  if (!out) return KLV_E_INVALID_ARGUMENT;
  return call(f, request(), [&](Reader& r) { r.floats(out, n); });
}
int32_t putArray(Func f, const float* in, size_t n) {
  if (!in) return KLV_E_INVALID_ARGUMENT;
  return call(f, request().floats(in, n));
}
int32_t convert(Func f, const float* in, size_t nIn, float* out, size_t nOut) {
  if (!in || !out) return KLV_E_INVALID_ARGUMENT;
  return call(f, request().floats(in, nIn), [&](Reader& r) { r.floats(out, nOut); });
}
int32_t getNumberedArray(Func f, int32_t no, float* out, size_t n) {
  if (!out) return KLV_E_INVALID_ARGUMENT;
  return call(f, request().i32(no), [&](Reader& r) { r.floats(out, n); });
}
int32_t putNumberedArray(Func f, int32_t no, const float* in, size_t n) {
  if (!in) return KLV_E_INVALID_ARGUMENT;
  return call(f, request().i32(no).floats(in, n));
}
// MoveP / MoveJ / MoveT: comp, path, target, next.
int32_t move(Func f, int32_t comp, const char* path, const float* target, size_t n,
             const char* next) {
  if (!validText(path) || !target || !validNext(next)) return KLV_E_INVALID_ARGUMENT;
  return call(f, request().i32(comp).str(path).floats(target, n).str(nextText(next)));
}
// ApproachP / ApproachJ / ApproachT: comp, target, path, length, next.
int32_t approach(Func f, int32_t comp, const float* target, size_t n, const char* path,
                 float length, const char* next) {
  if (!validText(path) || !target || !validNext(next)) return KLV_E_INVALID_ARGUMENT;
  return call(f, request().i32(comp).floats(target, n).str(path).f32(length).str(nextText(next)));
}

// The handshake, then the connection of every later call; the lock is held.
int32_t startSession(std::unique_ptr<Transport> transport, std::chrono::milliseconds timeout,
                     Clock::time_point deadline) {
  auto c = std::make_unique<Connection>();
  c->transport = std::move(transport);
  c->timeout = timeout;
  Outputs outputs;
  const auto& hello = request().i32(proto::kProtocolVersion).str("libkelvor").bytes();
  const int32_t rc = exchange(*c, Func::Hello, hello.data(), hello.size(), deadline, outputs);
  if (rc == KLV_C_PROTOCOL_VERSION) return KLV_E_VERSION_MISMATCH;  // it refused our version
  if (rc != KLV_OK) return rc;
  Reader r(outputs.data, outputs.size);
  if (r.i32() != proto::kProtocolVersion) return KLV_E_VERSION_MISMATCH;
  g_timeoutMs = static_cast<int32_t>(timeout.count());
  g_conn = std::move(c);
  return KLV_OK;
}

std::chrono::milliseconds replyTimeout(int32_t timeoutMs) {
  return std::chrono::milliseconds(timeoutMs == 0 ? KLV_DEFAULT_TIMEOUT_MS : timeoutMs);
}

int32_t disconnect() {
  const auto lock = lockUntil(callDeadline());
  if (!lock) return KLV_E_TIMEOUT;
  if (!g_conn) return KLV_E_NOT_CONNECTED;
  g_conn.reset();
  return KLV_OK;
}

// Everything from the lock to the handshake shares one deadline.
int32_t connect(char* conn, int32_t timeoutMs, int32_t flags) {
  if (!conn || timeoutMs < 0 || flags != 0) return KLV_E_INVALID_ARGUMENT;
  const std::string text(conn);  // the caller's buffer is not kept
  const auto timeout = replyTimeout(timeoutMs);
  const auto deadline = Clock::now() + timeout;
  const auto lock = lockUntil(deadline);
  if (!lock) return KLV_E_TIMEOUT;
  if (g_conn) return KLV_E_ALREADY_CONNECTED;
  ConnectionTarget target;
  if (!parseConnectionString(text, target)) return KLV_E_BAD_CONNECTION_STRING;
  std::unique_ptr<Transport> transport;
  const int32_t rc = target.kind == ConnectionTarget::Kind::kTcp
                         ? openTcp(target.host, target.port, deadline, transport)
                         : openSerial(target.serial, transport);
  if (rc != KLV_OK) return rc;
  return startSession(std::move(transport), timeout, deadline);
}

}  // namespace

int32_t connectOver(std::unique_ptr<Transport> transport, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const auto lock = lockUntil(deadline);
  if (!lock) return KLV_E_TIMEOUT;
  if (g_conn) return KLV_E_ALREADY_CONNECTED;
  return startSession(std::move(transport), timeout, deadline);
}

}  // namespace kelvor::lib

using namespace kelvor::lib;  // NOLINT: the C functions below are thin wrappers
using kelvor::proto::Func;
using kelvor::proto::Reader;
using kelvor::proto::Writer;

extern "C" {

int32_t klv_Connect(char* conn, int32_t timeout_ms, int32_t flags) {
  if (!trace::active()) return connect(conn, timeout_ms, flags);
  const trace::Start start = trace::now();
  const int32_t rc = connect(conn, timeout_ms, flags);
  trace::connect(start, conn, timeout_ms, flags, rc);
  return rc;
}

int32_t klv_Disconnect(void) {
  if (!trace::active()) return disconnect();
  const trace::Start start = trace::now();
  const int32_t rc = disconnect();
  trace::call(start, "klv_Disconnect", {}, rc);
  return rc;
}

int32_t klv_ErrorText(int32_t code, char* buf, int32_t size) {
  if (!buf || size < 1) return KLV_E_INVALID_ARGUMENT;
  copyOut(kelvor::proto::codeText(code), buf, size);
  return KLV_OK;
}

int32_t klv_get_RomVersion(char* buf, int32_t size) {
  return getString(Func::get_RomVersion, buf, size);
}
int32_t klv_get_SerialNo(char* buf, int32_t size) {
  return getString(Func::get_SerialNo, buf, size);
}
int32_t klv_get_RobotType(char* buf, int32_t size) {
  return getString(Func::get_RobotType, buf, size);
}

int32_t klv_get_OperationMode(int32_t* mode) { return getInt(Func::get_OperationMode, mode); }
int32_t klv_get_MotorState(int32_t* state) { return getInt(Func::get_MotorState, state); }
int32_t klv_put_MotorState(int32_t state) { return putInt(Func::put_MotorState, state); }
int32_t klv_get_AutoMode(int32_t* mode) { return getInt(Func::get_AutoMode, mode); }
int32_t klv_put_AutoMode(int32_t mode) { return putInt(Func::put_AutoMode, mode); }
int32_t klv_get_AutoEnable(int32_t* enabled) { return getInt(Func::get_AutoEnable, enabled); }
int32_t klv_get_DeadmanSwitch(int32_t* pressed) { return getInt(Func::get_DeadmanSwitch, pressed); }
int32_t klv_get_EmergencyStop(int32_t* active) { return getInt(Func::get_EmergencyStop, active); }
int32_t klv_get_RobSlaveState(int32_t* state) { return getInt(Func::get_RobSlaveState, state); }
int32_t klv_StartRobSlave(void) { return call(Func::StartRobSlave, request()); }
int32_t klv_StopRobSlave(void) { return call(Func::StopRobSlave, request()); }

int32_t klv_get_ErrorCode(int32_t* code) { return getInt(Func::get_ErrorCode, code); }
int32_t klv_get_ErrorDescription(char* buf, int32_t size) {
  return getString(Func::get_ErrorDescription, buf, size);
}
int32_t klv_ClearError(int32_t code) { return putInt(Func::ClearError, code); }

int32_t klv_get_CurrentP(float p[8]) { return getArray(Func::get_CurrentP, p, 8); }
int32_t klv_get_CurrentJ(float j[9]) { return getArray(Func::get_CurrentJ, j, 9); }
int32_t klv_get_CurrentT(float t[11]) { return getArray(Func::get_CurrentT, t, 11); }
int32_t klv_get_CnfData(int32_t* cnf) { return getInt(Func::get_CnfData, cnf); }
int32_t klv_put_CnfData(int32_t cnf) { return putInt(Func::put_CnfData, cnf); }
int32_t klv_get_MotionState(int32_t* state) { return getInt(Func::get_MotionState, state); }

int32_t klv_MoveP(int32_t comp, const char* path, const float p[8], const char* next) {
  return move(Func::MoveP, comp, path, p, 8, next);
}
int32_t klv_MoveJ(int32_t comp, const char* path, const float j[9], const char* next) {
  return move(Func::MoveJ, comp, path, j, 9, next);
}
int32_t klv_MoveT(int32_t comp, const char* path, const float t[11], const char* next) {
  return move(Func::MoveT, comp, path, t, 11, next);
}
int32_t klv_ApproachP(int32_t comp, const float p[8], const char* path, float length,
                      const char* next) {
  return approach(Func::ApproachP, comp, p, 8, path, length, next);
}
int32_t klv_ApproachJ(int32_t comp, const float j[9], const char* path, float length,
                      const char* next) {
  return approach(Func::ApproachJ, comp, j, 9, path, length, next);
}
int32_t klv_ApproachT(int32_t comp, const float t[11], const char* path, float length,
                      const char* next) {
  return approach(Func::ApproachT, comp, t, 11, path, length, next);
}
int32_t klv_Depart(int32_t comp, const char* path, float length, const char* next) {
  if (!validText(path) || !validNext(next)) return KLV_E_INVALID_ARGUMENT;
  return call(Func::Depart, request().i32(comp).str(path).f32(length).str(nextText(next)));
}
int32_t klv_DriveA(const char* path, const float j[9], const char* next) {
  if (!validText(path) || !j || !validNext(next)) return KLV_E_INVALID_ARGUMENT;
  return call(Func::DriveA, request().str(path).floats(j, 9).str(nextText(next)));
}
int32_t klv_Drive(const char* path, int32_t axis, float value, const char* next) {
  if (!validText(path) || !validNext(next)) return KLV_E_INVALID_ARGUMENT;
  return call(Func::Drive, request().str(path).i32(axis).f32(value).str(nextText(next)));
}

int32_t klv_P2T(const float p[8], float t[11]) { return convert(Func::P2T, p, 8, t, 11); }
int32_t klv_P2J(const float p[8], float j[9]) { return convert(Func::P2J, p, 8, j, 9); }
int32_t klv_J2P(const float j[9], float p[8]) { return convert(Func::J2P, j, 9, p, 8); }
int32_t klv_J2T(const float j[9], float t[11]) { return convert(Func::J2T, j, 9, t, 11); }
int32_t klv_T2P(const float t[11], float p[8]) { return convert(Func::T2P, t, 11, p, 8); }
int32_t klv_T2J(const float t[11], float j[9]) { return convert(Func::T2J, t, 11, j, 9); }
int32_t klv_Dev(const float base[8], const float offset[8], float result[8]) {
  if (!base || !offset || !result) return KLV_E_INVALID_ARGUMENT;
  return call(Func::Dev, request().floats(base, 8).floats(offset, 8),
              [&](Reader& r) { r.floats(result, 8); });
}
int32_t klv_DevH(const float base[7], const float offset[7], float result[7]) {
  if (!base || !offset || !result) return KLV_E_INVALID_ARGUMENT;
  return call(Func::DevH, request().floats(base, 7).floats(offset, 7),
              [&](Reader& r) { r.floats(result, 7); });
}

int32_t klv_get_Speed(float* percent) { return getFloat(Func::get_Speed, percent); }
int32_t klv_put_Speed(float percent) { return putFloat(Func::put_Speed, percent); }
int32_t klv_get_ExtSpeed(float* percent) { return getFloat(Func::get_ExtSpeed, percent); }
int32_t klv_put_ExtSpeed(float percent) { return putFloat(Func::put_ExtSpeed, percent); }
int32_t klv_get_CurTool(int32_t* no) { return getInt(Func::get_CurTool, no); }
int32_t klv_put_CurTool(int32_t no) { return putInt(Func::put_CurTool, no); }
int32_t klv_get_CurWork(int32_t* no) { return getInt(Func::get_CurWork, no); }
int32_t klv_put_CurWork(int32_t no) { return putInt(Func::put_CurWork, no); }
int32_t klv_get_ToolDef(int32_t no, float rec[7]) {
  return getNumberedArray(Func::get_ToolDef, no, rec, 7);
}
int32_t klv_put_ToolDef(int32_t no, const float rec[7]) {
  return putNumberedArray(Func::put_ToolDef, no, rec, 7);
}
int32_t klv_get_WorkDef(int32_t no, float rec[7]) {
  return getNumberedArray(Func::get_WorkDef, no, rec, 7);
}
int32_t klv_put_WorkDef(int32_t no, const float rec[7]) {
  return putNumberedArray(Func::put_WorkDef, no, rec, 7);
}
int32_t klv_get_AreaDef(int32_t no, float rec[14]) {
  return getNumberedArray(Func::get_AreaDef, no, rec, 14);
}
int32_t klv_put_AreaDef(int32_t no, const float rec[14]) {
  return putNumberedArray(Func::put_AreaDef, no, rec, 14);
}

int32_t klv_get_CalData(float a[7]) { return getArray(Func::get_CalData, a, 7); }
int32_t klv_put_CalData(const float a[7]) { return putArray(Func::put_CalData, a, 7); }
int32_t klv_get_LinkParam(float ss[7], float aa[7]) {
  if (!ss || !aa) return KLV_E_INVALID_ARGUMENT;
  return call(Func::get_LinkParam, request(), [&](Reader& r) {
    r.floats(ss, 7);
    r.floats(aa, 7);
  });
}
int32_t klv_put_LinkParam(const float ss[7], const float aa[7]) {
  if (!ss || !aa) return KLV_E_INVALID_ARGUMENT;
  return call(Func::put_LinkParam, request().floats(ss, 7).floats(aa, 7));
}
int32_t klv_Calibrate(const float rot[7], const float len[7]) {
  if (!rot || !len) return KLV_E_INVALID_ARGUMENT;
  return call(Func::Calibrate, request().floats(rot, 7).floats(len, 7));
}

int32_t klv_get_VarI(int32_t no, int32_t* value) {
  if (!value) return KLV_E_INVALID_ARGUMENT;
  return call(Func::get_VarI, request().i32(no), [&](Reader& r) { *value = r.i32(); });
}
int32_t klv_put_VarI(int32_t no, int32_t value) {
  return call(Func::put_VarI, request().i32(no).i32(value));
}
int32_t klv_get_VarF(int32_t no, float* value) {
  if (!value) return KLV_E_INVALID_ARGUMENT;
  return call(Func::get_VarF, request().i32(no), [&](Reader& r) { *value = r.f32(); });
}
int32_t klv_put_VarF(int32_t no, float value) {
  return call(Func::put_VarF, request().i32(no).f32(value));
}
int32_t klv_get_VarD(int32_t no, double* value) {
  if (!value) return KLV_E_INVALID_ARGUMENT;
  return call(Func::get_VarD, request().i32(no), [&](Reader& r) { *value = r.f64(); });
}
int32_t klv_put_VarD(int32_t no, double value) {
  return call(Func::put_VarD, request().i32(no).f64(value));
}
int32_t klv_get_VarS(int32_t no, char* buf, int32_t size) {
  if (!buf || size < 1) return KLV_E_INVALID_ARGUMENT;
  return call(Func::get_VarS, request().i32(no),
              [&](Reader& r) { copyOut(r.strView(), buf, size); });
}
int32_t klv_put_VarS(int32_t no, const char* text) {
  if (!validText(text)) return KLV_E_INVALID_ARGUMENT;
  return call(Func::put_VarS, request().i32(no).str(text));
}
int32_t klv_get_VarIO(int32_t no, int32_t* value) {
  if (!value) return KLV_E_INVALID_ARGUMENT;
  return call(Func::get_VarIO, request().i32(no), [&](Reader& r) { *value = r.i32(); });
}
int32_t klv_put_VarIO(int32_t no, int32_t value) {
  return call(Func::put_VarIO, request().i32(no).i32(value));
}
int32_t klv_get_VarV(int32_t no, float v[3]) { return getNumberedArray(Func::get_VarV, no, v, 3); }
int32_t klv_put_VarV(int32_t no, const float v[3]) {
  return putNumberedArray(Func::put_VarV, no, v, 3);
}
int32_t klv_get_VarP(int32_t no, float p[8]) { return getNumberedArray(Func::get_VarP, no, p, 8); }
int32_t klv_put_VarP(int32_t no, const float p[8]) {
  return putNumberedArray(Func::put_VarP, no, p, 8);
}
int32_t klv_get_VarJ(int32_t no, float j[9]) { return getNumberedArray(Func::get_VarJ, no, j, 9); }
int32_t klv_put_VarJ(int32_t no, const float j[9]) {
  return putNumberedArray(Func::put_VarJ, no, j, 9);
}
int32_t klv_get_VarT(int32_t no, float t[11]) {
  return getNumberedArray(Func::get_VarT, no, t, 11);
}
int32_t klv_put_VarT(int32_t no, const float t[11]) {
  return putNumberedArray(Func::put_VarT, no, t, 11);
}

int32_t klv_StartTask(int32_t task, const char* program) {
  if (!validText(program)) return KLV_E_INVALID_ARGUMENT;
  return call(Func::StartTask, request().i32(task).str(program));
}
int32_t klv_StopTask(int32_t task) { return putInt(Func::StopTask, task); }
int32_t klv_get_TaskState(int32_t task, int32_t* state) {
  if (!state) return KLV_E_INVALID_ARGUMENT;
  return call(Func::get_TaskState, request().i32(task), [&](Reader& r) { *state = r.i32(); });
}

}  // extern "C"
