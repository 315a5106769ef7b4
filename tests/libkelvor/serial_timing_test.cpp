// Calls over a serial line at 9600 baud: a pseudo-terminal whose far side behaves like a line
// of that speed, taking each request in at one character per 10 bits and pacing its reply
// the same way. The reply timeout (the tester's 400 ms) does not have to cover the wire.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "port_access.h"
#include "test_util.h"

namespace {

namespace p = kelvor::proto;
using Clock = std::chrono::steady_clock;

constexpr int kBaud = 9600;
constexpr auto kCharTime = std::chrono::microseconds(10 * 1000000 / kBaud);  // 8N1

// The controller's side of the line: string variables, and nothing else but the handshake.
class PacedController {
 public:
  PacedController() {
    termios raw{};
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B9600);
    ::cfsetospeed(&raw, B9600);
    char name[128];
    if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) return;
    slaveName_ = name;
    thread_ = std::thread([this] { serve(); });
  }
  ~PacedController() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }
  PacedController(const PacedController&) = delete;
  PacedController& operator=(const PacedController&) = delete;

  const std::string& slaveName() const { return slaveName_; }
  // While true, requests are taken in but never answered: a dead controller.
  std::atomic<bool> silent{false};

 private:
  void serve() {
    p::Decoder decoder;
    auto lastOnWire = Clock::now();  // when the last byte received had crossed the line
    while (!stop_) {
      pollfd pfd{master_, POLLIN, 0};
      if (::poll(&pfd, 1, 10) <= 0) continue;
      uint8_t buf[4096];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) continue;
      lastOnWire = std::max(lastOnWire, Clock::now()) + kCharTime * n;
      decoder.feed(buf, static_cast<size_t>(n));
      while (auto request = decoder.next()) {
        if (silent) continue;
        std::this_thread::sleep_until(lastOnWire);  // the request's last byte is in
        sendPaced(answer(*request));
      }
    }
  }

  std::vector<uint8_t> answer(const p::Frame& request) {
    p::Reader in(request.payload);
    p::Writer out;
    out.i32(KLV_OK);
    switch (static_cast<p::Func>(request.func)) {
      case p::Func::Hello:
        out.i32(p::kProtocolVersion).str("paced line");
        break;
      case p::Func::put_VarS: {
        const int32_t no = in.i32();
        strings_[no] = in.str();
        break;
      }
      case p::Func::get_VarS:
        out.str(strings_[in.i32()]);
        break;
      default:
        out.clear().i32(1);  // a controller's refusal
        break;
    }
    p::Frame reply;
    reply.type = p::FrameType::kReply;
    reply.seq = request.seq;
    reply.func = request.func;
    reply.payload = out.take();
    return p::encodeFrame(reply);
  }

  // Writes bytes no faster than the line carries them.
  void sendPaced(const std::vector<uint8_t>& bytes) {
    const auto start = Clock::now();
    size_t sent = 0;
    while (sent < bytes.size() && !stop_) {
      const auto due = static_cast<size_t>((Clock::now() - start) / kCharTime) + 1;
      const size_t now = std::min(bytes.size(), due) - std::min(sent, due);
      if (now > 0) {
        const ssize_t n = ::write(master_, bytes.data() + sent, now);
        if (n > 0) sent += static_cast<size_t>(n);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  int master_ = -1;
  int slave_ = -1;  // kept open, so the line never hangs up between tests
  std::string slaveName_;
  std::map<int32_t, std::string> strings_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// COM200 in a private virtual-port directory, linked to the controller's line.
class SerialTiming : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(line_.slaveName().empty()) << "no pseudo-terminal";
    char dir[] = "/tmp/kelvor-serial-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    runtimeDir_ = dir;
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old) oldRuntimeDir_ = old;
    ::setenv("XDG_RUNTIME_DIR", dir, 1);
    std::string error;
    ASSERT_TRUE(kelvor::prepareVirtualPortDir(portDir_, error)) << error;
    link_ = portDir_ + "/COM200";
    ASSERT_EQ(::symlink(line_.slaveName().c_str(), link_.c_str()), 0);
    ASSERT_EQ(kelvor::test::connect("com:200:9600N:8:1", 400), KLV_OK);
  }
  void TearDown() override {
    klv_Disconnect();
    ::unlink(link_.c_str());
    ::rmdir(portDir_.c_str());
    ::rmdir(runtimeDir_.c_str());
    if (oldRuntimeDir_.empty()) {
      ::unsetenv("XDG_RUNTIME_DIR");
    } else {
      ::setenv("XDG_RUNTIME_DIR", oldRuntimeDir_.c_str(), 1);
    }
  }

  PacedController line_;
  std::string runtimeDir_, oldRuntimeDir_, portDir_, link_;
};

TEST_F(SerialTiming, ALongestStringVariableIsWrittenAndReadBackWithinTheReplyTimeout) {
  // 1041 bytes each way: about 1.08 s on the wire, against a 400 ms reply timeout.
  std::string text(KLV_MAX_STRING, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('A' + i % 26);
  ASSERT_EQ(klv_put_VarS(7, text.c_str()), KLV_OK);
  char back[KLV_MAX_STRING + 1] = {};
  ASSERT_EQ(klv_get_VarS(7, back, sizeof back), KLV_OK);
  EXPECT_EQ(std::string(back), text);
}

TEST_F(SerialTiming, ADeadLineStillTimesOutAndTheNextCallWorks) {
  std::string text(KLV_MAX_STRING, 'y');
  line_.silent = true;
  EXPECT_EQ(klv_put_VarS(3, text.c_str()), KLV_E_TIMEOUT);
  line_.silent = false;
  ASSERT_EQ(klv_put_VarS(3, "short"), KLV_OK);
  char back[16] = {};
  ASSERT_EQ(klv_get_VarS(3, back, sizeof back), KLV_OK);
  EXPECT_STREQ(back, "short");
}

}  // namespace
