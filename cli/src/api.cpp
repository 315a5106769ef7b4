#include "api.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>

#include "kelvor.h"
#include "kelvor/protocol.h"

namespace kelvor::cli {
namespace {

// Hello is the protocol's handshake, which klv_Connect performs: it has no C function.
[[maybe_unused]] constexpr std::nullptr_t klv_Hello = nullptr;

// Room for any string the protocol can carry, and its terminating NUL.
constexpr int32_t kStringCapacity = static_cast<int32_t>(proto::kMaxString) + 1;

struct Doc {
  std::string_view name;
  std::string_view params;
  std::string_view line;
};

constexpr Doc kDocs[] = {
#define KLV_DOC(name, params, line) {name, params, line},
#include "kelvor_doc.inc"
#undef KLV_DOC
};

constexpr const Doc* findDoc(std::string_view name) {
  for (const Doc& d : kDocs) {
    if (d.name == name) return &d;
  }
  return nullptr;
}

constexpr size_t countWords(std::string_view s) {
  size_t n = 0;
  bool inWord = false;
  for (char c : s) {
    if (c != ' ' && !inWord) ++n;
    inWord = c != ' ';
  }
  return n;
}

// How a C parameter type takes part in a call, one letter each:
//   i f d s   int32_t, float, double, const char*: an input of that signature character
//   a         const float*: an input array
//   I F D     int32_t*, float*, double*: an output (F also an output array)
//   S         char*: an output string, whose size follows as an int32_t
template <class T>
constexpr char cClass() {
  if constexpr (std::is_same_v<T, int32_t>) return 'i';
  if constexpr (std::is_same_v<T, float>) return 'f';
  if constexpr (std::is_same_v<T, double>) return 'd';
  if constexpr (std::is_same_v<T, const char*>) return 's';
  if constexpr (std::is_same_v<T, const float*>) return 'a';
  if constexpr (std::is_same_v<T, int32_t*>) return 'I';
  if constexpr (std::is_same_v<T, float*>) return 'F';
  if constexpr (std::is_same_v<T, double*>) return 'D';
  if constexpr (std::is_same_v<T, char*>) return 'S';
  return '?';
}

template <class F>
struct FnTraits;
template <class... P>
struct FnTraits<int32_t (*)(P...)> {
  using Params = std::tuple<P...>;
  static constexpr size_t kCount = sizeof...(P);
  static constexpr std::array<char, sizeof...(P)> kClasses{cClass<P>()...};
};

struct Classes {
  std::array<char, 64> c{};
  size_t n = 0;
  constexpr void push(char x) { c[n++] = x; }
};

// The C parameter classes a signature demands: the request's fields, then the reply's
// outputs; an output string is a (char* buf, int32_t size) pair.
constexpr Classes expectedClasses(std::string_view request, std::string_view reply) {
  Classes out;
  for (char ch : request) out.push(ch == 'i' || ch == 'f' || ch == 'd' || ch == 's' ? ch : 'a');
  for (char ch : reply) {
    switch (ch) {
      case 'i':
        out.push('I');
        break;
      case 'd':
        out.push('D');
        break;
      case 's':
        out.push('S');
        out.push('i');
        break;
      default:  // f and the arrays
        out.push('F');
        break;
    }
  }
  return out;
}

template <auto Fn>
constexpr bool followsSignature(std::string_view request, std::string_view reply) {
  if constexpr (std::is_null_pointer_v<decltype(Fn)>) {
    return true;
  } else {
    using T = FnTraits<decltype(Fn)>;
    const Classes want = expectedClasses(request, reply);
    if (want.n != T::kCount) return false;
    for (size_t k = 0; k < T::kCount; ++k) {
      if (want.c[k] != T::kClasses[k]) return false;
    }
    return true;
  }
}

template <auto Fn>
constexpr bool documented(std::string_view name) {
  if constexpr (std::is_null_pointer_v<decltype(Fn)>) {
    return true;
  } else {
    const Doc* d = findDoc(name);
    return d && countWords(d->params) == FnTraits<decltype(Fn)>::kCount;
  }
}

// What each C parameter receives: an input, an output, or the size of an output string.
enum class Role { kInput, kOutput, kSize };
struct Slot {
  Role role;
  size_t index;  // into the inputs or the outputs
};

template <size_t N>
constexpr std::array<Slot, N> slotsOf(const std::array<char, N>& classes) {
  std::array<Slot, N> slots{};
  size_t in = 0;
  size_t out = 0;
  for (size_t k = 0; k < N; ++k) {
    const char c = classes[k];
    if (c == 'i' && k > 0 && classes[k - 1] == 'S') {
      slots[k] = {Role::kSize, out - 1};
    } else if (c == 'I' || c == 'F' || c == 'D' || c == 'S') {
      slots[k] = {Role::kOutput, out++};
    } else {
      slots[k] = {Role::kInput, in++};
    }
  }
  return slots;
}

template <class T>
T argument(Slot slot, const std::vector<Value>& in, std::vector<Value>& out) {
  if constexpr (std::is_same_v<T, int32_t>) {
    if (slot.role == Role::kSize) return kStringCapacity;
    return std::get<int32_t>(in[slot.index]);
  } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
    return std::get<T>(in[slot.index]);
  } else if constexpr (std::is_same_v<T, const char*>) {
    return std::get<std::string>(in[slot.index]).c_str();
  } else if constexpr (std::is_same_v<T, const float*>) {
    return std::get<std::vector<float>>(in[slot.index]).data();
  } else if constexpr (std::is_same_v<T, float*>) {
    Value& v = out[slot.index];
    if (auto* f = std::get_if<float>(&v)) return f;
    return std::get<std::vector<float>>(v).data();
  } else if constexpr (std::is_same_v<T, char*>) {
    return std::get<std::string>(out[slot.index]).data();
  } else {
    return &std::get<std::remove_pointer_t<T>>(out[slot.index]);
  }
}

template <auto Fn, size_t... K>
int32_t invokeWith(const std::vector<Value>& in, std::vector<Value>& out,
                   std::index_sequence<K...>) {
  using T = FnTraits<decltype(Fn)>;
  [[maybe_unused]] constexpr auto slots = slotsOf(T::kClasses);
  return Fn(argument<std::tuple_element_t<K, typename T::Params>>(slots[K], in, out)...);
}

template <auto Fn>
int32_t invoke(const std::vector<Value>& in, std::vector<Value>& out) {
  return invokeWith<Fn>(in, out, std::make_index_sequence<FnTraits<decltype(Fn)>::kCount>{});
}

template <auto Fn>
constexpr Function entry(std::string_view name, std::string_view request, std::string_view reply,
                         bool needsConnection) {
  if constexpr (std::is_null_pointer_v<decltype(Fn)>) {
    return {name, request, reply, {}, {}, needsConnection, nullptr};
  } else {
    const Doc* d = findDoc(name);
    return {name, request, reply, d->params, d->line, needsConnection, &invoke<Fn>};
  }
}

#define KLV_FUNC(id, name, request, reply, kind)                                          \
  static_assert(followsSignature<klv_##name>(request, reply),                             \
                "klv_" #name ": the parameters in kelvor.h do not follow functions.def"); \
  static_assert(documented<klv_##name>(#name),                                            \
                "klv_" #name ": kelvor.h names a different number of parameters");
#include "kelvor/functions.def"
#undef KLV_FUNC
static_assert(followsSignature<klv_ErrorText>("i", "s"));
static_assert(documented<klv_ErrorText>("ErrorText"));

constexpr Function kAll[] = {
#define KLV_FUNC(id, name, request, reply, kind) entry<klv_##name>(#name, request, reply, true),
#include "kelvor/functions.def"
#undef KLV_FUNC
    // Needs no connection: a text for any result code.
    entry<klv_ErrorText>("ErrorText", "i", "s", false),
};

const std::vector<Function>& callable() {
  static const std::vector<Function> list = [] {
    std::vector<Function> v;
    for (const Function& f : kAll) {
      if (f.invoke) v.push_back(f);
    }
    return v;
  }();
  return list;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < s.size()) {
    const size_t end = std::min(s.find(' ', i), s.size());
    if (end > i) out.push_back(s.substr(i, end - i));
    i = end + 1;
  }
  return out;
}

}  // namespace

std::vector<Param> Function::inputs() const {
  const auto names = words(params);
  std::vector<Param> out;
  for (size_t k = 0; k < request.size(); ++k) out.push_back({names[k], request[k]});
  return out;
}

std::vector<Param> Function::outputs() const {
  const auto names = words(params);
  std::vector<Param> out;
  size_t k = request.size();
  for (char c : reply) {
    out.push_back({names[k], c});
    k += c == 's' ? 2 : 1;  // a string's size parameter is not an output
  }
  return out;
}

std::span<const Function> functions() { return callable(); }

const Function* findFunction(std::string_view name) {
  if (name.starts_with("klv_")) name.remove_prefix(4);
  for (const Function& f : callable()) {
    if (f.name == name) return &f;
  }
  for (const Function& f : callable()) {
    if (equalsIgnoringCase(f.name, name)) return &f;
  }
  return nullptr;
}

std::string_view docLine(std::string_view name) {
  const Doc* d = findDoc(name);
  return d ? d->line : std::string_view();
}

std::vector<Value> prepareOutputs(std::string_view sig) {
  std::vector<Value> out;
  for (char c : sig) {
    switch (c) {
      case 'i':
        out.emplace_back(int32_t{0});
        break;
      case 'f':
        out.emplace_back(0.0f);
        break;
      case 'd':
        out.emplace_back(0.0);
        break;
      case 's':
        out.emplace_back(std::string(static_cast<size_t>(kStringCapacity), '\0'));
        break;
      default:
        out.emplace_back(std::vector<float>(proto::arrayLength(c), 0.0f));
        break;
    }
  }
  return out;
}

void finishOutputs(std::vector<Value>& out) {
  for (Value& v : out) {
    if (auto* s = std::get_if<std::string>(&v)) s->resize(std::strlen(s->c_str()));
  }
}

}  // namespace kelvor::cli
