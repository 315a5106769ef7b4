// The simulator's state-file loader on arbitrary text.
//
// Input: the file's text.
// Invariants: an accepted file holds only what requests could have stored (strings of at most
// 1024 bytes, I/O values 0 or 1, finite definitions and position), and what it holds is written
// back as a file that loads to the same state, bit for bit; a refused file changes nothing.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "model/state_file.h"

namespace {

using namespace kelvor::sim::model;

using kelvor::fuzz::require;

template <class Table>
bool finiteRecords(const Table& table) {
  for (const auto& record : table) {
    for (float v : record) {
      if (!std::isfinite(v)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  PersistentState state;
  state.varI[0] = 12345;
  std::string error;
  if (!parseState(text, state, error)) {
    require(!error.empty(), "a refusal says why");
    require(state.varI[0] == 12345, "a refused file changes nothing");
    return 0;
  }
  for (const std::string& s : state.varS) require(s.size() <= kMaxVarS, "strings fit a request");
  for (int32_t io : state.varIO) require(io == 0 || io == 1, "I/O values are 0 or 1");
  require(finiteRecords(state.tools) && finiteRecords(state.works), "definitions are finite");
  for (double j : state.joints) require(std::isfinite(j), "the position is finite");

  const std::string written = formatState(state);
  PersistentState back;
  require(parseState(written, back, error), "what is written loads");
  require(formatState(back) == written, "it loads to the same state");
  return 0;
}
