// Names for files a test creates in the test temporary directory, unique to the process, and
// directories of its own there.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace kelvor::test {

inline std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "kelvor-" + std::to_string(::getpid()) + "-" + name;
}

// A new directory with the given mode, removed with everything in it at the end.
class TempDir {
 public:
  explicit TempDir(mode_t mode) {
    std::string pattern = tempPath("dir-XXXXXX");
    path_ = ::mkdtemp(pattern.data());
    ::chmod(path_.c_str(), mode);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) {
      names.insert(e.path().filename().string());
    }
    return names;
  }

 private:
  std::string path_;
};

}  // namespace kelvor::test
