// The answer of a controller rule: accepted, or the controller code that refuses the request
// with the description the error latch shows.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "kelvor.h"

namespace kelvor::sim::model {

struct [[nodiscard]] Status {
  int32_t code = KLV_OK;
  std::string text;  // empty: the code's standard text

  Status() = default;
  // Implicit, so a rule can simply return KLV_C_MOTOR_OFF.
  Status(int32_t c, std::string why = {}) : code(c), text(std::move(why)) {}

  bool ok() const { return code == KLV_OK; }
};

}  // namespace kelvor::sim::model
