#include "kelvor/protocol.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "kelvor.h"

namespace kelvor::proto {

static_assert(kMaxString == KLV_MAX_STRING, "one longest string for the wire and the C interface");

namespace {

const std::vector<FuncInfo> kFuncs = {
#define KLV_FUNC(id, name, req, rep, kind) {id, #name, req, rep, FuncKind::kind},
#include "kelvor/functions.def"
#undef KLV_FUNC
};

// kFuncs' entries by function number: findFunc() looks a number up instead of searching.
const std::vector<const FuncInfo*> kFuncsById = [] {
  std::vector<const FuncInfo*> byId;
  for (const FuncInfo& f : kFuncs) {
    if (f.id >= byId.size()) byId.resize(f.id + 1U, nullptr);
    if (!byId[f.id]) byId[f.id] = &f;
  }
  return byId;
}();

// kCrcTables[k][b]: the CRC register, started at 0, after byte b and then k zero bytes. Eight
// tables let crc16() take eight bytes per step.
using CrcTables = std::array<std::array<uint16_t, 256>, 8>;
constexpr CrcTables makeCrcTables() {
  CrcTables t{};
  for (unsigned b = 0; b < 256; ++b) {
    auto crc = static_cast<uint16_t>(b << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    t[0][b] = crc;
  }
  for (size_t k = 1; k < t.size(); ++k) {
    for (unsigned b = 0; b < 256; ++b) {
      const uint16_t prev = t[k - 1][b];
      t[k][b] = static_cast<uint16_t>((prev << 8) ^ t[0][prev >> 8]);
    }
  }
  return t;
}
constexpr CrcTables kCrcTables = makeCrcTables();

}  // namespace

const std::vector<FuncInfo>& allFuncs() { return kFuncs; }

bool movesArm(uint16_t id) {
  const FuncInfo* f = findFunc(id);
  return f && f->kind == FuncKind::kMotion;
}

const FuncInfo* findFunc(uint16_t id) { return id < kFuncsById.size() ? kFuncsById[id] : nullptr; }

const FuncInfo* findFunc(std::string_view name) {
  for (const FuncInfo& f : kFuncs) {
    if (name == f.name) return &f;
  }
  return nullptr;
}

uint16_t crc16(const uint8_t* data, size_t size, uint16_t crc) {
  const CrcTables& t = kCrcTables;
  for (; size >= 8; data += 8, size -= 8) {
    // The register's two bytes fold into the first two data bytes.
    crc = static_cast<uint16_t>(t[7][(crc >> 8) ^ data[0]] ^ t[6][(crc & 0xFF) ^ data[1]] ^
                                t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^ t[2][data[5]] ^
                                t[1][data[6]] ^ t[0][data[7]]);
  }
  for (; size > 0; ++data, --size) {
    crc = static_cast<uint16_t>((crc << 8) ^ t[0][(crc >> 8) ^ *data]);
  }
  return crc;
}

std::vector<uint8_t> encodeFrame(const Frame& frame) {
  std::vector<uint8_t> out;
  encodeFrame(frame.type, frame.seq, frame.func, frame.payload.data(), frame.payload.size(), out);
  return out;
}

void encodeFrame(const Frame& frame, std::vector<uint8_t>& out) {
  encodeFrame(frame.type, frame.seq, frame.func, frame.payload.data(), frame.payload.size(), out);
}

bool encodeFrame(FrameType type, uint16_t seq, uint16_t func, const uint8_t* payload, size_t size,
                 std::vector<uint8_t>& out) {
  out.clear();
  if (size > kMaxPayload) return false;
  const size_t body = kMinBody + size;
  out.resize(kHeaderSize + body + kCrcSize);
  uint8_t* p = out.data();
  p[0] = kMarker0;
  p[1] = kMarker1;
  p[2] = static_cast<uint8_t>(body & 0xFF);
  p[3] = static_cast<uint8_t>(body >> 8);
  p[4] = static_cast<uint8_t>(type);
  p[5] = static_cast<uint8_t>(seq & 0xFF);
  p[6] = static_cast<uint8_t>(seq >> 8);
  p[7] = static_cast<uint8_t>(func & 0xFF);
  p[8] = static_cast<uint8_t>(func >> 8);
  if (size > 0) std::memcpy(p + kHeaderSize + kMinBody, payload, size);
  const uint16_t crc = crc16(p + 2, 2 + body);
  p[kHeaderSize + body] = static_cast<uint8_t>(crc & 0xFF);
  p[kHeaderSize + body + 1] = static_cast<uint8_t>(crc >> 8);
  return true;
}

// ------------------------------------------------------------------------------------------
// Decoder

void Decoder::feed(const uint8_t* data, size_t size) {
  if (head_ > 0 && head_ >= buf_.size() / 2) {
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }
  buf_.insert(buf_.end(), data, data + size);
}

void Decoder::reset() {
  buf_.clear();
  head_ = 0;
}

void Decoder::drop(size_t n) {
  head_ += n;
  if (head_ == buf_.size()) reset();
}

std::optional<Frame> Decoder::next() {
  Frame f;
  if (!next(f)) return std::nullopt;
  return f;
}

bool Decoder::next(Frame& f) {
  for (;;) {
    // Skip to the next start marker. A lone first marker byte at the end is kept.
    size_t avail = buf_.size() - head_;
    const uint8_t* p = buf_.data() + head_;
    size_t skip = 0;
    while (skip < avail) {
      if (p[skip] == kMarker0 && (skip + 1 == avail || p[skip + 1] == kMarker1)) break;
      ++skip;
    }
    if (skip > 0) {
      discarded_ += skip;
      drop(skip);
      continue;
    }
    if (avail < kHeaderSize) return false;
    const size_t body = static_cast<size_t>(p[2]) | (static_cast<size_t>(p[3]) << 8);
    if (body < kMinBody || body > kMaxBody) {
      discarded_ += 1;
      drop(1);
      continue;
    }
    const size_t total = kHeaderSize + body + kCrcSize;
    if (avail < total) return false;
    const uint16_t want = crc16(p + 2, 2 + body);
    const uint16_t got = static_cast<uint16_t>(p[total - 2] | (p[total - 1] << 8));
    if (want != got) {
      ++crcErrors_;
      discarded_ += 1;
      drop(1);
      continue;
    }
    f.type = static_cast<FrameType>(p[4]);
    f.seq = static_cast<uint16_t>(p[5] | (p[6] << 8));
    f.func = static_cast<uint16_t>(p[7] | (p[8] << 8));
    f.payload.assign(p + kHeaderSize + kMinBody, p + kHeaderSize + body);
    drop(total);
    return true;
  }
}

// ------------------------------------------------------------------------------------------
// Writer / Reader

Writer& Writer::u16(uint16_t v) {
  out_.push_back(static_cast<uint8_t>(v & 0xFF));
  out_.push_back(static_cast<uint8_t>(v >> 8));
  return *this;
}

Writer& Writer::i32(int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(u >> (8 * i)));
  return *this;
}

Writer& Writer::f32(float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  return i32(static_cast<int32_t>(u));
}

Writer& Writer::f64(double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  for (int i = 0; i < 8; ++i) out_.push_back(static_cast<uint8_t>(u >> (8 * i)));
  return *this;
}

Writer& Writer::str(std::string_view s) {
  if (s.size() > kMaxString) {
    fail_ = true;
    return *this;
  }
  u16(static_cast<uint16_t>(s.size()));
  out_.insert(out_.end(), s.begin(), s.end());
  return *this;
}

Writer& Writer::floats(const float* v, size_t n) {
  for (size_t i = 0; i < n; ++i) f32(v[i]);
  return *this;
}

bool Reader::take(void* out, size_t n) {
  if (fail_ || static_cast<size_t>(end_ - p_) < n) {
    fail_ = true;
    std::memset(out, 0, n);
    return false;
  }
  std::memcpy(out, p_, n);
  p_ += n;
  return true;
}

uint16_t Reader::u16() {
  uint8_t b[2];
  take(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

int32_t Reader::i32() {
  uint8_t b[4];
  take(b, 4);
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(b[i]) << (8 * i);
  return static_cast<int32_t>(u);
}

float Reader::f32() {
  const auto u = static_cast<uint32_t>(i32());
  float v;
  std::memcpy(&v, &u, 4);
  return v;
}

double Reader::f64() {
  uint8_t b[8];
  take(b, 8);
  uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= static_cast<uint64_t>(b[i]) << (8 * i);
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

std::string Reader::str() { return std::string(strView()); }

std::string_view Reader::strView() {
  const uint16_t n = u16();
  if (fail_ || n > kMaxString || static_cast<size_t>(end_ - p_) < n) {
    fail_ = true;
    return {};
  }
  const std::string_view s(reinterpret_cast<const char*>(p_), n);
  p_ += n;
  return s;
}

void Reader::floats(float* out, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = f32();
}

// ------------------------------------------------------------------------------------------
// Signatures

std::span<const std::string_view> elementNames(char sig) {
  static constexpr std::string_view kV[] = {"X", "Y", "Z"};
  static constexpr std::string_view kH[] = {"X", "Y", "Z", "RX", "RY", "RZ", "Spare"};
  static constexpr std::string_view kP[] = {"X", "Y", "Z", "Rx", "Ry", "Rz", "Fig", "Spare"};
  static constexpr std::string_view kJ[] = {"J1", "J2", "J3", "J4", "J5", "J6", "J7", "J8", "J9"};
  static constexpr std::string_view kT[] = {"X",  "Y",  "Z",  "Ox",  "Oy",   "Oz",
                                            "Ax", "Ay", "Az", "Fig", "Spare"};
  static constexpr std::string_view kA[] = {"X",  "Y",  "Z",   "RX",  "RY",  "RZ",     "Dx",
                                            "Dy", "Dz", "I/O", "Pos", "Err", "Enable", "Spare"};
  static constexpr std::string_view kK[] = {"J1", "J2", "J3", "J4", "J5", "J6", "Spare"};
  switch (sig) {
    case 'V':
      return kV;
    case 'H':
      return kH;
    case 'P':
      return kP;
    case 'J':
      return kJ;
    case 'T':
      return kT;
    case 'A':
      return kA;
    case 'K':
      return kK;
    default:
      return {};
  }
}

size_t arrayLength(char sig) { return elementNames(sig).size(); }

namespace {

// The shortest text that reads back as v, with a point whatever the process's locale (the
// library runs inside programs that set one).
template <class F>
void appendNumber(std::string& text, F v) {
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  text.append(buf, ec == std::errc() ? end : buf);
}

// Walks a payload along sig; appends a readable form to text when given. Without text it only
// checks the payload, which every request and reply goes through: it formats and copies
// nothing then.
bool walk(std::string_view sig, const uint8_t* data, size_t size, std::string* text) {
  Reader r(data, size);
  char tmp[64];
  bool first = true;
  auto sep = [&] {
    if (text && !first) *text += ", ";
    first = false;
  };
  for (char c : sig) {
    sep();
    switch (c) {
      case 'i': {
        const int32_t v = r.i32();
        if (text) appendNumber(*text, v);
        break;
      }
      case 'f': {
        const float v = r.f32();
        if (text) appendNumber(*text, v);
        break;
      }
      case 'd': {
        const double v = r.f64();
        if (text) appendNumber(*text, v);
        break;
      }
      case 's': {
        const std::string_view v = r.strView();
        if (text) {
          *text += '"';
          for (char ch : v) {
            if (ch == '"' || ch == '\\') {
              *text += '\\';
              *text += ch;
            } else if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
              std::snprintf(tmp, sizeof tmp, "\\x%02X", static_cast<unsigned char>(ch));
              *text += tmp;
            } else {
              *text += ch;
            }
          }
          *text += '"';
        }
        break;
      }
      default: {
        const size_t n = arrayLength(c);
        if (n == 0) return false;
        if (text) *text += '[';
        for (size_t i = 0; i < n; ++i) {
          const float v = r.f32();
          if (text) {
            if (i) *text += ' ';
            appendNumber(*text, v);
          }
        }
        if (text) *text += ']';
        break;
      }
    }
    if (r.fail()) return false;
  }
  return r.ok();
}

}  // namespace

size_t maxPayloadSize(std::string_view sig) {
  size_t size = 0;
  for (char c : sig) {
    switch (c) {
      case 'i':
      case 'f':
        size += 4;
        break;
      case 'd':
        size += 8;
        break;
      case 's':
        size += 2 + kMaxString;
        break;
      default:
        size += 4 * arrayLength(c);
        break;
    }
  }
  return size;
}

bool matchesSignature(std::string_view sig, const uint8_t* data, size_t size) {
  return walk(sig, data, size, nullptr);
}

std::string formatPayload(std::string_view sig, const uint8_t* data, size_t size) {
  std::string text;
  if (!walk(sig, data, size, &text)) return "<malformed>";
  return text;
}

std::string describeFrame(const Frame& frame) {
  const FuncInfo* info = findFunc(frame.func);
  char head[64];
  std::string name;
  if (info) {
    name = info->name;
  } else {
    std::snprintf(head, sizeof head, "func_0x%04X", frame.func);
    name = head;
  }
  std::string out;
  switch (frame.type) {
    case FrameType::kRequest:
      std::snprintf(head, sizeof head, "request #%u ", frame.seq);
      out = head + name + "(";
      out += info ? formatPayload(info->request, frame.payload.data(), frame.payload.size()) : "?";
      out += ")";
      break;
    case FrameType::kReply: {
      std::snprintf(head, sizeof head, "reply   #%u ", frame.seq);
      out = head + name;
      Reader r(frame.payload);
      const int32_t code = r.i32();
      if (r.fail()) return out + " <malformed>";
      if (code != 0) {
        std::snprintf(head, sizeof head, " -> error 0x%X", static_cast<uint32_t>(code));
        return out + head;
      }
      const size_t rest = frame.payload.size() - 4;
      out += " -> ok";
      if (info && info->reply[0] != '\0') {
        out += ' ';
        out += formatPayload(info->reply, frame.payload.data() + 4, rest);
      }
      break;
    }
    case FrameType::kProgress:
      std::snprintf(head, sizeof head, "progress #%u ", frame.seq);
      out = head + name;
      break;
    default:
      std::snprintf(head, sizeof head, "frame type %u #%u ", static_cast<unsigned>(frame.type),
                    frame.seq);
      out = head + name;
      break;
  }
  return out;
}

}  // namespace kelvor::proto
