// Fault injection rules given on the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvor::sim::dispatch {

struct FailRule {
  uint16_t func = 0;
  int32_t code = 0;
  int remaining = 1;  // replies still to fail; -1 = always
};

struct DelayRule {
  uint16_t func = 0;
  int ms = 0;
};

// "FUNC=CODE", "FUNC=CODE:once", "FUNC=CODE:always" or "FUNC=CODE:N". FUNC is a protocol
// function name with or without the "klv_" prefix; CODE is decimal or 0x hex (up to 32 bits).
std::optional<FailRule> parseFailRule(const std::string& text, std::string& error);
// "FUNC=MS".
std::optional<DelayRule> parseDelayRule(const std::string& text, std::string& error);

class Faults {
 public:
  std::vector<FailRule> fails;
  std::vector<DelayRule> delays;

  // The code to answer func with instead of executing it, consuming one use of its rule.
  std::optional<int32_t> takeFailure(uint16_t func);
  // Extra milliseconds before func's reply.
  int delayFor(uint16_t func) const;
};

}  // namespace kelvor::sim::dispatch
