#include "values.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "kelvor.h"
#include "kelvor/protocol.h"

namespace kelvor::cli {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view t) {
  while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
  return t;
}

bool printable(std::string_view s) {
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

// The text in double quotes with C escapes: for messages and strings with control characters.
std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", u);
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out + '"';
}

std::string parseInt(std::string_view text, int32_t& out) {
  const std::string_view t = trimBlanks(text);
  const char* end = t.data() + t.size();
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    uint64_t v = 0;
    const auto [p, ec] = std::from_chars(t.data() + 2, end, v, 16);
    if (ec == std::errc::invalid_argument || p != end) return quoted(text) + " is not an integer";
    if (ec == std::errc::result_out_of_range || v > 0xFFFFFFFFu) {
      return quoted(text) + " is beyond 0xFFFFFFFF";
    }
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return {};
  }
  const char* b = t.data();
  if (t.size() > 1 && t[0] == '+' && t[1] != '-') ++b;
  int64_t v = 0;
  const auto [p, ec] = std::from_chars(b, end, v, 10);
  if (ec == std::errc::invalid_argument || p != end || b == end) {
    return quoted(text) + " is not an integer";
  }
  if (ec == std::errc::result_out_of_range || v < INT32_MIN || v > INT32_MAX) {
    return quoted(text) + " is not within -2147483648 to 2147483647";
  }
  out = static_cast<int32_t>(v);
  return {};
}

template <class F>
std::string parseFloating(std::string_view text, F& out, const char* range) {
  const std::string_view t = trimBlanks(text);
  const char* end = t.data() + t.size();
  const char* b = t.data();
  if (t.size() > 1 && t[0] == '+' && t[1] != '-') ++b;
  F v{};
  const auto [p, ec] = std::from_chars(b, end, v, std::chars_format::general);
  if (ec == std::errc::invalid_argument || p != end || b == end) {
    return quoted(text) + " is not a number";
  }
  if (ec == std::errc::result_out_of_range) {
    return quoted(text) + " is not within the range of " + range;
  }
  out = v;
  return {};
}

std::string parseArray(char sig, std::string_view text, std::vector<float>& out) {
  const auto names = proto::elementNames(sig);
  std::vector<std::string_view> items;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (isBlank(text[i]) || text[i] == ',')) ++i;
    const size_t start = i;
    while (i < text.size() && !isBlank(text[i]) && text[i] != ',') ++i;
    if (i > start) items.push_back(text.substr(start, i - start));
  }
  if (items.size() != names.size()) {
    std::string list;
    for (std::string_view n : names) list += (list.empty() ? "" : " ") + std::string(n);
    return kindText(sig) + " needs " + std::to_string(names.size()) + " numbers (" + list + "), " +
           quoted(text) + " has " + std::to_string(items.size());
  }
  out.assign(names.size(), 0.0f);
  for (size_t k = 0; k < items.size(); ++k) {
    const std::string err = parseFloating(items[k], out[k], "a 32-bit float");
    if (!err.empty()) return std::string(names[k]) + ": " + err;
  }
  return {};
}

template <class F>
std::string shortest(F v) {
  char buf[64];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, p) : std::string("?");
}

// Length of the valid UTF-8 sequence at s[i], or 0 when the byte there does not start one.
size_t utf8Length(std::string_view s, size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  size_t n = 0;
  uint32_t cp = 0;
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
    cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    cp = b0 & 0x0Fu;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    cp = b0 & 0x07u;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0u) != 0x80u) return 0;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  if (overlong || surrogate || cp > 0x10FFFF) return 0;
  return n;
}

}  // namespace

std::string kindText(char sig) {
  switch (sig) {
    case 'i':
      return "int";
    case 'f':
      return "float";
    case 'd':
      return "double";
    case 's':
      return "string";
    default:
      return std::string(1, sig) + "[" + std::to_string(proto::arrayLength(sig)) + "]";
  }
}

std::string parseValue(char sig, std::string_view text, Value& out) {
  switch (sig) {
    case 'i': {
      int32_t v = 0;
      std::string err = parseInt(text, v);
      if (err.empty()) out = v;
      return err;
    }
    case 'f': {
      float v = 0;
      std::string err = parseFloating(text, v, "a 32-bit float");
      if (err.empty()) out = v;
      return err;
    }
    case 'd': {
      double v = 0;
      std::string err = parseFloating(text, v, "a 64-bit double");
      if (err.empty()) out = v;
      return err;
    }
    case 's':
      if (text.size() > KLV_MAX_STRING) {
        return "the text is " + std::to_string(text.size()) + " bytes long, at most " +
               std::to_string(KLV_MAX_STRING) + " are allowed";
      }
      out = std::string(text);
      return {};
    default: {
      std::vector<float> v;
      std::string err = parseArray(sig, text, v);
      if (err.empty()) out = std::move(v);
      return err;
    }
  }
}

std::string floatText(float v) { return shortest(v); }
std::string doubleText(double v) { return shortest(v); }

std::string displayText(char sig, const Value& v) {
  if (const auto* i = std::get_if<int32_t>(&v)) return std::to_string(*i);
  if (const auto* f = std::get_if<float>(&v)) return floatText(*f);
  if (const auto* d = std::get_if<double>(&v)) return doubleText(*d);
  if (const auto* s = std::get_if<std::string>(&v)) return printable(*s) ? *s : quoted(*s);
  const auto& a = std::get<std::vector<float>>(v);
  const auto names = proto::elementNames(sig);
  std::string out;
  for (size_t k = 0; k < a.size(); ++k) {
    if (k) out += ' ';
    out += k < names.size() ? std::string(names[k]) : std::to_string(k + 1);
    out += '=';
    out += floatText(a[k]);
  }
  return out;
}

void appendJsonString(std::string& out, std::string_view s) {
  out += '"';
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    const auto u = static_cast<unsigned char>(c);
    const size_t n = utf8Length(s, i);
    if (n > 1) {
      out.append(s.substr(i, n));
      i += n;
      continue;
    }
    ++i;
    switch (c) {
      case '"':
        out += "\\\"";
        continue;
      case '\\':
        out += "\\\\";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      default:
        break;
    }
    if (u < 0x20 || n == 0) {  // control characters, and bytes that are not UTF-8: Latin-1
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04X", u);
      out += esc;
    } else {
      out += c;
    }
  }
  out += '"';
}

void appendJsonValue(std::string& out, const Value& v) {
  if (const auto* i = std::get_if<int32_t>(&v)) {
    out += std::to_string(*i);
  } else if (const auto* f = std::get_if<float>(&v)) {
    out += std::isfinite(*f) ? floatText(*f) : "null";
  } else if (const auto* d = std::get_if<double>(&v)) {
    out += std::isfinite(*d) ? doubleText(*d) : "null";
  } else if (const auto* s = std::get_if<std::string>(&v)) {
    appendJsonString(out, *s);
  } else {
    out += '[';
    bool first = true;
    for (float x : std::get<std::vector<float>>(v)) {
      if (!first) out += ',';
      first = false;
      out += std::isfinite(x) ? floatText(x) : "null";
    }
    out += ']';
  }
}

}  // namespace kelvor::cli
