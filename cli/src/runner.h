// Runs calls given as words (a function name, then its arguments) over one connection, and
// prints what they return.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "api.h"

namespace kelvor::cli {

// Exit status of klv.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a call (or the connect) returned a non-zero code
inline constexpr int kExitUsage = 2;   // bad options, arguments or script lines

struct Options {
  std::string connection = "eth:127.0.0.1";
  int32_t timeoutMs = 0;  // 0: the library's default
  bool json = false;
  bool keepGoing = false;
};

struct Call {
  const Function* function = nullptr;
  std::vector<Value> inputs;
};

class Runner {
 public:
  Runner(Options options, std::ostream& out, std::ostream& err);
  ~Runner();  // disconnects
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Reads words into call. On bad input prints what is wrong and the function's usage line
  // to err, each message starting with where ("file:3: "), and returns false.
  bool parse(const std::vector<std::string>& words, Call& call, std::string_view where = {});
  // Connects first when needed, calls, prints. Returns kExitOk or kExitFailed.
  int run(const Call& call, std::string_view where = {});
  // One call per line of in; name is used in messages. Stops at the first line that fails
  // unless keepGoing; the result is the worst exit status of all lines.
  int script(std::istream& in, std::string_view name);
  // The call count times (0: until interrupted), one every interval, measured from the start
  // of one call to the start of the next.
  int repeat(const Call& call, int64_t count, std::chrono::milliseconds interval);

  // False once the connect has failed: nothing more can run.
  bool usable() const { return usable_; }

 private:
  int connect(std::string_view where);
  void printText(const Call& call, const std::vector<Value>& outputs);
  void printJson(const Call& call, int32_t rc, const std::vector<Value>& outputs, double ms);

  Options options_;
  std::ostream& out_;
  std::ostream& err_;
  bool connected_ = false;
  bool usable_ = true;
};

// "DriveA <path:string> <j:J[9]> <next:string>", "get_VarS <no:int> -> buf:string".
std::string signatureText(const Function& f);
// Every function with its signature and kelvor.h's line, then the array layouts.
void printList(std::ostream& out);
// klv_ErrorText of code.
std::string errorText(int32_t code);
// "0x1001", "0x80000007": the code in upper-case hexadecimal, as the tester shows it.
std::string hexCode(int32_t code);

}  // namespace kelvor::cli
