// A German locale (decimal comma) for tests that prove numbers do not follow the locale.
// Debian ships the locale's sources with the locales package; it is compiled here, once, into
// the build tree with localedef, and used through LOCPATH, so nothing outside the build tree
// changes.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "run_process.h"

#ifndef KELVOR_TEST_LOCALE_DIR
#error "KELVOR_TEST_LOCALE_DIR must name a folder of the build tree"
#endif

namespace kelvor::test {

inline constexpr const char* kGermanLocale = "de_DE.UTF-8";

// The LOCPATH folder holding de_DE.UTF-8, or "" when it cannot be made (no localedef or no
// locale sources).
inline std::string germanLocaleDir() {
  const std::string dir = KELVOR_TEST_LOCALE_DIR;
  const std::string target = dir + "/" + kGermanLocale;
  if (::access((target + "/LC_NUMERIC").c_str(), R_OK) == 0) return dir;
  if (::access("/usr/bin/localedef", X_OK) != 0) return {};
  ::mkdir(dir.c_str(), 0755);
  std::string tmp = dir + "/tmp.XXXXXX";
  if (!::mkdtemp(tmp.data())) return {};
  const std::string built = tmp + "/" + kGermanLocale;
  // localedef warns (exit status 1) about characters the locale leaves out; what counts is
  // whether the locale was written.
  runProcess({"/usr/bin/localedef", "-i", "de_DE", "-f", "UTF-8", built}, {}, {},
             std::chrono::seconds(60));
  // Tests running in parallel may both build it; the first rename wins, both results work.
  if (::access((built + "/LC_NUMERIC").c_str(), R_OK) == 0) {
    std::rename(built.c_str(), target.c_str());
  }
  runProcess({"/bin/rm", "-rf", tmp});
  return ::access((target + "/LC_NUMERIC").c_str(), R_OK) == 0 ? dir : std::string();
}

}  // namespace kelvor::test
