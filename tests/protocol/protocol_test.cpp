// Framing, payload encoding and the decoder's behaviour on damaged input.
#include "kelvor/protocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <set>

namespace kelvor::proto {
namespace {

Frame makeFrame(uint16_t seq, uint16_t func, std::vector<uint8_t> payload,
                FrameType type = FrameType::kRequest) {
  Frame f;
  f.type = type;
  f.seq = seq;
  f.func = func;
  f.payload = std::move(payload);
  return f;
}

void expectSame(const Frame& a, const Frame& b) {
  EXPECT_EQ(a.type, b.type);
  EXPECT_EQ(a.seq, b.seq);
  EXPECT_EQ(a.func, b.func);
  EXPECT_EQ(a.payload, b.payload);
}

TEST(Crc, MatchesTheCcittFalseCheckValue) {
  const char* text = "123456789";
  EXPECT_EQ(crc16(reinterpret_cast<const uint8_t*>(text), 9), 0x29B1);
  EXPECT_EQ(crc16(nullptr, 0), 0xFFFF);
}

// The definition, one bit at a time.
uint16_t bitwiseCrc16(const uint8_t* data, size_t size, uint16_t crc = 0xFFFF) {
  for (size_t i = 0; i < size; ++i) {
    crc ^= static_cast<uint16_t>(data[i] << 8);
    for (int b = 0; b < 8; ++b) {
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

TEST(Crc, AgreesWithTheBitwiseDefinitionForEveryLengthAndSplit) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data(100);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (size_t size = 0; size <= data.size(); ++size) {
    const uint16_t want = bitwiseCrc16(data.data(), size);
    EXPECT_EQ(crc16(data.data(), size), want) << size;
    const size_t split = size / 3;
    EXPECT_EQ(crc16(data.data() + split, size - split, crc16(data.data(), split)), want) << size;
  }
}

TEST(Frame, LayoutOfAScalarGet) {
  const auto req = encodeFrame(makeFrame(0x1234, 0x0021, {}));
  ASSERT_EQ(req.size(), 11u);
  EXPECT_EQ(req[0], kMarker0);
  EXPECT_EQ(req[1], kMarker1);
  EXPECT_EQ(req[2], 5);  // body length, little-endian
  EXPECT_EQ(req[3], 0);
  EXPECT_EQ(req[4], 1);  // request
  EXPECT_EQ(req[5], 0x34);
  EXPECT_EQ(req[6], 0x12);
  EXPECT_EQ(req[7], 0x21);
  EXPECT_EQ(req[8], 0x00);
  const uint16_t crc = crc16(req.data() + 2, 7);
  EXPECT_EQ(req[9], crc & 0xFF);
  EXPECT_EQ(req[10], crc >> 8);
  const auto rep =
      encodeFrame(makeFrame(0x1234, 0x0021, Writer().i32(0).i32(1).take(), FrameType::kReply));
  EXPECT_EQ(rep.size(), 19u);
}

TEST(Frame, APayloadTooLongForOneFrameIsNotEncoded) {
  EXPECT_EQ(encodeFrame(makeFrame(1, 0x97, std::vector<uint8_t>(kMaxPayload))).size(), kMaxFrame);
  EXPECT_TRUE(encodeFrame(makeFrame(1, 0x97, std::vector<uint8_t>(kMaxPayload + 1))).empty());
}

TEST(Decoder, DecodesFramesFedByteByByte) {
  const Frame a = makeFrame(1, 0x0091, Writer().i32(3).i32(-7).take());
  const Frame b = makeFrame(2, 0x0031, {}, FrameType::kReply);
  auto bytes = encodeFrame(a);
  const auto more = encodeFrame(b);
  bytes.insert(bytes.end(), more.begin(), more.end());
  Decoder d;
  std::vector<Frame> got;
  for (uint8_t byte : bytes) {
    d.feed(&byte, 1);
    while (auto f = d.next()) got.push_back(*f);
  }
  ASSERT_EQ(got.size(), 2u);
  expectSame(got[0], a);
  expectSame(got[1], b);
  EXPECT_EQ(d.buffered(), 0u);
  EXPECT_EQ(d.discardedBytes(), 0u);
}

TEST(Decoder, ConsumesExactlyOneFrameAtATime) {
  const auto a = encodeFrame(makeFrame(1, 0x10, {1, 2, 3}));
  const auto b = encodeFrame(makeFrame(2, 0x11, {4}));
  std::vector<uint8_t> both = a;
  both.insert(both.end(), b.begin(), b.begin() + 3);  // and a partial second frame
  Decoder d;
  d.feed(both.data(), both.size());
  ASSERT_TRUE(d.next().has_value());
  EXPECT_EQ(d.buffered(), 3u);
  EXPECT_FALSE(d.next().has_value());
  d.feed(b.data() + 3, b.size() - 3);
  auto f = d.next();
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->seq, 2);
}

// The forms that reuse their caller's storage give the same bytes and frames as the others.
TEST(Decoder, ReusingFormsMatchTheAllocatingOnes) {
  Frame big;
  big.seq = 9;
  big.func = 0x0090;
  big.payload.assign(300, 0x5A);
  Frame small = big;
  small.payload.assign(4, 0xA5);
  std::vector<uint8_t> wire;
  Decoder d;
  Frame out;
  for (const Frame* f : {&big, &small, &big}) {
    encodeFrame(*f, wire);
    EXPECT_EQ(wire, encodeFrame(*f));
    d.feed(wire.data(), wire.size());
    ASSERT_TRUE(d.next(out));
    EXPECT_EQ(out.seq, f->seq);
    EXPECT_EQ(out.payload, f->payload);
    EXPECT_FALSE(d.next(out));
  }
  const uint8_t* storage = wire.data();
  encodeFrame(small, wire);
  EXPECT_EQ(wire.data(), storage) << "a shorter frame fits the storage it had";

  std::vector<uint8_t> reused = Writer().i32(1).i32(2).i32(3).take();
  const uint8_t* kept = reused.data();
  const std::vector<uint8_t> again = Writer(std::move(reused)).i32(7).take();
  EXPECT_EQ(again, Writer().i32(7).take()) << "what was there is gone";
  EXPECT_EQ(again.data(), kept);
}

TEST(Decoder, ResynchronisesAfterGarbageAndDamage) {
  const Frame good = makeFrame(7, 0x0097, Writer().i32(1).str("ab  ").take());
  const auto bytes = encodeFrame(good);
  // Garbage including lone and doubled marker bytes.
  std::vector<uint8_t> stream = {0x00, 0xA5, 0x13, 0xA5, 0xA5, 0x5A, 0xFF};
  // A frame with a flipped payload bit (bad CRC).
  auto bad = bytes;
  bad[12] ^= 0x04;
  stream.insert(stream.end(), bad.begin(), bad.end());
  // A header claiming an oversized body.
  const uint8_t huge[] = {0xA5, 0x5A, 0xFF, 0xFF, 1, 0, 0};
  stream.insert(stream.end(), std::begin(huge), std::end(huge));
  // A header claiming a body too short to hold type, sequence and function.
  const uint8_t tiny[] = {0xA5, 0x5A, 0x02, 0x00, 1, 0};
  stream.insert(stream.end(), std::begin(tiny), std::end(tiny));
  stream.insert(stream.end(), bytes.begin(), bytes.end());
  Decoder d;
  d.feed(stream.data(), stream.size());
  auto f = d.next();
  ASSERT_TRUE(f.has_value());
  expectSame(*f, good);
  EXPECT_FALSE(d.next().has_value());
  EXPECT_EQ(d.crcErrors(), 1u);
  EXPECT_GT(d.discardedBytes(), 0u);
}

TEST(Decoder, TruncatedFrameWaitsAndResetDropsIt) {
  const auto bytes = encodeFrame(makeFrame(1, 0x20, {9, 9, 9, 9}));
  Decoder d;
  d.feed(bytes.data(), bytes.size() - 1);
  EXPECT_FALSE(d.next().has_value());
  EXPECT_EQ(d.buffered(), bytes.size() - 1);
  d.reset();
  EXPECT_EQ(d.buffered(), 0u);
  d.feed(bytes.data(), bytes.size());
  EXPECT_TRUE(d.next().has_value());
}

TEST(Decoder, LargestFrameIsAccepted) {
  const std::vector<uint8_t> payload(kMaxBody - kMinBody, 0xA5);
  const auto bytes = encodeFrame(makeFrame(1, 0x97, payload));
  EXPECT_EQ(bytes.size(), kMaxFrame);
  Decoder d;
  d.feed(bytes.data(), bytes.size());
  auto f = d.next();
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->payload, payload);
}

// Random frames between random garbage, cut at random points: every frame comes out intact
// and in order, and nothing else does.
TEST(Decoder, FuzzedStreamsYieldAllFramesInOrder) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 200; ++round) {
    std::vector<Frame> sent;
    std::vector<uint8_t> stream;
    const int count = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < count; ++i) {
      std::vector<uint8_t> garbage(rng() % 40);
      for (auto& g : garbage) g = static_cast<uint8_t>(rng() % 4 == 0 ? 0xA5 : rng());
      stream.insert(stream.end(), garbage.begin(), garbage.end());
      std::vector<uint8_t> payload(rng() % 60);
      for (auto& p : payload) p = static_cast<uint8_t>(rng());
      sent.push_back(
          makeFrame(static_cast<uint16_t>(rng()), static_cast<uint16_t>(rng()), payload));
      const auto bytes = encodeFrame(sent.back());
      stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    // Zeros flush any false header that swallowed the tail.
    stream.insert(stream.end(), kMaxFrame, 0);
    Decoder d;
    std::vector<Frame> got;
    size_t pos = 0;
    while (pos < stream.size()) {
      const size_t n = std::min(stream.size() - pos, static_cast<size_t>(1 + rng() % 64));
      d.feed(stream.data() + pos, n);
      pos += n;
      while (auto f = d.next()) got.push_back(*f);
    }
    ASSERT_EQ(got.size(), sent.size()) << "round " << round;
    for (size_t i = 0; i < sent.size(); ++i) expectSame(got[i], sent[i]);
  }
}

TEST(Decoder, PureNoiseNeverYieldsFrames) {
  std::mt19937 rng(99);
  Decoder d;
  size_t frames = 0;
  for (int i = 0; i < 2000; ++i) {
    uint8_t chunk[97];
    for (auto& c : chunk)
      c = static_cast<uint8_t>(rng() % 3 == 0 ? 0xA5 : rng() % 2 ? 0x5A : rng());
    d.feed(chunk, sizeof chunk);
    while (d.next()) ++frames;
  }
  EXPECT_EQ(frames, 0u);
  EXPECT_LE(d.buffered(), kMaxFrame);
}

TEST(Payload, ValuesCrossBitExact) {
  const float floats[] = {-0.0f, std::numeric_limits<float>::denorm_min(),
                          std::numeric_limits<float>::infinity(), 1.0f / 3.0f};
  const double doubles[] = {-0.0, 5e-324, 1.0 / 3.0};
  Writer w;
  for (float f : floats) w.f32(f);
  for (double v : doubles) w.f64(v);
  uint32_t nanBits = 0x7FC01234;
  float nan;
  std::memcpy(&nan, &nanBits, 4);
  w.f32(nan).i32(-2).str("trailing   ").str("");
  Reader r(w.bytes());
  for (float f : floats) {
    const float got = r.f32();
    EXPECT_EQ(std::memcmp(&got, &f, 4), 0);
  }
  for (double v : doubles) {
    const double got = r.f64();
    EXPECT_EQ(std::memcmp(&got, &v, 8), 0);
  }
  const float gotNan = r.f32();
  uint32_t gotBits;
  std::memcpy(&gotBits, &gotNan, 4);
  EXPECT_EQ(gotBits, nanBits);
  EXPECT_EQ(r.i32(), -2);
  EXPECT_EQ(r.str(), "trailing   ");
  EXPECT_EQ(r.str(), "");
  EXPECT_TRUE(r.ok());
  // Little-endian on the wire.
  EXPECT_EQ(Writer().i32(0x01020304).bytes(), (std::vector<uint8_t>{4, 3, 2, 1}));
}

TEST(Payload, ReaderStopsAtTheEnd) {
  const auto bytes = Writer().u16(10).take();  // a string header without its bytes
  Reader r(bytes);
  EXPECT_EQ(r.str(), "");
  EXPECT_TRUE(r.fail());
  EXPECT_EQ(r.i32(), 0);
  EXPECT_FALSE(r.ok());
}

TEST(Payload, StringsLongerThanTheLimitAreRefusedNotCut) {
  const std::string longest(kMaxString, 's');
  Writer fits;
  fits.i32(1).str(longest);
  EXPECT_FALSE(fits.fail());
  EXPECT_EQ(Reader(fits.bytes()).i32(), 1);
  Writer over;
  over.i32(1).str(longest + "!");
  EXPECT_TRUE(over.fail());
  EXPECT_EQ(over.bytes().size(), 4u) << "nothing of the string is written";
  // On the wire, a longer string makes the payload malformed.
  auto bytes = Writer().u16(static_cast<uint16_t>(kMaxString + 1)).take();
  bytes.resize(bytes.size() + kMaxString + 1, 's');
  Reader r(bytes);
  EXPECT_EQ(r.str(), "");
  EXPECT_TRUE(r.fail());
}

TEST(Signatures, MatchAndFormat) {
  const auto ok =
      Writer().i32(3).str("L").floats(std::vector<float>(8, 1.5f).data(), 8).str("").take();
  EXPECT_TRUE(matchesSignature("isPs", ok.data(), ok.size()));
  EXPECT_FALSE(matchesSignature("isP", ok.data(), ok.size()));    // bytes left over
  EXPECT_FALSE(matchesSignature("isPsi", ok.data(), ok.size()));  // too short
  EXPECT_FALSE(matchesSignature("isJs", ok.data(), ok.size()));
  EXPECT_EQ(formatPayload("if", Writer().i32(4).f32(2.5f).bytes().data(), 8), "4, 2.5");
  const auto ints = Writer().i32(INT32_MIN).i32(-1).take();
  EXPECT_EQ(formatPayload("ii", ints.data(), ints.size()), "-2147483648, -1");
  // A string longer than any small-string buffer, with a control character, checked in place.
  const auto text = Writer().str(std::string(300, 'x') + '\x01').take();
  EXPECT_TRUE(matchesSignature("s", text.data(), text.size()));
  EXPECT_EQ(formatPayload("s", text.data(), text.size()), '"' + std::string(300, 'x') + "\\x01\"");
  // Numbers in their shortest exact form: 0.1f is not shown as 0.100000001.
  const auto v = Writer().f32(0.1f).f32(-1e20f).f32(3).take();
  EXPECT_EQ(formatPayload("V", v.data(), v.size()), "[0.1 -1e+20 3]");
  EXPECT_EQ(formatPayload("d", Writer().f64(0.1).bytes().data(), 8), "0.1");
  const auto req =
      makeFrame(12, static_cast<uint16_t>(Func::put_VarI), Writer().i32(3).i32(42).take());
  EXPECT_EQ(describeFrame(req), "request #12 put_VarI(3, 42)");
  const auto rep = makeFrame(12, static_cast<uint16_t>(Func::get_VarS),
                             Writer().i32(0).str("a\"b").take(), FrameType::kReply);
  EXPECT_EQ(describeFrame(rep), "reply   #12 get_VarS -> ok \"a\\\"b\"");
}

TEST(Signatures, ArraysHaveTheirWireLengthsAndDistinctElementNames) {
  const std::vector<std::pair<char, size_t>> lengths = {{'V', 3},  {'H', 7},  {'P', 8}, {'J', 9},
                                                        {'T', 11}, {'A', 14}, {'K', 7}};
  for (const auto& [sig, n] : lengths) {
    EXPECT_EQ(arrayLength(sig), n) << sig;
    const auto names = elementNames(sig);
    EXPECT_EQ(std::set<std::string_view>(names.begin(), names.end()).size(), n) << sig;
  }
  for (char scalar : std::string("ifds")) EXPECT_TRUE(elementNames(scalar).empty()) << scalar;
}

TEST(Functions, TableIsConsistent) {
  std::set<uint16_t> ids;
  std::set<std::string> names;
  const std::string allowed = "ifdsVHPJTAK";
  for (const FuncInfo& f : allFuncs()) {
    EXPECT_TRUE(ids.insert(f.id).second) << f.name;
    EXPECT_TRUE(names.insert(f.name).second) << f.name;
    for (const char* s : {f.request, f.reply}) {
      for (const char* c = s; *c; ++c) EXPECT_NE(allowed.find(*c), std::string::npos) << f.name;
    }
    EXPECT_EQ(findFunc(f.id), &f);
    EXPECT_EQ(findFunc(std::string_view(f.name)), &f);
  }
  EXPECT_EQ(findFunc(uint16_t{0xFFFF}), nullptr);
}

}  // namespace
}  // namespace kelvor::proto
