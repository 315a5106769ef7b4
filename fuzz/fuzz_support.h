// What the fuzz targets share: the check of an invariant, and reading the input front to back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kelvor::fuzz {

// Aborts, which the fuzzer reports with the input, when an invariant does not hold.
inline void require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
  }
}

// The fuzz input, read front to back; missing bytes read as 0.
class Script {
 public:
  Script(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  uint8_t u8() { return p_ < end_ ? *p_++ : 0; }
  uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
  uint32_t u32() { return u16() | (static_cast<uint32_t>(u16()) << 16); }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  std::vector<uint8_t> bytes(size_t n) {
    n = std::min(n, static_cast<size_t>(end_ - p_));
    std::vector<uint8_t> out(p_, p_ + n);
    p_ += n;
    return out;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

}  // namespace kelvor::fuzz
