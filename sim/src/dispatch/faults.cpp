#include "dispatch/faults.h"

#include <cerrno>
#include <cstdlib>

#include "kelvor/protocol.h"

namespace kelvor::sim::dispatch {

namespace {

const proto::FuncInfo* funcByName(std::string name) {
  if (name.rfind("klv_", 0) == 0) name = name.substr(4);
  return proto::findFunc(std::string_view(name));
}

bool parseInt(const std::string& s, long long lo, long long hi, long long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s.c_str(), &end, 0);
  if (*end != '\0' || errno != 0 || v < lo || v > hi) return false;
  out = v;
  return true;
}

}  // namespace

std::optional<FailRule> parseFailRule(const std::string& text, std::string& error) {
  const auto eq = text.find('=');
  if (eq == std::string::npos) {
    error = "expected FUNC=CODE[:once|:always|:N], got '" + text + "'";
    return std::nullopt;
  }
  const proto::FuncInfo* f = funcByName(text.substr(0, eq));
  if (!f) {
    error = "unknown function '" + text.substr(0, eq) + "'";
    return std::nullopt;
  }
  std::string rest = text.substr(eq + 1);
  std::string count = "once";
  const auto colon = rest.find(':');
  if (colon != std::string::npos) {
    count = rest.substr(colon + 1);
    rest = rest.substr(0, colon);
  }
  FailRule rule;
  rule.func = f->id;
  long long code = 0;
  if (!parseInt(rest, -0x80000000LL, 0xFFFFFFFFLL, code)) {
    error = "bad code '" + rest + "'";
    return std::nullopt;
  }
  rule.code = static_cast<int32_t>(static_cast<uint32_t>(code & 0xFFFFFFFF));
  long long n = 0;
  if (count == "once") {
    rule.remaining = 1;
  } else if (count == "always") {
    rule.remaining = -1;
  } else if (parseInt(count, 1, 1000000000, n)) {
    rule.remaining = static_cast<int>(n);
  } else {
    error = "bad count '" + count + "' (once, always or a number)";
    return std::nullopt;
  }
  return rule;
}

std::optional<DelayRule> parseDelayRule(const std::string& text, std::string& error) {
  const auto eq = text.find('=');
  const proto::FuncInfo* f = eq == std::string::npos ? nullptr : funcByName(text.substr(0, eq));
  long long ms = 0;
  if (!f || !parseInt(text.substr(eq + 1), 0, 3600000, ms)) {
    error = "expected FUNC=MS with a known function, got '" + text + "'";
    return std::nullopt;
  }
  return DelayRule{f->id, static_cast<int>(ms)};
}

std::optional<int32_t> Faults::takeFailure(uint16_t func) {
  for (FailRule& r : fails) {
    if (r.func != func || r.remaining == 0) continue;
    if (r.remaining > 0) --r.remaining;
    return r.code;
  }
  return std::nullopt;
}

int Faults::delayFor(uint16_t func) const {
  int ms = 0;
  for (const DelayRule& r : delays) {
    if (r.func == func) ms += r.ms;
  }
  return ms;
}

}  // namespace kelvor::sim::dispatch
