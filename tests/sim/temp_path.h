// Names for files a test creates in the test temporary directory, unique to the process.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace kelvor::test {

inline std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "kelvor-" + std::to_string(::getpid()) + "-" + name;
}

}  // namespace kelvor::test
