// The simulator's sense of time. The controller model changes with time only through
// Controller::tick(now); whoever drives it reads now from a Clock: the steady real clock in
// the program (scaled by --time-scale), a manual clock that moves only when told in tests.
#pragma once

#include <chrono>
#include <cmath>
#include <stdexcept>

namespace kelvor::sim::model {

using Time = std::chrono::steady_clock::time_point;
using Duration = std::chrono::steady_clock::duration;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Time now() const = 0;
  // How long a span of this clock's time lasts in real time, rounded up: what a peer waiting
  // in real time for the model (a progress frame, the end of a motion) must wait.
  virtual Duration toReal(Duration modelTime) const { return modelTime; }
};

class SteadyClock final : public Clock {
 public:
  Time now() const override { return std::chrono::steady_clock::now(); }
};

// Runs factor times as fast as the clock it is built on, from the moment it is built: with
// factor 10 a motion of 2 s model time is over after 0.2 s. factor must be positive and finite.
class ScaledClock final : public Clock {
 public:
  ScaledClock(const Clock& base, double factor)
      : base_(base), factor_(factor), origin_(base.now()) {
    if (!(factor > 0) || !std::isfinite(factor)) {
      throw std::invalid_argument("a time scale must be positive and finite");
    }
  }
  Time now() const override {
    const double ticks = static_cast<double>((base_.now() - origin_).count()) * factor_;
    return origin_ + Duration(static_cast<Duration::rep>(ticks));
  }
  Duration toReal(Duration modelTime) const override {
    return Duration(
        static_cast<Duration::rep>(std::ceil(static_cast<double>(modelTime.count()) / factor_)));
  }

 private:
  const Clock& base_;
  double factor_;
  Time origin_;
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
