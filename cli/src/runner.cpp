#include "runner.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <istream>
#include <ostream>
#include <thread>

#include "kelvor.h"
#include "kelvor/protocol.h"
#include "script.h"
#include "values.h"

namespace kelvor::cli {
namespace {

// Longest script line klv reads; a longer one is refused, not stored.
constexpr size_t kMaxLine = 64 * 1024;

std::string where(std::string_view prefix) { return "klv: " + std::string(prefix); }

// Reads one line (without its end) into line. Returns false at the end of the input. A line
// longer than kMaxLine is skipped to its end and reported through tooLong.
bool readLine(std::istream& in, std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  std::streambuf* sb = in.rdbuf();
  bool any = false;
  for (;;) {
    const int c = sb->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      return any;
    }
    any = true;
    if (c == '\n') break;
    if (line.size() < kMaxLine) {
      line += static_cast<char>(c);
    } else {
      tooLong = true;
    }
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();  // lines written on Windows
  return true;
}

std::string millisecondsText(double ms) {
  char buf[32];
  const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, ms, std::chars_format::fixed, 3);
  return ec == std::errc() ? std::string(buf, p) : std::string("0");
}

}  // namespace

std::string hexCode(int32_t code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", static_cast<uint32_t>(code));
  return buf;
}

std::string errorText(int32_t code) {
  char buf[256];
  if (klv_ErrorText(code, buf, sizeof buf) != KLV_OK) return {};
  return buf;
}

std::string signatureText(const Function& f) {
  std::string s(f.name);
  for (const Param& p : f.inputs()) s += " <" + std::string(p.name) + ':' + kindText(p.sig) + '>';
  const auto outs = f.outputs();
  for (size_t k = 0; k < outs.size(); ++k) {
    s += k == 0 ? " -> " : ", ";
    s += std::string(outs[k].name) + ':' + kindText(outs[k].sig);
  }
  return s;
}

void printList(std::ostream& out) {
  out << "Functions (klv FUNCTION ARGS...; -> names what a call prints):\n\n";
  for (const Function& f : functions()) {
    out << signatureText(f) << "\n    " << f.doc << '\n';
  }
  out << "\nCalled by klv itself:\n\n"
      << "Connect (before the first call: -c CONNECTION, -t TIMEOUT_MS)\n    " << docLine("Connect")
      << '\n'
      << "Disconnect (after the last call)\n    " << docLine("Disconnect") << '\n'
      << "\nAn array is one argument: its numbers separated by blanks or commas.\n";
  for (char sig : std::string_view("VHPJTAK")) {
    out << "  " << kindText(sig) << (kindText(sig).size() < 5 ? "  " : " ");
    for (std::string_view n : proto::elementNames(sig)) out << ' ' << n;
    out << '\n';
  }
}

Runner::Runner(Options options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)), out_(out), err_(err) {}

Runner::~Runner() {
  if (connected_) klv_Disconnect();
}

bool Runner::parse(const std::vector<std::string>& words, Call& call, std::string_view where) {
  const std::string head = cli::where(where);
  if (words.empty()) {
    err_ << head << "no function given\n";
    return false;
  }
  const std::string& name = words[0];
  const Function* f = findFunction(name);
  if (!f) {
    std::string_view bare = name;
    if (bare.starts_with("klv_")) bare.remove_prefix(4);
    if (bare == "Connect" || bare == "Disconnect") {
      err_ << head << bare
           << " is called by klv itself: -c CONNECTION and -t TIMEOUT_MS choose the "
              "connection, and klv disconnects after the last call\n";
    } else {
      err_ << head << "no function named \"" << name << "\"; klv --list shows them all\n";
    }
    return false;
  }
  const auto inputs = f->inputs();
  const auto usage = [&] { err_ << "usage: klv " << signatureText(*f) << '\n'; };
  if (words.size() - 1 != inputs.size()) {
    err_ << head << f->name << " takes " << inputs.size()
         << (inputs.size() == 1 ? " argument, " : " arguments, ") << words.size() - 1 << " given\n";
    usage();
    return false;
  }
  call.function = f;
  call.inputs.assign(inputs.size(), Value{});
  for (size_t k = 0; k < inputs.size(); ++k) {
    const std::string err = parseValue(inputs[k].sig, words[k + 1], call.inputs[k]);
    if (!err.empty()) {
      err_ << head << f->name << ": " << inputs[k].name << ": " << err << '\n';
      usage();
      return false;
    }
  }
  return true;
}

int Runner::connect(std::string_view where) {
  std::string conn = options_.connection;  // klv_Connect takes a writable string
  const int32_t rc = klv_Connect(conn.data(), options_.timeoutMs, 0);
  if (rc != KLV_OK) {
    err_ << cli::where(where) << "cannot connect to " << options_.connection << " (" << hexCode(rc)
         << "): " << errorText(rc) << '\n';
    usable_ = false;
    return kExitFailed;
  }
  connected_ = true;
  return kExitOk;
}

int Runner::run(const Call& call, std::string_view where) {
  if (!usable_) return kExitFailed;
  if (call.function->needsConnection && !connected_ && connect(where) != kExitOk) {
    return kExitFailed;
  }
  std::vector<Value> outputs = prepareOutputs(call.function->reply);
  const auto start = std::chrono::steady_clock::now();
  const int32_t rc = call.function->invoke(call.inputs, outputs);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  finishOutputs(outputs);
  if (options_.json) {
    printJson(call, rc, outputs, took.count());
  } else if (rc == KLV_OK) {
    printText(call, outputs);
  } else {
    err_ << cli::where(where) << call.function->name << " failed (" << hexCode(rc)
         << "): " << errorText(rc) << '\n';
  }
  out_.flush();
  return rc == KLV_OK ? kExitOk : kExitFailed;
}

void Runner::printText(const Call& call, const std::vector<Value>& outputs) {
  const auto params = call.function->outputs();
  for (size_t k = 0; k < outputs.size(); ++k) {
    if (outputs.size() > 1) out_ << params[k].name << ": ";
    out_ << displayText(params[k].sig, outputs[k]) << '\n';
  }
}

void Runner::printJson(const Call& call, int32_t rc, const std::vector<Value>& outputs, double ms) {
  std::string j = "{\"function\":";
  appendJsonString(j, call.function->name);
  j += ",\"arguments\":{";
  const auto inputs = call.function->inputs();
  for (size_t k = 0; k < inputs.size(); ++k) {
    if (k) j += ',';
    appendJsonString(j, inputs[k].name);
    j += ':';
    appendJsonValue(j, call.inputs[k]);
  }
  j += "},\"result\":" + std::to_string(rc) + ",\"result_hex\":";
  appendJsonString(j, hexCode(rc));
  j += ",\"result_text\":";
  appendJsonString(j, errorText(rc));
  j += ",\"outputs\":{";
  if (rc == KLV_OK) {
    const auto params = call.function->outputs();
    for (size_t k = 0; k < outputs.size(); ++k) {
      if (k) j += ',';
      appendJsonString(j, params[k].name);
      j += ':';
      appendJsonValue(j, outputs[k]);
    }
  }
  j += "},\"milliseconds\":" + millisecondsText(ms) + "}\n";
  out_ << j;
}

int Runner::script(std::istream& in, std::string_view name) {
  int worst = kExitOk;
  std::string line;
  std::vector<std::string> words;
  bool tooLong = false;
  for (size_t number = 1; usable_ && readLine(in, line, tooLong); ++number) {
    const std::string at = std::string(name) + ':' + std::to_string(number) + ": ";
    int status = kExitOk;
    if (tooLong) {
      err_ << where(at) << "the line is longer than " << kMaxLine << " bytes\n";
      status = kExitUsage;
    } else if (line.find('\0') != std::string::npos) {
      err_ << where(at) << "the line holds a NUL byte\n";
      status = kExitUsage;
    } else if (const std::string err = splitWords(line, words); !err.empty()) {
      err_ << where(at) << err << '\n';
      status = kExitUsage;
    } else if (!words.empty()) {
      Call call;
      status = parse(words, call, at) ? run(call, at) : kExitUsage;
    }
    worst = std::max(worst, status);
    if (status != kExitOk && !options_.keepGoing) break;
  }
  if (in.bad()) {
    err_ << where(std::string(name) + ": ") << "read error\n";
    worst = std::max(worst, kExitUsage);
  }
  return usable_ ? worst : std::max(worst, kExitFailed);
}

int Runner::repeat(const Call& call, int64_t count, std::chrono::milliseconds interval) {
  int worst = kExitOk;
  auto next = std::chrono::steady_clock::now();
  for (int64_t k = 0; (count == 0 || k < count) && usable_; ++k) {
    if (k > 0) {
      // A call that took longer than the interval delays the next one; they do not bunch up.
      next = std::max(next + interval, std::chrono::steady_clock::now());
      std::this_thread::sleep_until(next);
    }
    const int status = run(call);
    worst = std::max(worst, status);
    if (status != kExitOk && !options_.keepGoing) break;
  }
  return worst;
}

}  // namespace kelvor::cli
