// What every connection of the simulator shares: the dispatcher that executes requests, and how
// connections behave.
#pragma once

#include <iostream>
#include <string>

#include "dispatch/dispatcher.h"
#include "kelvor/protocol.h"

namespace kelvor::sim::net {

struct Service {
  dispatch::Dispatcher& dispatcher;
  bool trace = false;  // print every frame to stderr
  long dropAfter = 0;  // after answering this many requests, hang up at the next (0: never)

  void traceFrame(const std::string& who, const proto::Frame& f) const {
    if (trace) std::cerr << who << ' ' << proto::describeFrame(f) << std::endl;
  }
  void traceNote(const std::string& who, const std::string& note) const {
    if (trace) std::cerr << who << ' ' << note << std::endl;
  }
};

}  // namespace kelvor::sim::net
