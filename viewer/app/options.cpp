#include "app/options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdlib>
#include <sstream>

#include "link/poller.h"

namespace kelvor::view {

namespace {

constexpr int kMinSide = 16, kMaxSide = 4096;

const char* kDescription =
    "kelvor-view: a live 3D view of a Kelvor controller's arm.\n"
    "\n"
    "It connects through libkelvor to CONNECTION (\"eth:HOST[:PORT]\" or\n"
    "\"com:N:BAUDP:D:S\", as the library takes it) and only reads: the joints at up to\n"
    "30 Hz; the link parameters, calibration set, current tool and work, areas, motor,\n"
    "mode and error about once a second. A lost controller is retried with a growing\n"
    "wait of up to 8 s.\n";

const char* kFooter =
    "\nIn the window:\n"
    "  left drag: orbit   right or middle drag (or Shift+left): pan   wheel: zoom\n"
    "  F front   S side   T top   I iso   Home or A: fit the arm\n"
    "\nExit status: 0 on success, 1 when --snapshot could not read the controller or\n"
    "write the file, 2 for a command line that is not understood.\n";

constexpr int kMaxPosition = 100000;

// "800x600" to 800 and 600 (separators "xX"), or "40,20" to 40 and 20 (separator ",").
bool parsePair(const std::string& text, const char* separators, int& a, int& b) {
  const auto sep = text.find_first_of(separators);
  if (sep == std::string::npos) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  const auto ra = std::from_chars(begin, begin + sep, a);
  const auto rb = std::from_chars(begin + sep + 1, end, b);
  return ra.ec == std::errc() && ra.ptr == begin + sep && rb.ec == std::errc() && rb.ptr == end;
}

bool parseSize(const std::string& text, int& w, int& h) {
  return parsePair(text, "xX", w, h) && w >= kMinSide && w <= kMaxSide && h >= kMinSide &&
         h <= kMaxSide;
}

bool parsePosition(const std::string& text, int& x, int& y) {
  return parsePair(text, ",", x, y) && std::abs(x) <= kMaxPosition && std::abs(y) <= kMaxPosition;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
  ViewerOptions opt;
  std::string size, position, view = viewName(opt.view);
  CLI::App app{kDescription, "kelvor-view"};
  app.footer(kFooter);
  app.add_option("connection", opt.connection, "the controller's connection string")
      ->type_name("CONNECTION")
      ->capture_default_str();
  app.add_option("--snapshot", opt.snapshot,
                 "render one frame into FILE (PNG) after the first complete read and exit; "
                 "needs no display")
      ->type_name("FILE");
  app.add_option("--size", size, "image or window size (snapshot 800x600, window 1024x768)")
      ->type_name("WxH")
      ->check(
          [](const std::string& s) {
            int w = 0, h = 0;
            return parseSize(s, w, h)
                       ? std::string()
                       : "--size must be WxH, each from " + std::to_string(kMinSide) + " to " +
                             std::to_string(kMaxSide) + " pixels";
          },
          "WxH");
  app.add_option("--position", position,
                 "where the window's top-left corner goes on the screen (the window manager "
                 "may decide otherwise)")
      ->type_name("X,Y")
      ->check(
          [](const std::string& s) {
            int x = 0, y = 0;
            return parsePosition(s, x, y) ? std::string() : "--position must be X,Y in pixels";
          },
          "X,Y");
  app.add_option("--view", view, "the standard view to start with")
      ->check(CLI::IsMember({"iso", "front", "side", "top"}))
      ->capture_default_str();
  app.add_option("--timeout", opt.timeoutMs, "reply timeout of every call in ms")
      ->type_name("MS")
      ->check(CLI::Range(1, 60000))
      ->capture_default_str();
  app.add_option("--rate", opt.rateHz, "how often the joints are read, in Hz")
      ->type_name("HZ")
      ->check(CLI::Range(0.1, kMaxRateHz))
      ->capture_default_str();
  app.add_option("--wait", opt.waitSeconds,
                 "--snapshot: how long to wait for the controller, in seconds")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.1, 3600.0))
      ->capture_default_str();

  std::vector<std::string> argv{"kelvor-view"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> ptrs;
  for (auto& a : argv) ptrs.push_back(a.data());
  ParsedCommandLine result;
  try {
    app.parse(static_cast<int>(ptrs.size()), ptrs.data());
  } catch (const CLI::ParseError& e) {
    std::ostringstream out, err;
    const int code = app.exit(e, out, err);
    result.out = out.str();
    result.err = err.str();
    result.status = code == 0 ? 0 : 2;
    return result;
  }
  if (opt.connection.empty()) {
    result.err = "kelvor-view: CONNECTION must not be empty\n";
    result.status = 2;
    return result;
  }
  if (!size.empty()) {
    int w = 0, h = 0;
    parseSize(size, w, h);
    opt.width = w;
    opt.height = h;
  }
  if (!position.empty()) {
    int x = 0, y = 0;
    parsePosition(position, x, y);
    opt.x = x;
    opt.y = y;
  }
  opt.view = *viewFromName(view);
  result.options = opt;
  return result;
}

}  // namespace kelvor::view
