// Counting lines of a text file, e.g. the requests in a kelvor-sim --trace.
#pragma once

#include <fstream>
#include <string>

namespace kelvor::view::test {

// Lines of file that contain text.
inline int countLines(const std::string& file, const std::string& text) {
  std::ifstream in(file);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) n += line.find(text) != std::string::npos;
  return n;
}

}  // namespace kelvor::view::test
