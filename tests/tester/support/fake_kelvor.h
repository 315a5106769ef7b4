// An in-process scripted controller library. Every call is recorded with all its arguments as
// text: integers in decimal, floats with 9 significant digits (exact for a float), in-arrays in
// full as [a,b,...], strings quoted with their exact bytes, null pointers as null, out-arguments
// as "out" (with their element count) and output buffers as "buf". Results and outputs come
// from a per-function script; an unscripted call succeeds and writes zeros.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ctrllib/kelvor_api.h"

struct FakeCall {
  std::string name;               // "klv_MoveT"
  std::vector<std::string> args;  // {"1", "\"@0\"", "[0,0,...]", "null"}
  std::string text() const;       // klv_MoveT(1,"@0",[0,...],null)
};

struct FakeReply {
  int32_t result = 0;
  // Values written to the out-arguments in order: a scalar takes values[0], an array its
  // elements, klv_get_LinkParam SS then AA. Written even on failure, as a careless library
  // might, so tests see that failed outputs are never used.
  std::vector<double> values;
  std::optional<std::string> text;  // written into an output buffer
  bool nul = true;                  // false: the text is written without a terminating NUL
  std::function<void()> action;     // runs during the call, before it returns
};

// A reply with a result and the values written to the out-arguments.
inline FakeReply reply(int32_t result, std::vector<double> values = {}) {
  FakeReply r;
  r.result = result;
  r.values = std::move(values);
  return r;
}

// A reply writing one value to the out-argument.
inline FakeReply value(double v, int32_t result = 0) { return reply(result, {v}); }

class FakeKelvor : public KelvorApi {
 public:
  // Queue a reply for the next call of fn ("klv_get_Speed" or "get_Speed").
  void script(const std::string& fn, FakeReply reply);
  void script(const std::string& fn, int32_t result) {
    script(fn, FakeReply{result, {}, {}, true, {}});
  }
  // The reply for every call of fn once its queue is empty.
  void always(const std::string& fn, FakeReply reply);
  void always(const std::string& fn, int32_t result) {
    always(fn, FakeReply{result, {}, {}, true, {}});
  }

  const std::vector<FakeCall>& calls() const { return calls_; }
  std::vector<std::string> names() const;  // the function names in call order
  std::vector<std::string> texts() const;  // every call as text
  std::optional<FakeCall> last(const std::string& fn) const;
  int count(const std::string& fn) const;
  void clear() { calls_.clear(); }

  KELVOR_API_FUNCTIONS(KELVOR_DECLARE_OVERRIDE)

 private:
  FakeReply take(const std::string& name, std::vector<std::string> args);

  std::vector<FakeCall> calls_;
  std::map<std::string, std::deque<FakeReply>> queued_;
  std::map<std::string, FakeReply> always_;
};

// Argument text, as recorded: for building expected calls in tests.
namespace fakearg {
std::string i(int32_t v);
std::string f(float v);
std::string d(double v);
std::string s(const char* v);  // quoted, or null
std::string floats(const float* v, int n);
std::string floats(std::initializer_list<float> v);
}  // namespace fakearg
