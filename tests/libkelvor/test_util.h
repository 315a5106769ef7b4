#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "kelvor.h"

namespace kelvor::test {

// True in a build under AddressSanitizer, where everything runs several times slower and
// freed memory is held in quarantine: time and memory bounds there get more room.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

// klv_Connect with a writable copy of the string, as the tester passes it.
inline int32_t connect(const std::string& conn, int32_t timeoutMs = 400, int32_t flags = 0) {
  std::vector<char> buf(conn.begin(), conn.end());
  buf.push_back('\0');
  const int32_t rc = klv_Connect(buf.data(), timeoutMs, flags);
  std::memset(buf.data(), 'x', buf.size() - 1);  // the library must not keep the buffer
  return rc;
}

template <class T>
bool sameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

inline std::string errorDescription() {
  char buf[256];
  if (klv_get_ErrorDescription(buf, sizeof buf) != KLV_OK) return "<failed>";
  return buf;
}

}  // namespace kelvor::test
