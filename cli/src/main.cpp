// klv: calls any function of the controller library from a shell.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>

#include "runner.h"

namespace {

const char* const kDescription =
    "klv: call any function of the Kelvor controller library (libkelvor.so.1) from a shell.\n"
    "\n"
    "FUNCTION is the name without klv_ (get_MotorState). Numbers are written with a point\n"
    "whatever the locale; an array (P, J, T, ...) is one argument with its numbers\n"
    "separated by blanks or commas: klv DriveA @0 \"0 10 20 0 90 0 0 0 0\" \"\"\n"
    "-f runs one call per line of FILE (- for stdin), words quoted as in a POSIX shell.\n";

// A day: longer intervals are surely typing mistakes (and would overflow the clock).
constexpr int64_t kMaxIntervalMs = 86'400'000;

const char* const kFooter =
    "Exit status: 0 success, 1 a call or the connect failed (the code is printed in\n"
    "hexadecimal with its text), 2 bad options or arguments (the usage line of the function\n"
    "is printed).\n"
    "\n"
    "KELVOR_TRACE=FILE (or stderr) makes the library append one line per call to FILE;\n"
    "KELVOR_TRACE_FRAMES=1 adds every frame sent and received in hexadecimal.";

// The call after the options is not a CLI11 positional; the usage line names it.
class Formatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App*, std::string) const override {
    return "Usage: klv [OPTIONS] FUNCTION [ARGS...]\n"
           "       klv [OPTIONS] -f FILE\n"
           "       klv --list\n";
  }
};

int run(int argc, char** argv) {
  using namespace kelvor::cli;
  Options opt;
  std::string file;
  int64_t repeat = 1;
  int64_t intervalMs = 1000;
  bool list = false;

  CLI::App app{kDescription, "klv"};
  app.footer(kFooter);
  app.formatter(std::make_shared<Formatter>());
  app.add_option("-c,--connection", opt.connection,
                 "connection string: eth:HOST[:PORT] or com:N:BAUDP:D:S")
      ->capture_default_str();
  app.add_option("-t,--timeout", opt.timeoutMs,
                 "reply timeout in ms; 0 is the library's default (1000)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_flag("--json", opt.json, "print one JSON object per call");
  auto* fileOpt = app.add_option("-f,--file", file, "run one call per line of FILE; - is stdin");
  app.add_flag("--keep-going", opt.keepGoing, "go on after a failed call or a bad line");
  auto* repeatOpt =
      app.add_option("--repeat", repeat, "make the call N times; 0 repeats until interrupted")
          ->check(CLI::NonNegativeNumber)
          ->capture_default_str();
  app.add_option("--interval", intervalMs, "ms from the start of one call to the next")
      ->check(CLI::Range(int64_t{0}, kMaxIntervalMs))
      ->capture_default_str();
  app.add_flag("--list", list, "list every function with its arguments and exit");
  // FUNCTION and everything after it are the call: "-5" there is a number, not an option.
  app.prefix_command();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "klv: " << e.what() << "\nRun klv --help for the options.\n";
    return kExitUsage;
  }

  if (list) {
    printList(std::cout);
    return kExitOk;
  }
  std::vector<std::string> words = app.remaining();
  if (!words.empty() && words.front() == "--") {
    words.erase(words.begin());
  } else if (!words.empty() && words.front().starts_with("-")) {
    std::cerr << "klv: unknown option " << words.front() << "; klv --help lists the options\n";
    return kExitUsage;
  }
  if (fileOpt->count() > 0) {
    if (!words.empty() || repeatOpt->count() > 0) {
      std::cerr << "klv: -f runs the calls of a file; give no FUNCTION and no --repeat with it\n";
      return kExitUsage;
    }
    Runner runner(opt, std::cout, std::cerr);
    if (file == "-") return runner.script(std::cin, "stdin");
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      std::cerr << "klv: cannot read " << file << '\n';
      return kExitUsage;
    }
    return runner.script(in, file);
  }
  if (words.empty()) {
    std::cerr << "klv: no FUNCTION given. Run klv --list for the functions, klv --help for the "
                 "options.\n";
    return kExitUsage;
  }
  Runner runner(opt, std::cout, std::cerr);
  Call call;
  if (!runner.parse(words, call)) return kExitUsage;
  return runner.repeat(call, repeat, std::chrono::milliseconds(intervalMs));
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "klv: " << e.what() << '\n';
    return kelvor::cli::kExitFailed;
  }
}
