// Faulty and hostile controllers: whatever the peer sends, a call ends within its timeout and
// reports only what it can vouch for.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "scripted_controller.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The timeout of the connections below, and generous room for a loaded machine on top of
// it: a call that honours its deadline ends long before.
constexpr milliseconds kTimeout{300};
constexpr milliseconds kSlack{600};

template <class F>
milliseconds timed(F&& f) {
  const auto start = Clock::now();
  f();
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

std::vector<uint8_t> ok() { return proto::Writer().i32(KLV_OK).take(); }
std::vector<uint8_t> okInt(int32_t v) { return proto::Writer().i32(KLV_OK).i32(v).take(); }

class Hostile : public ::testing::Test {
 protected:
  void TearDown() override { klv_Disconnect(); }

  // f's result; f must end within the timeout.
  template <class F>
  static int32_t resultWithinTheTimeout(F&& f) {
    int32_t rc = KLV_OK;
    EXPECT_LT(timed([&] { rc = f(); }), kTimeout + kSlack);
    return rc;
  }
  static int32_t getMotorState() {
    int32_t v = 0;
    return klv_get_MotorState(&v);
  }
};

TEST_F(Hostile, ProgressFramesNeitherStretchTheHandshakeNorAnOrdinaryCall) {
  {
    ScriptedController peer({}, [](const proto::Frame& req, Link& link) {
      link.progressFor(req, milliseconds(3000));
      answerHello(req, link);
    });
    int32_t rc = KLV_OK;
    const auto took = timed([&] { rc = connect(peer.eth(), kTimeout.count()); });
    EXPECT_EQ(rc, KLV_E_TIMEOUT);
    EXPECT_LT(took, kTimeout + kSlack);
  }
  ScriptedController peer([](const proto::Frame& req, Link& link) {
    link.progressFor(req, milliseconds(3000));
    link.reply(req, okInt(1));
  });
  ASSERT_EQ(connect(peer.eth(), kTimeout.count()), KLV_OK);
  EXPECT_EQ(resultWithinTheTimeout(getMotorState), KLV_E_TIMEOUT);
}

TEST_F(Hostile, MotionsLiveOnTheirOwnProgressFramesOnly) {
  ScriptedController peer([](const proto::Frame& req, Link& link) {
    if (req.func == static_cast<uint16_t>(proto::Func::Depart)) {
      // Progress for another request is no sign of life for this one.
      link.sendEvery(Link::strayFrameFor(req, proto::FrameType::kProgress), milliseconds(3000),
                     milliseconds(5));
    } else {
      link.progressFor(req, milliseconds(900), milliseconds(50));
    }
    link.reply(req, ok());
  });
  ASSERT_EQ(connect(peer.eth(), kTimeout.count()), KLV_OK);
  const float j[9] = {};
  EXPECT_EQ(klv_DriveA("@0", j, nullptr), KLV_OK) << "900 ms, kept alive every 50 ms";
  EXPECT_EQ(resultWithinTheTimeout([] { return klv_Depart(1, "@0", 10.0f, nullptr); }),
            KLV_E_TIMEOUT);
}

TEST_F(Hostile, DataThatKeepsComingDoesNotHoldACall) {
  // For 3 s, replies to some other request as fast as the client takes them, then the reply.
  ScriptedController peer([](const proto::Frame& req, Link& link) {
    const auto stray =
        proto::encodeFrame(Link::strayFrameFor(req, proto::FrameType::kReply, okInt(2)));
    std::vector<uint8_t> chunk;
    for (int i = 0; i < 100; ++i) chunk.insert(chunk.end(), stray.begin(), stray.end());
    link.streamFor(chunk, milliseconds(3000));
    link.reply(req, okInt(1));
  });
  ASSERT_EQ(connect(peer.eth(), kTimeout.count()), KLV_OK);
  EXPECT_EQ(resultWithinTheTimeout(getMotorState), KLV_E_TIMEOUT);
}

TEST_F(Hostile, AFloodOfGarbageEndsTheCallWithAProtocolError) {
  // 1 MiB of the resynchronisation worst case at once, then the reply. The call gives up after
  // 64 KiB, long before its (here generous) timeout, however slow the machine.
  ScriptedController peer([](const proto::Frame& req, Link& link) {
    link.send(resyncWorstCase(256 * 1024));
    link.reply(req, okInt(1));
  });
  ASSERT_EQ(connect(peer.eth(), 10000), KLV_OK);
  EXPECT_EQ(getMotorState(), KLV_E_PROTOCOL);
}

TEST_F(Hostile, AReplyBehindSomeGarbageIsStillFound) {
  ScriptedController peer([](const proto::Frame& req, Link& link) {
    link.send(resyncWorstCase(2048));  // 8 KiB
    // A frame's worth of zeros completes the false headers at the end, which would otherwise
    // wait for the bytes they claim and swallow the reply.
    link.send(std::vector<uint8_t>(proto::kMaxFrame, 0));
    link.reply(req, okInt(7));
  });
  ASSERT_EQ(connect(peer.eth(), 1000), KLV_OK);
  int32_t v = 0;
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
  EXPECT_EQ(v, 7);
}

TEST_F(Hostile, ARequestTooLongForOneFrameFailsBeforeAnythingIsSent) {
  const std::string path(KLV_MAX_STRING, 'p');
  const float t[11] = {};
  // Not connected: the arguments are checked first.
  EXPECT_EQ(klv_Depart(1, path.c_str(), 1.0f, std::string(1008, 'n').c_str()),
            KLV_E_INVALID_ARGUMENT);
  ScriptedController peer([](const proto::Frame& req, Link& link) { link.reply(req, ok()); });
  ASSERT_EQ(connect(peer.eth(), kTimeout.count()), KLV_OK);
  EXPECT_EQ(klv_Depart(1, path.c_str(), 1.0f, std::string(1008, 'n').c_str()),
            KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_ApproachT(1, t, path.c_str(), 1.0f, path.c_str()), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(peer.requests(), 0);
  // One byte less fills the frame exactly and goes out.
  EXPECT_EQ(klv_Depart(1, path.c_str(), 1.0f, std::string(1007, 'n').c_str()), KLV_OK);
  EXPECT_EQ(klv_ApproachT(1, t, path.c_str(), 1.0f, std::string(1987 - 1024, 'n').c_str()), KLV_OK);
  EXPECT_EQ(klv_ApproachT(1, t, path.c_str(), 1.0f, std::string(1988 - 1024, 'n').c_str()),
            KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(peer.requests(), 2);
}

TEST_F(Hostile, LibraryCodesFromTheWireAreProtocolErrors) {
  // What the controller sends, what the caller gets.
  const std::pair<uint32_t, int32_t> cases[] = {
      {0x80000007u, KLV_E_PROTOCOL}, {0x80000001u, KLV_E_PROTOCOL}, {0x8000FFFFu, KLV_E_PROTOCOL},
      {0x80010000u, KLV_E_PROTOCOL}, {0xFFFFFFFFu, KLV_E_PROTOCOL}, {0x7FFFFFFFu, 0x7FFFFFFF},
      {0x1001u, KLV_C_MOTOR_OFF},
  };
  size_t next = 0;
  ScriptedController peer([&](const proto::Frame& req, Link& link) {
    link.reply(req, proto::Writer().i32(static_cast<int32_t>(cases[next++].first)).take());
  });
  ASSERT_EQ(connect(peer.eth(), 1000), KLV_OK);
  for (const auto& [sent, reported] : cases) {
    int32_t v = 0;
    EXPECT_EQ(klv_get_MotorState(&v), reported) << std::hex << sent;
  }
}

TEST_F(Hostile, AReplyStringLongerThanTheLimitIsAProtocolError) {
  ScriptedController peer([](const proto::Frame& req, Link& link) {
    // The string's length is the request's variable number.
    const int32_t n = proto::Reader(req.payload).i32();
    auto payload = proto::Writer().i32(KLV_OK).u16(static_cast<uint16_t>(n)).take();
    payload.insert(payload.end(), static_cast<size_t>(n), 's');
    link.reply(req, payload);
  });
  ASSERT_EQ(connect(peer.eth(), 1000), KLV_OK);
  std::vector<char> buf(KLV_MAX_STRING + 2, '#');
  ASSERT_EQ(klv_get_VarS(KLV_MAX_STRING, buf.data(), static_cast<int32_t>(buf.size())), KLV_OK);
  EXPECT_EQ(std::string(buf.data()), std::string(KLV_MAX_STRING, 's'));
  EXPECT_EQ(klv_get_VarS(KLV_MAX_STRING + 1, buf.data(), static_cast<int32_t>(buf.size())),
            KLV_E_PROTOCOL);
}

}  // namespace
}  // namespace kelvor::test
