// A minimal protocol client on a raw socket, to send what the library never would.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <vector>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "loopback.h"

namespace kelvor::test {

class RawClient {
 public:
  // Connects to the simulator on a loopback port and, with greet, shakes hands (Hello with
  // sequence number 0); throws when either fails.
  explicit RawClient(int port, bool greet = true) {
    fd_ = dialLoopback(port);
    if (fd_ < 0) throw std::runtime_error("connect");
    if (greet && hello(0) != KLV_OK) {
      ::close(fd_);
      throw std::runtime_error("handshake refused");
    }
  }
  ~RawClient() { ::close(fd_); }

  void sendBytes(const std::vector<uint8_t>& b) {
    ASSERT_EQ(::send(fd_, b.data(), b.size(), MSG_NOSIGNAL), static_cast<ssize_t>(b.size()));
  }
  void sendRequest(uint16_t seq, proto::Func f, std::vector<uint8_t> payload) {
    proto::Frame fr;
    fr.seq = seq;
    fr.func = static_cast<uint16_t>(f);
    fr.payload = std::move(payload);
    sendBytes(proto::encodeFrame(fr));
  }
  // The next reply frame, counting the progress frames before it; throws after 5 s.
  proto::Frame reply() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
      if (auto f = dec_.next()) {
        if (f->type == proto::FrameType::kReply) return *f;
        if (f->type == proto::FrameType::kProgress) ++progressFrames_;
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
  // Sends a request and returns the result code of its reply.
  int32_t call(uint16_t seq, proto::Func f, std::vector<uint8_t> payload,
               proto::Frame* out = nullptr) {
    sendRequest(seq, f, std::move(payload));
    proto::Frame r = reply();
    EXPECT_EQ(r.seq, seq);
    if (out) *out = r;
    proto::Reader rd(r.payload);
    return rd.i32();
  }
  // The handshake in the given protocol version; returns the reply's code.
  int32_t hello(uint16_t seq, int32_t version = proto::kProtocolVersion) {
    return call(seq, proto::Func::Hello, proto::Writer().i32(version).str("raw").take());
  }
  int progressFrames() const { return progressFrames_; }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  proto::Decoder dec_;
  int progressFrames_ = 0;
};

}  // namespace kelvor::test
