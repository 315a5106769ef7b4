// The simulator's sense of time. The controller model changes with time only through
// Controller::tick(now); whoever drives it reads now from a Clock: the steady real clock in
// the program, a manual clock that moves only when told in tests.
#pragma once

#include <chrono>
#include <stdexcept>

namespace kelvor::sim::model {

using Time = std::chrono::steady_clock::time_point;
using Duration = std::chrono::steady_clock::duration;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Time now() const = 0;
};

class SteadyClock final : public Clock {
 public:
  Time now() const override { return std::chrono::steady_clock::now(); }
};

// Starts at an arbitrary fixed point and, like the steady clock, never goes back.
class ManualClock final : public Clock {
 public:
  Time now() const override { return now_; }
  void advance(Duration d) {
    if (d < Duration::zero()) throw std::invalid_argument("a clock does not go back");
    now_ += d;
  }

 private:
  Time now_ = Time{} + std::chrono::hours(1);
};

}  // namespace kelvor::sim::model
