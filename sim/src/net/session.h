// One peer of the simulator on a stream (TCP socket, pseudo-terminal or serial port): reads
// requests and answers them one after the other. While the motion a reply waits for runs, the
// peer gets an "in progress" frame every kProgressInterval so that it keeps waiting.
//
// What a peer may cost is bounded (PeerLimits): a frame that has begun must arrive within the
// frame deadline and a reply must leave within it; a TCP peer that sends more bytes than
// maxGarbage that form no frame is disconnected. A peer that sends nothing is left alone.
#pragma once

#include <array>
#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <type_traits>
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
        deadline_(stream_.get_executor()),
        name_(std::move(name)),
        onEnd_(std::move(onEnd)) {}

  // Answers every request with code, executing none, and hangs up after the first reply: for
  // a peer the simulator cannot serve. Call before start().
  void refuseWith(int32_t code) { refusal_ = code; }

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

  // A TCP peer that breaks a limit is disconnected; a line stays open for the next client.
  static constexpr bool kHangsUp = std::is_same_v<Stream, asio::ip::tcp::socket>;

  void readMore() {
    // A frame has begun, or a refused peer has yet to send its request: it must arrive in time.
    if (decoder_.buffered() > 0 || refusal_ != 0) {
      guard("a frame did not arrive in time");
    } else {
      unguard();
    }
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
      unguard();
      garbageFrom_ = decoder_.discardedBytes();
      if (frame->type != proto::FrameType::kRequest) continue;
      serve(*frame);
      return;
    }
    if (kHangsUp && decoder_.discardedBytes() - garbageFrom_ > service_.limits.maxGarbage) {
      hangUp("sent more than " + std::to_string(service_.limits.maxGarbage) +
             " bytes that form no frame");
      return;
    }
    readMore();
  }

  void serve(const proto::Frame& req) {
    service_.traceFrame(name_, req);
    if (refusal_ != 0) {
      send(replyFrame(req.seq, req.func, dispatch::Dispatcher::answer(refusal_)), true);
      return;
    }
    if (service_.dropAfter > 0 && requests_ >= service_.dropAfter) {
      // Hang up instead of answering; the peer has read every earlier reply.
      service_.traceNote(name_, "dropping the connection");
      end();
      return;
    }
    ++requests_;
    Outcome outcome = service_.dispatcher.execute(peer_, req.func, req.payload);
    if (outcome.motion) {
      awaitMotion({req.seq, req.func, std::move(outcome), Clock::now() + kProgressInterval});
      return;
    }
    const auto replyAt = Clock::now() + outcome.delay;
    holdThenReply(replyFrame(req.seq, req.func, std::move(outcome)), replyAt, false);
  }

  // Arms the frame deadline unless it runs already; when it passes, a TCP peer is
  // disconnected and a line drops the frame it has begun.
  void guard(const char* breach) {
    if (guarded_) return;
    guarded_ = true;
    deadline_.expires_after(service_.limits.frameDeadline);
    auto self = this->shared_from_this();
    deadline_.async_wait([self, breach, armed = ++guards_](const asio::error_code& ec) {
      if (ec || !self->guarded_ || armed != self->guards_) return;
      self->guarded_ = false;
      if (kHangsUp) {
        self->hangUp(breach);
      } else {
        self->service_.traceNote(self->name_, "dropping an incomplete frame");
        self->decoder_.reset();
      }
    });
  }

  void unguard() {
    if (!guarded_) return;
    guarded_ = false;
    deadline_.cancel();
  }

  void hangUp(const std::string& why) {
    std::cerr << "kelvor-sim: " << name_ << " disconnected: " << why << std::endl;
    end();
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
    write(proto::encodeFrame(p), std::move(then));
  }

  // Sends a reply, then reads on or, when last, hangs up.
  void send(proto::Frame reply, bool last = false) {
    service_.traceFrame(name_, reply);
    auto self = this->shared_from_this();
    write(proto::encodeFrame(reply), [self, last] {
      if (last) {
        self->end();
      } else {
        self->processNext();
      }
    });
  }

  // Writes bytes, then runs then; a TCP peer that does not take them in time is disconnected.
  template <class Then>
  void write(std::vector<uint8_t> frame, Then then) {
    if (kHangsUp) guard("a reply could not be sent in time");
    auto self = this->shared_from_this();
    auto bytes = std::make_shared<std::vector<uint8_t>>(std::move(frame));
    asio::async_write(
        stream_, asio::buffer(*bytes),
        [self, bytes, then = std::move(then)](const asio::error_code& ec, size_t) mutable {
          self->unguard();
          if (ec) {
            self->end();
            return;
          }
          then();
        });
  }

  void end() {
    if (ended_) return;
    ended_ = true;
    asio::error_code ignored;
    timer_.cancel();
    unguard();
    stream_.close(ignored);
    if (onEnd_) onEnd_();
  }

  Service& service_;
  Stream stream_;
  asio::steady_timer timer_;     // holds a reply back (motions, --delay)
  asio::steady_timer deadline_;  // the frame deadline
  std::string name_;
  std::function<void()> onEnd_;
  proto::Decoder decoder_;
  // One read at a time: a few requests, but little decoding work when the bytes are hostile
  // (each 0xA5 0x5A in garbage may cost a CRC over a whole frame), so that one peer's bytes
  // never hold up the others for long.
  std::array<uint8_t, 512> buf_{};
  dispatch::Dispatcher::Peer peer_;
  uint64_t garbageFrom_ = 0;  // the decoder's discarded bytes at the last frame
  uint64_t guards_ = 0;       // deadlines armed so far; a stale expiry is ignored
  bool guarded_ = false;
  int32_t refusal_ = 0;
  long requests_ = 0;
  bool ended_ = false;
};

}  // namespace kelvor::sim::net
