// Failures of the robot model: a kind the controller maps to its code, and a description.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace kelvor::robot {

enum class Failure {
  InvalidValue,  // an input is not a number, out of its range or malformed
  Unreachable,   // the position (or a point of the path) is out of the arm's reach
  JointLimit,    // a joint would be beyond its limit; Error::axis names it
  Singular,      // the position (or the path) is at or too near a singular position
};

struct Error {
  Failure kind = Failure::InvalidValue;
  int axis = 0;      // 1 to 6 for Failure::JointLimit, else 0
  std::string text;  // "Position out of reach", "J3 beyond its limit", ...
};

// A value or the reason there is none. value() and error() require the matching state.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}      // NOLINT: implicit by design
  Result(Error error) : v_(std::move(error)) {}  // NOLINT: implicit by design

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return std::get<0>(v_); }
  T& value() & { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  const T& operator*() const& { return value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

// A check that passes (nullopt) or names what failed.
using Check = std::optional<Error>;

inline Error invalid(std::string text) { return {Failure::InvalidValue, 0, std::move(text)}; }

}  // namespace kelvor::robot
