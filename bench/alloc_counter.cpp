#include "alloc_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

// The C library's own allocator, under the names it exports besides malloc.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t n, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {
std::atomic<uint64_t> counted{0};
}

namespace kelvor::bench {
uint64_t allocations() { return counted.load(std::memory_order_relaxed); }
}  // namespace kelvor::bench

extern "C" {

void* malloc(size_t size) {
  counted.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}

void* calloc(size_t n, size_t size) {
  counted.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(n, size);
}

void* realloc(void* p, size_t size) {
  counted.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
  counted.fetch_add(1, std::memory_order_relaxed);
  return __libc_memalign(alignment, size);
}

void* memalign(size_t alignment, size_t size) {
  counted.fetch_add(1, std::memory_order_relaxed);
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
  counted.fetch_add(1, std::memory_order_relaxed);
  void* p = __libc_memalign(alignment, size);
  if (!p) return ENOMEM;
  *out = p;
  return 0;
}

}  // extern "C"
