// A controller played by the test itself on a loopback port: it answers the handshake and
// lets each test decide, request by request, which bytes go back and when. It plays the
// faulty or hostile controllers that kelvor-sim never is.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kelvor/protocol.h"
#include "loopback.h"

namespace kelvor::test {

// The controller's end of one client connection.
class Link {
 public:
  Link(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

  // False once the client has gone or the controller is being stopped.
  bool alive() const { return alive_ && !stopping_; }

  // Sends bytes, waiting while the client does not read; gives up when it is gone.
  void send(const std::vector<uint8_t>& bytes) {
    size_t off = 0;
    while (off < bytes.size() && alive()) {
      const ssize_t n =
          ::send(fd_, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        off += static_cast<size_t>(n);
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 20);
      } else {
        alive_ = false;
      }
    }
  }
  void send(const proto::Frame& f) { send(proto::encodeFrame(f)); }

  // A frame of the given type answering req, with payload.
  static proto::Frame frameFor(const proto::Frame& req, proto::FrameType type,
                               std::vector<uint8_t> payload = {}) {
    proto::Frame f;
    f.type = type;
    f.seq = req.seq;
    f.func = req.func;
    f.payload = std::move(payload);
    return f;
  }
  // The same, but for some other request: no answer to req.
  static proto::Frame strayFrameFor(const proto::Frame& req, proto::FrameType type,
                                    std::vector<uint8_t> payload = {}) {
    proto::Frame f = frameFor(req, type, std::move(payload));
    ++f.seq;
    return f;
  }
  void reply(const proto::Frame& req, std::vector<uint8_t> payload) {
    send(frameFor(req, proto::FrameType::kReply, std::move(payload)));
  }
  // Sends f every interval for as long as lasts (or until the client goes).
  void sendEvery(const proto::Frame& f, std::chrono::milliseconds lasts,
                 std::chrono::milliseconds interval) {
    const auto end = std::chrono::steady_clock::now() + lasts;
    while (alive() && std::chrono::steady_clock::now() < end) {
      send(f);
      std::this_thread::sleep_for(interval);
    }
  }
  // Progress frames for req every interval, for as long as lasts.
  void progressFor(const proto::Frame& req, std::chrono::milliseconds lasts,
                   std::chrono::milliseconds interval = std::chrono::milliseconds(5)) {
    sendEvery(frameFor(req, proto::FrameType::kProgress), lasts, interval);
  }
  // Sends chunk again and again, pausing between sends, for as long as lasts.
  void streamFor(const std::vector<uint8_t>& chunk, std::chrono::milliseconds lasts,
                 std::chrono::milliseconds pause = std::chrono::milliseconds(0)) {
    const auto end = std::chrono::steady_clock::now() + lasts;
    while (alive() && std::chrono::steady_clock::now() < end) {
      send(chunk);
      if (pause.count() > 0) std::this_thread::sleep_for(pause);
    }
  }

 private:
  int fd_;
  const std::atomic<bool>& stopping_;
  bool alive_ = true;
};

// The handshake reply of a controller speaking this library's protocol version.
inline void answerHello(const proto::Frame& req, Link& link) {
  link.reply(req, proto::Writer().i32(0).i32(proto::kProtocolVersion).str("scripted").take());
}

// n copies of the header that costs a receiver the most: a start marker and the largest body
// length, so that every candidate makes it wait for and check a whole frame, in vain.
inline std::vector<uint8_t> resyncWorstCase(size_t n) {
  std::vector<uint8_t> out;
  out.reserve(4 * n);
  for (size_t i = 0; i < n; ++i) out.insert(out.end(), {0xA5, 0x5A, 0x00, 0x08});
  return out;
}

class ScriptedController {
 public:
  using Script = std::function<void(const proto::Frame& request, Link& link)>;

  // onRequest sees every request after the handshake; onHello answers the handshake.
  explicit ScriptedController(Script onRequest, Script onHello = answerHello)
      : onRequest_(std::move(onRequest)), onHello_(std::move(onHello)) {
    listener_ = listenOnLoopback(port_, 4);
    thread_ = std::thread([this] { serve(); });
  }
  ~ScriptedController() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }
  ScriptedController(const ScriptedController&) = delete;
  ScriptedController& operator=(const ScriptedController&) = delete;

  std::string eth() const { return "eth:127.0.0.1:" + std::to_string(port_); }
  // Requests received after the handshake, over all connections.
  int requests() const { return requests_; }

 private:
  // Serves one client after the other until the destructor runs.
  void serve() {
    while (!stopping_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      talk(fd);
      ::close(fd);
    }
  }

  void talk(int fd) {
    Link link(fd, stopping_);
    proto::Decoder decoder;
    uint8_t buf[4096];
    while (link.alive()) {
      while (auto req = decoder.next()) {
        if (req->func == static_cast<uint16_t>(proto::Func::Hello)) {
          onHello_(*req, link);
        } else {
          ++requests_;
          onRequest_(*req, link);
        }
      }
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return;
      decoder.feed(buf, static_cast<size_t>(n));
    }
  }

  Script onRequest_;
  Script onHello_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

}  // namespace kelvor::test
