// The pseudo-terminal port of the simulator process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "sim_process.h"
#include "temp_path.h"

namespace kelvor::test {
namespace {

TEST(SimPty, LinkPointsAtThePtyAndIsRemovedOnSigterm) {
  const std::string link = tempPath("pty-link");
  SimProcess sim({"--pty", link});
  const std::string line = sim.readLineContaining("pty ");
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(line, std::string("kelvor-sim: pty ") + target + " at " + link);
  const int status = sim.stop(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  struct stat st;
  EXPECT_NE(::lstat(link.c_str(), &st), 0);
}

}  // namespace
}  // namespace kelvor::test
