// The pseudo-terminal port of the simulator process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "sim_process.h"
#include "temp_path.h"

namespace kelvor::test {
namespace {

std::string readLink(const std::string& link) {
  char target[256] = {};
  return ::readlink(link.c_str(), target, sizeof target - 1) > 0 ? target : "";
}

TEST(SimPty, LinkPointsAtThePtyAndIsRemovedOnSigterm) {
  const std::string link = tempPath("pty-link");
  SimProcess sim({"--pty", link});
  const std::string line = sim.readLineContaining("pty ");
  const std::string target = readLink(link);
  ASSERT_FALSE(target.empty());
  EXPECT_EQ(line, "kelvor-sim: pty " + target + " at " + link);
  const int status = sim.stop(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  struct stat st;
  EXPECT_NE(::lstat(link.c_str(), &st), 0);
}

TEST(SimPty, ALinkWhereOthersCouldReplaceItIsRefused) {
  TempDir open(0777);  // anyone may rename or remove entries
  std::string err;
  EXPECT_EQ(simExitStatus({"--listen", "127.0.0.1:0", "--pty", open.path() + "/link"}, &err), 1);
  EXPECT_NE(err.find("may be changed by other users"), std::string::npos) << err;
  EXPECT_TRUE(open.entries().empty());

  TempDir sticky(01777);  // like /tmp: entries stay their owners'
  SimProcess sim({"--pty", sticky.path() + "/link"});
  sim.readLineContaining("pty ");
  EXPECT_EQ(readLink(sticky.path() + "/link").rfind("/dev/pts/", 0), 0u);
}

TEST(SimPty, TheLinkIsMadeUnderATemporaryNameNobodyCouldPlant) {
  TempDir dir(0700);
  const std::string link = dir.path() + "/link";
  // A planted "link.new" is neither followed, nor renamed into place, nor removed.
  ASSERT_EQ(::symlink("/dev/null", (link + ".new").c_str()), 0);
  {
    SimProcess sim({"--pty", link});
    sim.readLineContaining("pty ");
    EXPECT_EQ(readLink(link).rfind("/dev/pts/", 0), 0u);
    EXPECT_EQ(readLink(link + ".new"), "/dev/null");
    EXPECT_EQ(dir.entries(), (std::set<std::string>{"link", "link.new"})) << "nothing left over";
  }
  EXPECT_EQ(dir.entries(), std::set<std::string>{"link.new"});
}

}  // namespace
}  // namespace kelvor::test
