// The library's functions as klv calls them: every function of the protocol's function
// list that kelvor.h declares, plus klv_ErrorText. Signatures come from functions.def,
// parameter names and the line shown by --list from kelvor.h itself; the compiler checks that
// the C parameters of every function follow its signature.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kelvor::cli {

// One argument or output: i int32, f float, d double, s string, arrays as floats.
using Value = std::variant<int32_t, float, double, std::string, std::vector<float>>;

struct Param {
  std::string_view name;  // as kelvor.h names it
  char sig;               // its signature character
};

struct Function {
  std::string_view name;     // without the klv_ prefix
  std::string_view request;  // signature of the inputs
  std::string_view reply;    // signature of the outputs
  std::string_view params;   // kelvor.h's parameter names, blank-separated, in C order
  std::string_view doc;      // the line of kelvor.h that describes the function
  bool needsConnection;
  // Calls the C function with in (one Value per request character) and fills out (prepared
  // by prepareOutputs). Returns the function's result code.
  int32_t (*invoke)(const std::vector<Value>& in, std::vector<Value>& out);

  std::vector<Param> inputs() const;
  std::vector<Param> outputs() const;
};

// Every callable function: functions.def's order, then ErrorText.
std::span<const Function> functions();
// The function named name (without or with the klv_ prefix; case is ignored when the exact
// spelling is not found), or nullptr.
const Function* findFunction(std::string_view name);
// kelvor.h's line for any klv_ function by name (also Connect and Disconnect), or "".
std::string_view docLine(std::string_view name);

// Output values of the right types and sizes for sig, ready for Function::invoke.
std::vector<Value> prepareOutputs(std::string_view sig);
// After invoke: cuts string outputs at their terminating NUL.
void finishOutputs(std::vector<Value>& out);

}  // namespace kelvor::cli
