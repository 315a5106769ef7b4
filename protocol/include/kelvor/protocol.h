// Wire protocol between the client library and the controller: framing, payload encoding
// and the function table. The same frames travel over TCP and serial lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::proto {

inline constexpr uint16_t kProtocolVersion = 1;

inline constexpr uint8_t kMarker0 = 0xA5;
inline constexpr uint8_t kMarker1 = 0x5A;
inline constexpr size_t kHeaderSize = 4;  // marker (2) + body length (2)
inline constexpr size_t kCrcSize = 2;     // CRC-16 after the body
inline constexpr size_t kMinBody = 5;     // type (1) + sequence (2) + function (2)
inline constexpr size_t kMaxBody = 2048;  // largest body a peer accepts
inline constexpr size_t kMaxFrame = kHeaderSize + kMaxBody + kCrcSize;
inline constexpr size_t kMaxPayload = kMaxBody - kMinBody;  // largest payload of one frame
// Longest string the encoding allows, in bytes; the same limit as the C interface's.
inline constexpr size_t kMaxString = 1024;

enum class FrameType : uint8_t {
  kRequest = 1,   // client to controller
  kReply = 2,     // controller to client: result code, then outputs
  kProgress = 3,  // controller to client: request still being processed, restart timeout
};

enum class Func : uint16_t {
#define KLV_FUNC(id, name, req, rep, kind) name = id,
#include "kelvor/functions.def"
#undef KLV_FUNC
};

enum class FuncKind : uint8_t {
  kPlain,   // answers at once; progress frames do not keep it alive
  kMotion,  // moves the arm; each progress frame restarts the client's reply timeout
};

struct FuncInfo {
  uint16_t id;
  const char* name;
  const char* request;  // signature of the request payload
  const char* reply;    // signature of the reply outputs
  FuncKind kind;
};

// The entry for a function id, or nullptr when the id is unknown.
const FuncInfo* findFunc(uint16_t id);
// The entry for a function name ("get_MotorState"), or nullptr.
const FuncInfo* findFunc(std::string_view name);
// All functions, in table order.
const std::vector<FuncInfo>& allFuncs();
// True for the functions that move the arm (kMotion), whose requests progress frames keep
// alive; false for every other id, known or not.
bool movesArm(uint16_t id);

// CRC-16/CCITT-FALSE: polynomial 0x1021, initial value 0xFFFF, no reflection, no final xor.
// Table-driven, eight bytes per step: a receiver checks many candidate frames in garbage.
uint16_t crc16(const uint8_t* data, size_t size, uint16_t crc = 0xFFFF);

struct Frame {
  FrameType type = FrameType::kRequest;
  uint16_t seq = 0;
  uint16_t func = 0;
  std::vector<uint8_t> payload;
};

// Serialises a frame. The payload must not exceed kMaxPayload bytes; a longer one gives an
// empty vector, since no peer would accept it.
std::vector<uint8_t> encodeFrame(const Frame& frame);
// The same into out, whose capacity is reused: a sender that keeps one buffer encodes without
// allocating. False (out empty) when the payload is too long.
bool encodeFrame(FrameType type, uint16_t seq, uint16_t func, const uint8_t* payload, size_t size,
                 std::vector<uint8_t>& out);
// The same for a whole frame.
void encodeFrame(const Frame& frame, std::vector<uint8_t>& out);

// Incremental frame decoder. Bytes are fed as they arrive; next() returns complete frames one
// at a time. Garbage, bodies with an impossible length and frames with a bad CRC are skipped
// byte by byte until the next valid start marker, so the stream resynchronises by itself.
class Decoder {
 public:
  void feed(const uint8_t* data, size_t size);
  // The next complete frame, or nothing when more bytes are needed.
  std::optional<Frame> next();
  // The same into out, reusing the capacity of its payload; false when more bytes are needed.
  bool next(Frame& out);
  // Drops everything buffered (after a flush of the line).
  void reset();

  size_t buffered() const { return buf_.size() - head_; }
  uint64_t discardedBytes() const { return discarded_; }
  uint64_t crcErrors() const { return crcErrors_; }

 private:
  void drop(size_t n);
  std::vector<uint8_t> buf_;
  size_t head_ = 0;
  uint64_t discarded_ = 0;
  uint64_t crcErrors_ = 0;
};

// Little-endian payload writer. Floats and doubles are written as their bit patterns.
class Writer {
 public:
  Writer() = default;
  // Writes into the storage of reuse, emptied first: no allocation while it is large enough.
  explicit Writer(std::vector<uint8_t> reuse) : out_(std::move(reuse)) { out_.clear(); }
  Writer& i32(int32_t v);
  Writer& u16(uint16_t v);
  Writer& f32(float v);
  Writer& f64(double v);
  // A string: uint16 length, then the bytes (no terminator). A string longer than kMaxString
  // is refused, not cut: nothing is written and fail() becomes true.
  Writer& str(std::string_view s);
  Writer& floats(const float* v, size_t n);
  // True once a field was refused; the bytes are then not a valid payload.
  bool fail() const { return fail_; }
  // Empties the payload for the next one, keeping the buffer.
  Writer& clear() {
    out_.clear();
    fail_ = false;
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return out_; }
  std::vector<uint8_t> take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
  bool fail_ = false;
};

// Bounds-checked payload reader. A read past the end sets fail() and yields zero values.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  explicit Reader(const std::vector<uint8_t>& v) : Reader(v.data(), v.size()) {}
  int32_t i32();
  uint16_t u16();
  float f32();
  double f64();
  std::string str();
  // A string as a view into the payload, valid as long as the payload.
  std::string_view strView();
  void floats(float* out, size_t n);
  bool fail() const { return fail_; }
  bool atEnd() const { return p_ == end_; }
  // True when every read succeeded and the payload was consumed completely.
  bool ok() const { return !fail_ && atEnd(); }

 private:
  bool take(void* out, size_t n);
  const uint8_t* p_;
  const uint8_t* end_;
  bool fail_ = false;
};

// Names of the elements of an array signature character (V H P J T A K), in order; empty for
// the scalar characters. This is the one list of element names: programs that show arrays
// take them from here.
std::span<const std::string_view> elementNames(char sig);
// Number of floats of an array signature character, 0 for others.
size_t arrayLength(char sig);
// The largest payload that follows sig: every string at kMaxString bytes.
size_t maxPayloadSize(std::string_view sig);
// True when payload holds exactly the fields of sig.
bool matchesSignature(std::string_view sig, const uint8_t* data, size_t size);
// Readable form of a payload following sig, e.g. "3, 1.5, \"L\"". Malformed input is shown
// as "<malformed>".
std::string formatPayload(std::string_view sig, const uint8_t* data, size_t size);
// Readable one-line description of a frame: "request #12 put_VarI(3, 42)".
std::string describeFrame(const Frame& frame);

}  // namespace kelvor::proto
