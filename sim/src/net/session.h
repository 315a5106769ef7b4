// One peer of the simulator on a stream (TCP socket, pseudo-terminal or serial port): reads
// requests and answers them one after the other. While the motion a reply waits for runs, the
// peer gets an "in progress" frame every kProgressInterval so that it keeps waiting.
#pragma once

#include <array>
#include <asio.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dispatch/dispatcher.h"
#include "kelvor/protocol.h"
#include "net/service.h"

namespace kelvor::sim::net {

inline constexpr auto kProgressInterval = std::chrono::milliseconds(100);

template <class Stream>
class Session : public std::enable_shared_from_this<Session<Stream>> {
 public:
  // onEnd, if set, runs once when the session ends (peer gone, error or dropped).
  Session(Service& service, Stream stream, std::string name, std::function<void()> onEnd)
      : service_(service),
        stream_(std::move(stream)),
        timer_(stream_.get_executor()),
        name_(std::move(name)),
        onEnd_(std::move(onEnd)) {}

  void start() { readMore(); }

 private:
  using Clock = std::chrono::steady_clock;
  using Outcome = dispatch::Dispatcher::Outcome;

  // A request whose reply waits for the end of a motion.
  struct Pending {
    uint16_t seq;
    uint16_t func;
    Outcome outcome;
    Clock::time_point nextProgress;
  };

  void readMore() {
    auto self = this->shared_from_this();
    stream_.async_read_some(asio::buffer(buf_), [self](const asio::error_code& ec, size_t n) {
      if (ec) {
        self->end();
        return;
      }
      self->decoder_.feed(self->buf_.data(), n);
      self->processNext();
    });
  }

  void processNext() {
    while (auto frame = decoder_.next()) {
      if (frame->type != proto::FrameType::kRequest) continue;
      serve(*frame);
      return;
    }
    readMore();
  }

  void serve(const proto::Frame& req) {
    service_.traceFrame(name_, req);
    if (service_.dropAfter > 0 && requests_ >= service_.dropAfter) {
      // Hang up instead of answering; the peer has read every earlier reply.
      service_.traceNote(name_, "dropping the connection");
      end();
      return;
    }
    ++requests_;
    Outcome outcome = service_.dispatcher.execute(req.func, req.payload);
    if (outcome.motion) {
      awaitMotion({req.seq, req.func, std::move(outcome), Clock::now() + kProgressInterval});
      return;
    }
    const auto replyAt = Clock::now() + outcome.delay;
    holdThenReply(replyFrame(req.seq, req.func, std::move(outcome)), replyAt, false);
  }

  static proto::Frame replyFrame(uint16_t seq, uint16_t func, Outcome&& outcome) {
    proto::Frame reply;
    reply.type = proto::FrameType::kReply;
    reply.seq = seq;
    reply.func = func;
    reply.payload = std::move(outcome.reply);
    return reply;
  }

  // Wakes when the motion is expected to end or a progress frame is due, whichever comes
  // first, until the controller reports the motion ended.
  void awaitMotion(Pending p) {
    const auto left = service_.dispatcher.awaitMotion(p.outcome);
    if (!left) {
      // The reply may still be held back (--delay); the peer keeps getting progress frames.
      const auto replyAt = Clock::now() + p.outcome.delay;
      holdThenReply(replyFrame(p.seq, p.func, std::move(p.outcome)), replyAt, true);
      return;
    }
    const auto end = Clock::now() + *left;
    const bool progress = end > p.nextProgress;
    timer_.expires_at(progress ? p.nextProgress : end);
    auto self = this->shared_from_this();
    timer_.async_wait([self, p = std::move(p), progress](const asio::error_code& ec) mutable {
      if (ec) return;
      if (!progress) {
        self->awaitMotion(std::move(p));
        return;
      }
      p.nextProgress += kProgressInterval;
      const uint16_t seq = p.seq, func = p.func;
      self->sendProgress(seq, func,
                         [self, p = std::move(p)]() mutable { self->awaitMotion(std::move(p)); });
    });
  }

  // Sends the reply at replyAt; with progress, an "in progress" frame every kProgressInterval
  // until then.
  void holdThenReply(proto::Frame reply, Clock::time_point replyAt, bool progress) {
    if (replyAt <= Clock::now()) {
      send(std::move(reply));
      return;
    }
    const bool tick = progress && replyAt - Clock::now() > kProgressInterval;
    timer_.expires_at(tick ? Clock::now() + kProgressInterval : replyAt);
    auto self = this->shared_from_this();
    timer_.async_wait([self, reply = std::move(reply), replyAt, tick,
                       progress](const asio::error_code& ec) mutable {
      if (ec) return;
      if (!tick) {
        self->send(std::move(reply));
        return;
      }
      const uint16_t seq = reply.seq, func = reply.func;
      self->sendProgress(seq, func, [self, reply = std::move(reply), replyAt, progress]() mutable {
        self->holdThenReply(std::move(reply), replyAt, progress);
      });
    });
  }

  template <class Then>
  void sendProgress(uint16_t seq, uint16_t func, Then then) {
    proto::Frame p;
    p.type = proto::FrameType::kProgress;
    p.seq = seq;
    p.func = func;
    service_.traceFrame(name_, p);
    auto self = this->shared_from_this();
    auto bytes = std::make_shared<std::vector<uint8_t>>(proto::encodeFrame(p));
    asio::async_write(
        stream_, asio::buffer(*bytes),
        [self, bytes, then = std::move(then)](const asio::error_code& ec, size_t) mutable {
          if (ec) {
            self->end();
            return;
          }
          then();
        });
  }

  void send(proto::Frame reply) {
    service_.traceFrame(name_, reply);
    auto self = this->shared_from_this();
    auto bytes = std::make_shared<std::vector<uint8_t>>(proto::encodeFrame(reply));
    asio::async_write(stream_, asio::buffer(*bytes),
                      [self, bytes](const asio::error_code& ec, size_t) {
                        if (ec) {
                          self->end();
                          return;
                        }
                        self->processNext();
                      });
  }

  void end() {
    if (ended_) return;
    ended_ = true;
    asio::error_code ignored;
    timer_.cancel();
    stream_.close(ignored);
    if (onEnd_) onEnd_();
  }

  Service& service_;
  Stream stream_;
  asio::steady_timer timer_;
  std::string name_;
  std::function<void()> onEnd_;
  proto::Decoder decoder_;
  std::array<uint8_t, 4096> buf_{};
  long requests_ = 0;
  bool ended_ = false;
};

}  // namespace kelvor::sim::net
