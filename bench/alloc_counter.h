// Counts the heap allocations of the whole program: this file's malloc family replaces the C
// library's for every caller (operator new included) and counts before it allocates. Link
// alloc_counter.cpp into a benchmark to use it.
#pragma once

#include <cstdint>

namespace kelvor::bench {

// Allocations made so far by any thread.
uint64_t allocations();

}  // namespace kelvor::bench
