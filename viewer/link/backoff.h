// The waits between connection attempts: the first after a failure is short, each further one
// twice as long, up to a ceiling, so a missing controller is asked rarely and a returning one
// is found soon.
#pragma once

#include <algorithm>

namespace kelvor::view {

class Backoff {
 public:
  explicit Backoff(double first = 0.5, double ceiling = 8.0) : first_(first), ceiling_(ceiling) {}

  // The wait before the next attempt (seconds); the one after it is doubled.
  double next() {
    const double wait = next_;
    next_ = std::min(next_ * 2, ceiling_);
    return wait;
  }
  // A connection worked: the next failure waits the shortest time again.
  void reset() { next_ = first_; }

 private:
  double first_, ceiling_;
  double next_ = first_;
};

}  // namespace kelvor::view
