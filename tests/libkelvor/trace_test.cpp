// The call trace: its lines for a few calls checked exactly, frames in hexadecimal, bytes
// that form no frame, many threads, and trace targets that cannot be written.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "german_locale.h"
#include "kelvor/protocol.h"
#include "loopback.h"
#include "run_process.h"
#include "sim_process.h"

#ifndef TRACE_CHILD_PATH
#error "TRACE_CHILD_PATH must name the trace_child program"
#endif

namespace kelvor::test {
namespace {

struct Line {
  std::string pid;
  std::string tid;
  std::string body;  // after the thread, without the duration of a call line
  bool call = false;
};

// Reads a trace file; every line must have the documented form.
std::vector<Line> readTrace(const std::string& path) {
  static const std::regex form(
      R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}[+-]\d\d:\d\d (\d+)/(\d+) (.*?)( \(\d+\.\d{3} ms\))?$)");
  std::ifstream in(path);
  std::vector<Line> lines;
  std::string text;
  while (std::getline(in, text)) {
    std::smatch m;
    if (!std::regex_match(text, m, form)) {
      ADD_FAILURE() << "not a trace line: " << text;
      continue;
    }
    lines.push_back({m[1], m[2], m[3], m[4].matched});
  }
  return lines;
}

std::vector<std::string> callBodies(const std::vector<Line>& lines) {
  std::vector<std::string> out;
  for (const Line& l : lines) {
    if (l.call) out.push_back(l.body);
  }
  return out;
}

class Trace : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "kelvor_trace_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    std::remove(path_.c_str());
  }
  ProcessResult child(std::vector<std::string> args, std::vector<std::string> env) {
    args.insert(args.begin(), TRACE_CHILD_PATH);
    return runProcess(args, env);
  }
  std::string path_;
};

TEST_F(Trace, OneLinePerCallWithArgumentsResultAndOutputsInAnyLocale) {
  SimProcess sim;
  std::vector<std::string> env = {"KELVOR_TRACE=" + path_, "KELVOR_TRACE_FRAMES"};
  const std::string locales = germanLocaleDir();
  if (!locales.empty()) {  // the program runs in a German locale: decimal commas
    env.insert(env.end(), {"LOCPATH=" + locales, "LC_ALL=de_DE.UTF-8"});
  }
  const ProcessResult r = child({"calls", sim.eth()}, env);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");

  const auto lines = readTrace(path_);
  const std::vector<std::string> want = {
      "klv_Connect(\"" + sim.eth() + "\", 1000, 0) -> ok",
      "klv_put_VarI(3, 42) -> ok",
      "klv_get_VarI(3) -> ok 42",
      "klv_put_VarF(4, 1.5) -> ok",
      "klv_get_VarF(4) -> ok 1.5",
      "klv_put_VarS(5, \"a b\\x0A\") -> ok",
      "klv_get_VarS(5) -> ok \"a b\\x0A\"",
      "klv_put_VarP(6, [1 2.5 3 0 0 0 5 0]) -> ok",
      "klv_get_VarP(6) -> ok [1 2.5 3 0 0 0 5 0]",
      "klv_put_MotorState(7) -> 0x1003 Value out of range",
      "klv_put_LinkParam([350 0 0 350 0 80 0], [50 300 50 0 0 0 0]) -> ok",
      "klv_get_LinkParam() -> ok [350 0 0 350 0 80 0], [50 300 50 0 0 0 0]",
      "klv_Disconnect() -> ok",
      "klv_get_MotorState() -> 0x80000001 Not connected to a controller",
  };
  EXPECT_EQ(callBodies(lines), want);
  EXPECT_EQ(lines.size(), want.size());                 // no frames without KELVOR_TRACE_FRAMES
  for (const Line& l : lines) EXPECT_EQ(l.pid, l.tid);  // one thread: the main one

  // The file is appended to, never truncated: a second run adds its lines.
  ASSERT_EQ(child({"calls", sim.eth()}, env).exitCode, 0);
  EXPECT_EQ(readTrace(path_).size(), 2 * want.size());
}

TEST_F(Trace, FramesInHexadecimalBeforeTheirCall) {
  SimProcess sim;
  const ProcessResult r =
      child({"calls", sim.eth()}, {"KELVOR_TRACE=" + path_, "KELVOR_TRACE_FRAMES=1"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const auto lines = readTrace(path_);
  // The handshake (sequence 1), then put_VarI(3, 42) as sequence 2.
  ASSERT_GE(lines.size(), 6u);
  EXPECT_TRUE(lines[0].body.starts_with("send A5 5A 14 00 01 01 00 01 00 ")) << lines[0].body;
  EXPECT_TRUE(lines[1].body.starts_with("recv A5 5A ")) << lines[1].body;
  EXPECT_TRUE(lines[2].body.starts_with("klv_Connect(")) << lines[2].body;
  EXPECT_EQ(lines[3].body, "send A5 5A 0D 00 01 02 00 91 00 03 00 00 00 2A 00 00 00 36 97");
  EXPECT_EQ(lines[4].body, "recv A5 5A 09 00 02 02 00 91 00 00 00 00 00 0D 6C");
  EXPECT_EQ(lines[5].body, "klv_put_VarI(3, 42) -> ok");
  // Every call that reached the controller has one send and one receive before its line;
  // the call after the disconnect sends nothing.
  size_t sends = 0, recvs = 0;
  for (const Line& l : lines) {
    sends += l.body.starts_with("send ");
    recvs += l.body.starts_with("recv ");
  }
  EXPECT_EQ(sends, 12u);
  EXPECT_EQ(recvs, 12u);
  EXPECT_EQ(callBodies(lines).size(), 14u);
}

// A controller that answers the handshake, and answers every other request with bytes that
// form no frame (noise, then a frame with a damaged CRC) before the real reply.
class NoisyController {
 public:
  NoisyController() {
    listener_ = listenOnLoopback(port_, 1);
    thread_ = std::thread([this] { serve(); });
  }
  ~NoisyController() {
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
  }
  std::string eth() const { return "eth:127.0.0.1:" + std::to_string(port_); }
  static constexpr size_t kNoise = 3;

 private:
  void serve() {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    proto::Decoder decoder;
    uint8_t buf[512];
    for (;;) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) break;
      decoder.feed(buf, static_cast<size_t>(n));
      while (auto req = decoder.next()) {
        proto::Frame rep = *req;
        rep.type = proto::FrameType::kReply;
        std::vector<uint8_t> out;
        if (req->func == static_cast<uint16_t>(proto::Func::Hello)) {
          rep.payload = proto::Writer().i32(0).i32(proto::kProtocolVersion).str("noisy").take();
        } else {
          // put_VarI and get_VarI, the calls of "threads 1 1": success and, for get, 0.
          proto::Writer w;
          w.i32(0);
          if (req->func == static_cast<uint16_t>(proto::Func::get_VarI)) w.i32(0);
          rep.payload = w.take();
          out = {0x01, 0x02, 0x03};  // kNoise bytes
          std::vector<uint8_t> damaged = proto::encodeFrame(rep);
          damaged.back() ^= 0xFF;
          out.insert(out.end(), damaged.begin(), damaged.end());
        }
        const auto good = proto::encodeFrame(rep);
        out.insert(out.end(), good.begin(), good.end());
        if (::write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) break;
      }
    }
    ::close(fd);
  }
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

TEST_F(Trace, BytesThatFormNoFrameAreCountedBeforeTheFrameThatFollows) {
  NoisyController noisy;
  const ProcessResult r = runProcess({TRACE_CHILD_PATH, "threads", noisy.eth(), "1", "1"},
                                     {"KELVOR_TRACE=" + path_, "KELVOR_TRACE_FRAMES=1"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const auto lines = readTrace(path_);
  // put_VarI: noise and a damaged copy of the reply, then the reply.
  const std::string reply = "recv A5 5A 09 00 02 02 00 91 00 00 00 00 00 0D 6C";
  size_t skipped = 0;
  bool replied = false;
  for (const Line& l : lines) {
    if (l.body == reply) {
      replied = true;
      break;
    }
    static const std::regex skip(R"(recv (\d+) bytes skipped: they form no valid frame)");
    std::smatch m;
    if (std::regex_match(l.body, m, skip)) skipped += std::stoul(m[1]);
  }
  EXPECT_TRUE(replied);
  EXPECT_EQ(skipped, NoisyController::kNoise + 15);  // the damaged frame: 15 bytes
}

TEST_F(Trace, ThreadsWriteWholeLines) {
  SimProcess sim;
  constexpr int kThreads = 4;
  constexpr int kPairs = 50;
  const ProcessResult r =
      child({"threads", sim.eth(), std::to_string(kThreads), std::to_string(kPairs)},
            {"KELVOR_TRACE=" + path_, "KELVOR_TRACE_FRAMES=1"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const auto lines = readTrace(path_);  // fails on any line that is not whole
  const size_t calls = 2 + kThreads * kPairs * 2;
  EXPECT_EQ(callBodies(lines).size(), calls);
  EXPECT_EQ(lines.size(), calls + 2 * (calls - 1));  // every call but Disconnect exchanges
  std::set<std::string> tids;
  for (const Line& l : lines) tids.insert(l.tid);
  EXPECT_EQ(tids.size(), size_t{kThreads} + 1);
}

TEST_F(Trace, AForkedChildWritesItsOwnProcessId) {
  const ProcessResult r = child({"fork", "-"}, {"KELVOR_TRACE=" + path_});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const auto lines = readTrace(path_);
  ASSERT_EQ(lines.size(), 3u);
  std::set<std::string> pids;
  for (const Line& l : lines) {
    EXPECT_EQ(l.body, "klv_get_MotorState() -> 0x80000001 Not connected to a controller");
    EXPECT_EQ(l.pid, l.tid);  // each process's main thread
    pids.insert(l.pid);
  }
  EXPECT_EQ(pids.size(), 2u);
}

TEST_F(Trace, ATraceThatCannotBeWrittenMakesNoCallFail) {
  SimProcess sim;
  const std::string fifo = ::testing::TempDir() + "kelvor_trace_fifo";
  std::remove(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string target;
    std::string message;  // on stderr, once
  };
  const std::vector<Case> cases = {
      {"/nonexistent/dir/trace.txt", "cannot write to /nonexistent/dir/trace.txt: No such file"},
      {::testing::TempDir(), "cannot write to " + ::testing::TempDir() + ": Is a directory"},
      {fifo, "cannot write to " + fifo + ": No such device or address"},  // nobody reads it
      {"/dev/full", ""},  // opens, but every write fails
  };
  for (const Case& c : cases) {
    const ProcessResult r = child({"calls", sim.eth()}, {"KELVOR_TRACE=" + c.target});
    EXPECT_EQ(r.exitCode, 0) << c.target << ": " << r.out;
    EXPECT_FALSE(r.timedOut) << c.target;
    if (c.message.empty()) {
      EXPECT_EQ(r.err, "") << c.target;
    } else {
      EXPECT_NE(r.err.find("libkelvor: KELVOR_TRACE: " + c.message), std::string::npos) << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
  }
  std::remove(fifo.c_str());

  // stderr a pipe whose reader has gone: the program is not ended by SIGPIPE.
  const ProcessResult r =
      child({"broken-pipe", sim.eth()}, {"KELVOR_TRACE=stderr", "KELVOR_TRACE_FRAMES=1"});
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exitCode, 0) << r.out;
}

}  // namespace
}  // namespace kelvor::test
