// One peer of the simulator on a stream (TCP socket, pseudo-terminal or serial port): reads
// requests and answers them one after the other. While the motion a reply waits for runs, the
// peer gets an "in progress" frame every kProgressInterval so that it keeps waiting.
//
// What a peer may cost is bounded (PeerLimits): a frame that has begun must arrive within the
// frame deadline and a reply must leave within it; a TCP peer that sends more bytes than
// maxGarbage that form no frame is disconnected. A peer that sends nothing is left alone.
//
// The stream is non-blocking and driven directly: a request that arrives whole is read,
// executed and answered in one go, with one wait for the stream, one read and one write (three
// system calls) and no heap allocation (the request, the reply and the bytes on the wire
// reuse their buffers). Only a reply the stream does not take at once goes out in the
// background. On a line with a rate (Service::lineRate) the bytes leave at that rate.
#pragma once

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "dispatch/dispatcher.h"
#include "kelvor/protocol.h"
#include "net/service.h"
#include "net/system_error.h"

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
        line_(stream_.get_executor()),
        name_(std::move(name)),
        onEnd_(std::move(onEnd)) {}

  // Answers every request with code, executing none, and hangs up after the first reply: for
  // a peer the simulator cannot serve. Call before start().
  void refuseWith(int32_t code) { refusal_ = code; }

  void start() {
    asio::error_code ec;
    stream_.non_blocking(true, ec);
    if (ec) {
      end();
      return;
    }
    readMore();
  }

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

  static bool wouldBlock(const asio::error_code& ec) {
    return isSystemError(ec, EWOULDBLOCK) || isSystemError(ec, EAGAIN);
  }

  // Reads on: at once when bytes may be waiting, else once the stream is readable.
  void readMore() {
    // A frame has begun, or a refused peer has yet to send its request: it must arrive in time.
    if (decoder_.buffered() > 0 || refusal_ != 0) {
      guard("a frame did not arrive in time");
    } else {
      unguard();
    }
    if (!drained_) {
      readNow();
      return;
    }
    // A read, not a wait for readability: Asio keeps a descriptor registered for reading, so
    // a read it is given costs no system call until the stream turns readable, and it reads
    // as soon as it does; a wait would be re-armed (epoll_ctl) every time.
    stream_.async_read_some(asio::buffer(buf_), [self = this->shared_from_this()](
                                                    const asio::error_code& ec, size_t n) {
      if (ec) {
        self->end();
        return;
      }
      self->received(n);
    });
  }

  // One read of what has arrived, then the requests it completes.
  void readNow() {
    asio::error_code ec;
    const size_t n = stream_.read_some(asio::buffer(buf_), ec);
    if (wouldBlock(ec)) {
      drained_ = true;
      readMore();
      return;
    }
    if (ec) {
      end();
      return;
    }
    received(n);
  }

  // Serves what a read of n bytes into buf_ brought, then reads on.
  void received(size_t n) {
    decoder_.feed(buf_.data(), n);
    // A short read took everything there was; whatever comes later makes the stream readable
    // again. After a full one more may wait, which is read on the event loop's next turn so
    // that the other peers get theirs first.
    drained_ = n < buf_.size();
    if (!serveBuffered()) return;
    if (drained_) {
      readMore();
    } else {
      asio::post(stream_.get_executor(), [self = this->shared_from_this()] { self->readMore(); });
    }
  }

  // Goes on after the session waited on something else than the stream (a motion, a held
  // reply, a slow peer): bytes that arrived meanwhile are not announced again.
  void resume() {
    drained_ = false;
    if (serveBuffered()) readMore();
  }

  // Serves the complete requests buffered, in order. True when each was answered at once and
  // the session reads on; false when it goes on later (resume) or has ended.
  bool serveBuffered() {
    while (decoder_.next(request_)) {
      unguard();
      garbageFrom_ = decoder_.discardedBytes();
      if (request_.type != proto::FrameType::kRequest) continue;
      if (!serve(request_)) return false;
    }
    if (kHangsUp && decoder_.discardedBytes() - garbageFrom_ > service_.limits.maxGarbage) {
      hangUp("sent more than " + std::to_string(service_.limits.maxGarbage) +
             " bytes that form no frame");
      return false;
    }
    return true;
  }

  // Executes one request and answers it; true when the reply went out at once.
  bool serve(const proto::Frame& req) {
    service_.traceFrame(name_, req);
    if (refusal_ != 0) {
      outcome_ = dispatch::Dispatcher::answer(refusal_);
      if (sendReply(req.seq, req.func, outcome_,
                    [self = this->shared_from_this()] { self->end(); })) {
        end();
      }
      return false;
    }
    if (service_.dropAfter > 0 && requests_ >= service_.dropAfter) {
      // Hang up instead of answering; the peer has read every earlier reply.
      service_.traceNote(name_, "dropping the connection");
      end();
      return false;
    }
    ++requests_;
    service_.dispatcher.execute(peer_, req.func, req.payload, outcome_);
    if (outcome_.motion) {
      awaitMotion({req.seq, req.func, std::move(outcome_), Clock::now() + kProgressInterval});
      return false;
    }
    if (outcome_.delay.count() > 0) {
      const auto replyAt = Clock::now() + outcome_.delay;
      holdThenReply({req.seq, req.func, std::move(outcome_), {}}, replyAt, false);
      return false;
    }
    return sendReply(req.seq, req.func, outcome_,
                     [self = this->shared_from_this()] { self->resume(); });
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
    printLine("kelvor-sim: " + name_ + " disconnected: " + why);
    end();
  }

  // Wakes when the motion is expected to end or a progress frame is due, whichever comes
  // first, until the controller reports the motion ended.
  void awaitMotion(Pending p) {
    const auto left = service_.dispatcher.awaitMotion(p.outcome);
    if (!left) {
      // The reply may still be held back (--delay); the peer keeps getting progress frames.
      const auto replyAt = Clock::now() + p.outcome.delay;
      holdThenReply(std::move(p), replyAt, true);
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
  void holdThenReply(Pending p, Clock::time_point replyAt, bool progress) {
    if (replyAt <= Clock::now()) {
      outcome_ = std::move(p.outcome);
      auto self = this->shared_from_this();
      if (sendReply(p.seq, p.func, outcome_, [self] { self->resume(); })) resume();
      return;
    }
    const bool tick = progress && replyAt - Clock::now() > kProgressInterval;
    timer_.expires_at(tick ? Clock::now() + kProgressInterval : replyAt);
    auto self = this->shared_from_this();
    timer_.async_wait(
        [self, p = std::move(p), replyAt, tick, progress](const asio::error_code& ec) mutable {
          if (ec) return;
          if (!tick) {
            self->holdThenReply(std::move(p), replyAt, progress);
            return;
          }
          const uint16_t seq = p.seq, func = p.func;
          self->sendProgress(seq, func, [self, p = std::move(p), replyAt, progress]() mutable {
            self->holdThenReply(std::move(p), replyAt, progress);
          });
        });
  }

  template <class Then>
  void sendProgress(uint16_t seq, uint16_t func, Then then) {
    frame_.type = proto::FrameType::kProgress;
    frame_.seq = seq;
    frame_.func = func;
    frame_.payload.clear();
    service_.traceFrame(name_, frame_);
    proto::encodeFrame(frame_, wire_);
    if (write(then)) then();
  }

  // Sends the reply of outcome; true when it went out at once, else then runs once it has.
  template <class Then>
  bool sendReply(uint16_t seq, uint16_t func, Outcome& outcome, Then then) {
    frame_.type = proto::FrameType::kReply;
    frame_.seq = seq;
    frame_.func = func;
    frame_.payload.swap(outcome.reply);
    service_.traceFrame(name_, frame_);
    proto::encodeFrame(frame_, wire_);
    frame_.payload.swap(outcome.reply);
    return write(then);
  }

  // Writes the frame in wire_: true when the stream took it whole at once. Otherwise the rest
  // goes out in the background, then runs then; a TCP peer that does not take it in time is
  // disconnected.
  template <class Then>
  bool write(Then& then) {
    if (service_.lineRate > 0 && !kHangsUp) {
      writePaced(0, std::move(then));
      return false;
    }
    asio::error_code ec;
    const size_t n = stream_.write_some(asio::buffer(wire_), ec);
    if (!ec && n == wire_.size()) return true;
    if (ec && !wouldBlock(ec)) {
      end();
      return false;
    }
    if (kHangsUp) guard("a reply could not be sent in time");
    auto self = this->shared_from_this();
    asio::async_write(stream_, asio::buffer(wire_) + (ec ? 0 : n),
                      [self, then = std::move(then)](const asio::error_code& e, size_t) mutable {
                        self->unguard();
                        if (e) {
                          self->end();
                          return;
                        }
                        then();
                      });
    return false;
  }

  // Writes wire_ from offset from as a line of Service::lineRate bits per second carries it,
  // ten bits a byte: each slice of bytes is handed over once the line would have carried it,
  // and then runs after the last.
  template <class Then>
  void writePaced(size_t from, Then then) {
    const long rate = service_.lineRate;
    // What the line carries in about 10 ms, at least a byte, and how long it takes.
    const size_t slice =
        std::min(wire_.size() - from, static_cast<size_t>(std::max(1L, rate / 1000)));
    lineFree_ = std::max(lineFree_, Clock::now()) +
                std::chrono::nanoseconds(static_cast<long long>(slice) * 10'000'000'000LL / rate);
    line_.expires_at(lineFree_);
    auto self = this->shared_from_this();
    line_.async_wait(
        [self, from, slice, then = std::move(then)](const asio::error_code& ec) mutable {
          if (ec) return;
          asio::async_write(self->stream_, asio::buffer(self->wire_.data() + from, slice),
                            [self, next = from + slice, then = std::move(then)](
                                const asio::error_code& e, size_t) mutable {
                              if (e) {
                                self->end();
                              } else if (next < self->wire_.size()) {
                                self->writePaced(next, std::move(then));
                              } else {
                                then();
                              }
                            });
        });
  }

  void end() {
    if (ended_) return;
    ended_ = true;
    asio::error_code ignored;
    timer_.cancel();
    line_.cancel();
    unguard();
    stream_.close(ignored);
    if (onEnd_) onEnd_();
  }

  Service& service_;
  Stream stream_;
  asio::steady_timer timer_;     // holds a reply back (motions, --delay)
  asio::steady_timer deadline_;  // the frame deadline
  asio::steady_timer line_;      // paces the bytes on a line with a rate
  std::string name_;
  std::function<void()> onEnd_;
  proto::Decoder decoder_;
  // One read at a time: a few requests, but little decoding work when the bytes are hostile
  // (each 0xA5 0x5A in garbage may cost a CRC over a whole frame), so that one peer's bytes
  // never hold up the others for long.
  std::array<uint8_t, 512> buf_{};
  // Reused from request to request, so that serving one allocates nothing.
  proto::Frame request_;
  Outcome outcome_;
  proto::Frame frame_;         // the frame being sent
  std::vector<uint8_t> wire_;  // its bytes, kept until the stream has taken them
  dispatch::Dispatcher::Peer peer_;
  Clock::time_point lineFree_{};  // when the line has carried the bytes handed to it
  uint64_t garbageFrom_ = 0;      // the decoder's discarded bytes at the last frame
  uint64_t guards_ = 0;           // deadlines armed so far; a stale expiry is ignored
  bool guarded_ = false;
  bool drained_ = false;  // the last read found nothing more; wait before reading again
  int32_t refusal_ = 0;
  long requests_ = 0;
  bool ended_ = false;
};

}  // namespace kelvor::sim::net
