// A pseudo-terminal served like a serial line of 9600 baud (--line-rate): the simulator's
// bytes arrive no faster than such a line carries them, and the library still reads and
// writes the longest string variable with the tester's timeout of 400 ms.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "com_ports.h"
#include "kelvor.h"
#include "kelvor/protocol.h"
#include "runtime_dir.h"
#include "serial_line.h"
#include "sim_process.h"
#include "temp_path.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

using Clock = std::chrono::steady_clock;
using proto::Func;
using proto::Writer;

constexpr int kBaud = 9600;
const std::string kLongest(proto::kMaxString, 'k');

// A client on the slave side of the simulator's pseudo-terminal, in raw mode.
class LineClient {
 public:
  explicit LineClient(const std::string& device)
      : fd_(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (fd_ < 0 || !setRawLine(fd_, {.baud = kBaud})) throw std::runtime_error("open " + device);
  }
  ~LineClient() { ::close(fd_); }

  // Sends a request and returns its reply; throws after 10 s.
  proto::Frame call(Func f, std::vector<uint8_t> payload) {
    proto::Frame req;
    req.seq = ++seq_;
    req.func = static_cast<uint16_t>(f);
    req.payload = std::move(payload);
    const auto bytes = proto::encodeFrame(req);
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("write");
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    proto::Frame reply;
    while (!decoder_.next(reply) || reply.type != proto::FrameType::kReply) {
      if (Clock::now() > deadline) throw std::runtime_error("no reply");
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      uint8_t buf[256];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) throw std::runtime_error("read");
      decoder_.feed(buf, static_cast<size_t>(n));
    }
    return reply;
  }

 private:
  int fd_;
  uint16_t seq_ = 0;
  proto::Decoder decoder_;
};

TEST(SimLineRate, RepliesArriveNoFasterThanTheLineCarriesThem) {
  const std::string link = tempPath("paced-pty");
  SimProcess sim({"--pty", link, "--line-rate", std::to_string(kBaud)});
  sim.readLineContaining("pty ");
  LineClient line(link);
  ASSERT_EQ(proto::Reader(line.call(Func::Hello, Writer().i32(1).str("line").take()).payload).i32(),
            KLV_OK);
  ASSERT_EQ(
      proto::Reader(line.call(Func::put_VarS, Writer().i32(3).str(kLongest).take()).payload).i32(),
      KLV_OK);

  const auto start = Clock::now();
  const proto::Frame reply = line.call(Func::get_VarS, Writer().i32(3).take());
  const auto took = Clock::now() - start;
  proto::Reader r(reply.payload);
  EXPECT_EQ(r.i32(), KLV_OK);
  EXPECT_EQ(r.str(), kLongest);
  // The whole frame, ten bits a byte; the line cannot be faster, whatever the load.
  const size_t frameBytes =
      proto::kHeaderSize + proto::kMinBody + reply.payload.size() + proto::kCrcSize;
  const auto wire = std::chrono::microseconds(frameBytes * 10 * 1000000 / kBaud);
  EXPECT_GE(took, wire - std::chrono::milliseconds(15)) << "slices of 10 ms are handed over whole";
}

// The library's reply deadline has to include the wire time of the request and the reply at
// the line's baud rate: 1041 bytes take about 1.08 s at 9600 baud.
TEST(SimLineRate, TheLongestStringCrossesA9600BaudLineWithin400msTimeouts) {
  PrivateRuntimeDir runtime;
  constexpr int kCom = 201;
  SimProcess sim({"--pty", "COM" + std::to_string(kCom), "--line-rate", std::to_string(kBaud)});
  sim.readLineContaining("pty ");
  ASSERT_EQ(connect("com:" + std::to_string(kCom) + ":9600N:8:1", 400), KLV_OK);
  ASSERT_EQ(klv_put_VarS(5, kLongest.c_str()), KLV_OK);
  std::vector<char> got(kLongest.size() + 1);
  ASSERT_EQ(klv_get_VarS(5, got.data(), static_cast<int32_t>(got.size())), KLV_OK);
  EXPECT_EQ(std::string(got.data()), kLongest);
  EXPECT_EQ(klv_Disconnect(), KLV_OK);
}

}  // namespace
}  // namespace kelvor::test
