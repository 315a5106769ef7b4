// The command line of kelvor-view.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scene/camera.h"

namespace kelvor::view {

struct ViewerOptions {
  std::string connection = "eth:127.0.0.1";
  std::string snapshot;  // a PNG file: render one frame into it and exit; empty: the window
  std::optional<int> width, height;  // --size; snapshot default 800x600, window 1024x768
  std::optional<int> x, y;           // --position of the window on the screen
  View view = View::Iso;
  int timeoutMs = 1000;
  double rateHz = 30;
  double waitSeconds = 10;  // --snapshot: the longest wait for the first complete read
};

struct ParsedCommandLine {
  std::optional<ViewerOptions> options;  // empty: exit with status after printing out and err
  int status = 0;
  std::string out, err;
};
// Exit status 0 for --help, 2 for a command line that is not understood.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);  // without argv[0]

}  // namespace kelvor::view
