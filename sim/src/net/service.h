// What every connection of the simulator shares: the dispatcher that executes requests, and how
// connections behave. Connections may be served on several threads: the dispatcher serializes
// the requests, and what a connection prints goes out a whole line at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <iostream>
#include <mutex>
#include <string>

#include "dispatch/dispatcher.h"
#include "kelvor/protocol.h"

namespace kelvor::sim::net {

// What one peer may cost the simulator. A TCP peer that breaks a limit is disconnected; on a
// serial line or pseudo-terminal, which stays open for the next client, a frame that does not
// complete in time is dropped instead.
struct PeerLimits {
  // TCP peers served at once; the next ones get KLV_C_TOO_MANY_CONNECTIONS.
  size_t maxConnections = 64;
  // A frame that has begun to arrive must be complete within this, and a frame being sent
  // must leave within it. An idle peer, with no frame begun, may stay as long as it likes.
  std::chrono::milliseconds frameDeadline{5000};
  // Bytes a TCP peer may send that form no frame, counted from its last frame.
  size_t maxGarbage = 64 * 1024;
};

// Writes line and a newline to stderr, whole even while other threads print.
inline void printLine(const std::string& line) {
  static std::mutex printing;
  const std::lock_guard hold(printing);
  std::cerr << line << std::endl;
}

struct Service {
  dispatch::Dispatcher& dispatcher;
  bool trace = false;  // print every frame to stderr
  long dropAfter = 0;  // after answering this many requests, hang up at the next (0: never)
  PeerLimits limits{};
  // Bits per second at which the pseudo-terminal and serial port sessions send, ten bits a
  // byte like a line of 8 data bits, a start and a stop bit; 0: as fast as the stream takes
  // them. TCP peers are never paced.
  long lineRate = 0;

  void traceFrame(const std::string& who, const proto::Frame& f) const {
    if (trace) printLine(who + ' ' + proto::describeFrame(f));
  }
  void traceNote(const std::string& who, const std::string& note) const {
    if (trace) printLine(who + ' ' + note);
  }
};

}  // namespace kelvor::sim::net
