// The simulator as a process: raw protocol clients, persistence, tracing, the pty link.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "sim_process.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

using proto::Frame;
using proto::FrameType;
using proto::Func;
using proto::Reader;
using proto::Writer;

// A minimal protocol client on a raw socket, to send what the library never would.
class RawClient {
 public:
  explicit RawClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      throw std::runtime_error("connect");
    }
  }
  ~RawClient() { ::close(fd_); }

  void sendBytes(const std::vector<uint8_t>& b) {
    ASSERT_EQ(::send(fd_, b.data(), b.size(), MSG_NOSIGNAL), static_cast<ssize_t>(b.size()));
  }
  void sendRequest(uint16_t seq, Func f, std::vector<uint8_t> payload) {
    Frame fr;
    fr.seq = seq;
    fr.func = static_cast<uint16_t>(f);
    fr.payload = std::move(payload);
    sendBytes(proto::encodeFrame(fr));
  }
  // The next reply frame; fails the test after 5 s.
  Frame reply() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
      if (auto f = dec_.next()) {
        if (f->type == FrameType::kReply) return *f;
        continue;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) throw std::runtime_error("no reply");
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      uint8_t buf[512];
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) throw std::runtime_error("closed");
      dec_.feed(buf, static_cast<size_t>(n));
    }
  }
  int32_t call(uint16_t seq, Func f, std::vector<uint8_t> payload, Frame* out = nullptr) {
    sendRequest(seq, f, std::move(payload));
    Frame r = reply();
    EXPECT_EQ(r.seq, seq);
    if (out) *out = r;
    Reader rd(r.payload);
    return rd.i32();
  }

 private:
  int fd_ = -1;
  proto::Decoder dec_;
};

TEST(SimProtocol, AnswersAfterGarbageAndRejectsBadRequests) {
  SimProcess sim;
  RawClient c(sim.port());
  c.sendBytes({0x00, 0xA5, 0x42, 0xA5, 0x5A, 0xFF, 0xFF, 0x13});
  Frame r;
  EXPECT_EQ(c.call(5, Func::get_MotorState, {}, &r), KLV_OK);
  EXPECT_EQ(r.func, static_cast<uint16_t>(Func::get_MotorState));
  EXPECT_EQ(r.payload.size(), 8u);

  Frame unknown;
  unknown.seq = 6;
  unknown.func = 0x7777;
  c.sendBytes(proto::encodeFrame(unknown));
  r = c.reply();
  EXPECT_EQ(Reader(r.payload).i32(), KLV_C_UNKNOWN_FUNCTION);
  // put_VarI needs two int32s.
  EXPECT_EQ(c.call(7, Func::put_VarI, Writer().i32(1).take()), KLV_C_BAD_REQUEST);
  EXPECT_EQ(c.call(8, Func::get_VarI, Writer().i32(1).i32(2).take()), KLV_C_BAD_REQUEST);
}

TEST(SimProtocol, ClientsShareOneController) {
  SimProcess sim;
  RawClient a(sim.port());
  RawClient b(sim.port());
  EXPECT_EQ(a.call(1, Func::put_VarI, Writer().i32(10).i32(4711).take()), KLV_OK);
  Frame r;
  EXPECT_EQ(b.call(1, Func::get_VarI, Writer().i32(10).take(), &r), KLV_OK);
  Reader rd(r.payload);
  rd.i32();
  EXPECT_EQ(rd.i32(), 4711);
  // One client's refused request latches the error the other one sees.
  EXPECT_EQ(a.call(2, Func::put_Speed, Writer().f32(200.0f).take()), KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(b.call(2, Func::get_ErrorCode, {}, &r), KLV_OK);
  Reader rd2(r.payload);
  rd2.i32();
  EXPECT_EQ(rd2.i32(), KLV_C_VALUE_OUT_OF_RANGE);
}

TEST(SimProtocol, HandshakeNamesVersionAndIdentity) {
  SimProcess sim({"--robot-type", "RT9", "--serial-no", "S77"});
  RawClient c(sim.port());
  Frame r;
  EXPECT_EQ(c.call(1, Func::Hello, Writer().i32(1).str("test").take(), &r), KLV_OK);
  Reader rd(r.payload);
  rd.i32();
  EXPECT_EQ(rd.i32(), proto::kProtocolVersion);
  const std::string id = rd.str();
  EXPECT_NE(id.find("RT9"), std::string::npos);
  EXPECT_NE(id.find("S77"), std::string::npos);
}

std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "kelvor-" + std::to_string(::getpid()) + "-" + name;
}

TEST(SimState, AcknowledgedValuesSurviveKill9) {
  const std::string file = tempPath("state");
  ::unlink(file.c_str());
  const float tool[7] = {1.5f, -2, 3, 4, 5, 6, 7};
  const float p[8] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};
  const float cal[7] = {9, 8, 7, 6, 5, 4, 3};
  {
    SimProcess sim({"--state", file});
    ASSERT_EQ(connect(sim.eth()), KLV_OK);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(klv_put_VarI(i, i * 3 + 1), KLV_OK);
    ASSERT_EQ(klv_put_VarD(999, 1.0 / 7.0), KLV_OK);
    ASSERT_EQ(klv_put_VarS(0, " padded  "), KLV_OK);
    ASSERT_EQ(klv_put_VarIO(17, 1), KLV_OK);
    ASSERT_EQ(klv_put_VarP(3, p), KLV_OK);
    ASSERT_EQ(klv_put_ToolDef(2, tool), KLV_OK);
    ASSERT_EQ(klv_put_CalData(cal), KLV_OK);
    sim.stop(SIGKILL);
    EXPECT_EQ(klv_Disconnect(), KLV_OK);
  }
  SimProcess sim({"--state", file});
  ASSERT_EQ(connect(sim.eth()), KLV_OK);
  for (int i = 0; i < 50; ++i) {
    int32_t v = 0;
    ASSERT_EQ(klv_get_VarI(i, &v), KLV_OK);
    EXPECT_EQ(v, i * 3 + 1);
  }
  double d = 0;
  ASSERT_EQ(klv_get_VarD(999, &d), KLV_OK);
  EXPECT_TRUE(sameBits(d, 1.0 / 7.0));
  char buf[32];
  ASSERT_EQ(klv_get_VarS(0, buf, sizeof buf), KLV_OK);
  EXPECT_STREQ(buf, " padded  ");
  int32_t io = 0;
  ASSERT_EQ(klv_get_VarIO(17, &io), KLV_OK);
  EXPECT_EQ(io, 1);
  float out[8];
  ASSERT_EQ(klv_get_VarP(3, out), KLV_OK);
  EXPECT_EQ(std::memcmp(out, p, sizeof p), 0);
  ASSERT_EQ(klv_get_ToolDef(2, out), KLV_OK);
  EXPECT_EQ(std::memcmp(out, tool, sizeof tool), 0);
  ASSERT_EQ(klv_get_CalData(out), KLV_OK);
  EXPECT_EQ(std::memcmp(out, cal, sizeof cal), 0);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
  ::unlink(file.c_str());
}

TEST(SimState, DamagedFileIsRefusedAtStart) {
  const std::string file = tempPath("damaged");
  {
    std::ofstream os(file);
    os << "kelvor-sim-state 1\nI 3 0000002a\n";  // no end line
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl(KELVOR_SIM_PATH, KELVOR_SIM_PATH, "--listen", "127.0.0.1:0", "--state", file.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  ::unlink(file.c_str());
}

TEST(SimOptions, TraceShowsRequestsAndReplies) {
  const std::string log = tempPath("trace");
  {
    SimProcess sim({"--trace"}, log);
    ASSERT_EQ(connect(sim.eth()), KLV_OK);
    ASSERT_EQ(klv_put_VarI(3, 42), KLV_OK);
    ASSERT_EQ(klv_put_VarS(1, "x y"), KLV_OK);
    EXPECT_EQ(klv_Disconnect(), KLV_OK);
  }
  std::ifstream in(log);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  EXPECT_NE(text.find("put_VarI(3, 42)"), std::string::npos) << text;
  EXPECT_NE(text.find("put_VarS(1, \"x y\")"), std::string::npos) << text;
  EXPECT_NE(text.find("put_VarI -> ok"), std::string::npos) << text;
  ::unlink(log.c_str());
}

TEST(SimOptions, BadOptionsAreRefusedAndHelpExplains) {
  auto exitCode = [](std::vector<std::string> args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      args.insert(args.begin(), KELVOR_SIM_PATH);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(exitCode({"--help"}), 0);
  EXPECT_NE(exitCode({"--fail", "no_such_function=1"}), 0);
  EXPECT_NE(exitCode({"--fail", "get_MotorState=1:sometimes"}), 0);
  EXPECT_NE(exitCode({"--delay", "get_MotorState"}), 0);
  EXPECT_NE(exitCode({"--listen", "127.0.0.1"}), 0);
}

TEST(SimPty, LinkPointsAtThePtyAndIsRemovedOnSigterm) {
  const std::string link = tempPath("pty-link");
  SimProcess sim({"--pty", link});
  const std::string line = sim.readLineContaining("pty ");
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(line, std::string("kelvor-sim: pty ") + target + " at " + link);
  const int status = sim.stop(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  struct stat st;
  EXPECT_NE(::lstat(link.c_str(), &st), 0);
}

}  // namespace
}  // namespace kelvor::test
