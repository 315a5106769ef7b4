// A private XDG_RUNTIME_DIR for the length of a test, so that the virtual COM ports a test
// makes live apart from the user's own.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace kelvor::test {

class PrivateRuntimeDir {
 public:
  PrivateRuntimeDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kelvor-runtime-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old;
    ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
  }
  ~PrivateRuntimeDir() {
    if (old_) {
      ::setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  PrivateRuntimeDir(const PrivateRuntimeDir&) = delete;
  PrivateRuntimeDir& operator=(const PrivateRuntimeDir&) = delete;

  const std::string& path() const { return path_; }
  // Where the virtual COM ports go inside it.
  std::string portDir() const { return path_ + "/kelvor"; }

 private:
  std::string path_;
  std::optional<std::string> old_;
};

// The uid of user nobody, who owns nothing of the test's.
inline constexpr uid_t kNobody = 65534;

}  // namespace kelvor::test
