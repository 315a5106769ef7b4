// Loads the system's font configuration on a second thread from the moment the program starts,
// while the application object is being made. Reading and parsing the configuration files is
// the greater part of the first use of any font, and nothing needs a font before the window is
// built; wait() before that.
#pragma once

#include <thread>

class FontConfigLoader {
 public:
  FontConfigLoader();
  ~FontConfigLoader() { wait(); }
  FontConfigLoader(const FontConfigLoader&) = delete;
  FontConfigLoader& operator=(const FontConfigLoader&) = delete;

  // Returns once the configuration is loaded (or at once when no thread could be started: the
  // first font then loads it, as in any program).
  void wait();

 private:
  std::thread thread_;
};
