// The state file: every kind of value comes back bit for bit, damaged files are refused.
#include "model/state_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "temp_path.h"

namespace kelvor::sim::model {
namespace {

using kelvor::test::TempDir;
using kelvor::test::tempPath;

template <class T>
bool sameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(StateFile, EveryKindOfValueComesBackBitForBit) {
  PersistentState st;
  st.varI[0] = -1;
  st.varF[kVarCount - 1] = -0.0f;
  st.varD[7] = std::numeric_limits<double>::denorm_min();
  st.varS[kVarSCount - 1] = std::string("a\0b \xff\n", 6);
  st.varIO[kVarIOCount - 1] = 1;
  st.varV[1] = V{1, -2, 3};
  st.varP[2][7] = std::numeric_limits<float>::max();
  st.varJ[3][8] = 1e-40f;
  st.varT[4][10] = -3.5f;
  st.tools[63] = H{1, 2, 3, 4, 5, 6, 7};
  st.works[1][0] = 0.1f;
  st.areas[31][13] = 9;
  st.tools[1] = H{};  // a default removed
  st.calData[6] = -7;
  st.linkSs[0] = 355;
  st.linkAa[1] = 300.5f;
  st.joints = {1.0 / 3, -90, 0.1, 0, -0.0, 179.999, 7, 8, 9};
  const std::string path = tempPath("roundtrip");
  std::string error;
  ASSERT_TRUE(saveState(path, st, error)) << error;
  PersistentState back;
  ASSERT_TRUE(loadState(path, back, error)) << error;
  EXPECT_EQ(back.varI, st.varI);
  EXPECT_TRUE(sameBits(back.varF[kVarCount - 1], -0.0f));
  EXPECT_TRUE(sameBits(back.varD[7], st.varD[7]));
  EXPECT_EQ(back.varS, st.varS);
  EXPECT_EQ(back.varIO, st.varIO);
  EXPECT_EQ(back.varV, st.varV);
  EXPECT_EQ(back.varP, st.varP);
  EXPECT_EQ(back.varJ, st.varJ);
  EXPECT_EQ(back.varT, st.varT);
  EXPECT_EQ(back.tools, st.tools);
  EXPECT_EQ(back.works, st.works);
  EXPECT_EQ(back.areas, st.areas);
  EXPECT_EQ(back.calData, st.calData);
  EXPECT_EQ(back.linkSs, st.linkSs);
  EXPECT_EQ(back.linkAa, st.linkAa);
  EXPECT_TRUE(sameBits(back.joints, st.joints));
  ::unlink(path.c_str());
}

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(StateFile, OnlyWhatDiffersFromANewControllerIsWritten) {
  const std::string path = tempPath("defaults");
  std::string error;
  ASSERT_TRUE(saveState(path, PersistentState{}, error)) << error;
  const std::string text = fileText(path);
  EXPECT_EQ(text.find("tool"), std::string::npos) << text;
  EXPECT_EQ(text.find("area"), std::string::npos) << text;
  EXPECT_NE(text.find("\npos "), std::string::npos) << text;
  PersistentState back;
  back.tools[2] = H{};
  ASSERT_TRUE(loadState(path, back, error)) << error;
  EXPECT_EQ(back.tools, PersistentState{}.tools) << "the defaults come back";
  ::unlink(path.c_str());
}

// Version 1 files come from before the arm had a geometry: missing definitions were zeros and
// link parameters could be anything.
TEST(StateFile, VersionOneFilesAreReadAndRepaired) {
  const std::string path = tempPath("v1");
  {
    std::ofstream os(path);
    os << "kelvor-sim-state 1\nI 3 0000002a\ntool 0 3f800000 0 0 0 0 0 0\n"
          "tool 5 3f800000 0 0 0 0 0 0\ncal 0 0 0 0 0 0 0\nss 0 0 0 0 0 0 0\n"
          "aa 3f800000 0 0 0 0 0 0\nend\n";
  }
  PersistentState st;
  std::string error;
  ASSERT_TRUE(loadState(path, st, error)) << error;
  EXPECT_EQ(st.varI[3], 42);
  EXPECT_EQ(st.tools[0], H{}) << "tool 0 is the flange";
  EXPECT_EQ(st.tools[1], H{}) << "not in the file: zeros then";
  EXPECT_EQ(st.tools[5][0], 1.0f);
  EXPECT_EQ(st.areas[0], Area{});
  EXPECT_EQ(st.linkSs, PersistentState{}.linkSs) << "no arm: the default one";
  EXPECT_EQ(st.linkAa, PersistentState{}.linkAa);
  ::unlink(path.c_str());
}

TEST(StateFile, MissingFileStartsEmptyAndDamagedOnesAreRefused) {
  const std::string path = tempPath("damaged");
  ::unlink(path.c_str());
  PersistentState st;
  st.varI[1] = 5;
  std::string error;
  ASSERT_TRUE(loadState(path, st, error));
  EXPECT_EQ(st.varI[1], 5) << "a missing file leaves the state alone";
  const char* damaged[] = {
      "",                                                                 // empty
      "kelvor-sim-state 3\nend\n",                                        // another format
      "kelvor-sim-state 1\nI 3 0000002a\n",                               // cut short
      "kelvor-sim-state 1\nI 1000 00000001\nend\n",                       // number out of range
      "kelvor-sim-state 1\nI -1 00000001\nend\n",                         // negative number
      "kelvor-sim-state 1\nF 1 zz\nend\n",                                // not hex
      "kelvor-sim-state 1\ntool 1 0 0 0\nend\n",                          // record too short
      "kelvor-sim-state 1\nS 1 abc\nend\n",                               // odd hex string
      "kelvor-sim-state 1\nwhat 1\nend\n",                                // unknown tag
      "kelvor-sim-state 2\naa 0 0 0 0 0 0 0\nend\n",                      // no upper arm
      "kelvor-sim-state 2\ntool 0 3f800000 0 0 0 0 0 0\nend\n",           // tool 0 defined
      "kelvor-sim-state 2\npos 7ff8000000000000 0 0 0 0 0 0 0 0\nend\n",  // NaN position
      "kelvor-sim-state 2\npos 0 0 0\nend\n",                             // position cut short
  };
  for (const char* text : damaged) {
    {
      std::ofstream os(path, std::ios::binary | std::ios::trunc);
      os << text;
    }
    error.clear();
    EXPECT_FALSE(loadState(path, st, error)) << text;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(st.varI[1], 5) << "a refused file changes nothing";
  }
  ::unlink(path.c_str());
}

// What a request may not store, a file may not load: the controller would serve it cut or out
// of its range.
TEST(StateFile, EntriesBeyondTheRequestsLimitsAreRefused) {
  const std::string longest = "kelvor-sim-state 2\nS 4 " + std::string(2 * kMaxVarS, 'a');
  PersistentState st;
  std::string error;
  ASSERT_TRUE(parseState(longest + "\nend\n", st, error)) << error;
  EXPECT_EQ(st.varS[4].size(), kMaxVarS);
  ASSERT_TRUE(parseState("kelvor-sim-state 2\nIO 7 1\nend\n", st, error)) << error;

  const std::pair<std::string, const char*> refused[] = {
      {longest + "aa\nend\n", "S 4 is longer than 1024 bytes"},
      {"kelvor-sim-state 2\nIO 7 5\nend\n", "IO 7 is neither 0 nor 1"},
      {"kelvor-sim-state 2\nIO 7 -1\nend\n", "IO 7 is neither 0 nor 1"},
      {"kelvor-sim-state 2\ntool 3 7fc00000 0 0 0 0 0 0\nend\n", "tool 3 is not a number"},
      {"kelvor-sim-state 2\nwork 2 0 0 7f800000 0 0 0 0\nend\n", "work 2 is not a number"},
      // An area whose I/O number is no I/O variable (3e9).
      {"kelvor-sim-state 2\narea 1 0 0 0 0 0 0 0 0 0 4f32d05e 0 0 0 0\nend\n", "area 1: "},
  };
  for (const auto& [text, why] : refused) {
    st = PersistentState{};
    st.varI[1] = 5;
    error.clear();
    EXPECT_FALSE(parseState(text, st, error)) << text.substr(0, 60);
    EXPECT_NE(error.find(why), std::string::npos) << error;
    EXPECT_EQ(st.varI[1], 5) << "a refused file changes nothing";
  }
}

TEST(StateFile, OnlyRegularFilesOfBoundedSizeAreRead) {
  TempDir dir(0700);
  PersistentState st;
  std::string error;
  // A FIFO in its place is refused at once instead of holding the start-up.
  const std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(loadState(fifo, st, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  EXPECT_FALSE(loadState(dir.path(), st, error));

  const std::string big = dir.path() + "/big";
  {
    std::ofstream os(big);
    os << "kelvor-sim-state 2\n" << std::string(kMaxStateFileBytes, '\n') << "end\n";
  }
  error.clear();
  EXPECT_FALSE(loadState(big, st, error));
  EXPECT_NE(error.find("larger than a state file can be"), std::string::npos) << error;
}

// The temporary file is created exclusively under a fresh name: nothing planted beside the
// state file is followed, overwritten or renamed into its place.
TEST(StateFile, SavingFollowsNoPlantedLinkAndLeavesNothingBehind) {
  TempDir dir(0700);
  const std::string path = dir.path() + "/state";
  const std::string victim = dir.path() + "/victim";
  {
    std::ofstream os(victim);
    os << "precious";
  }
  ASSERT_EQ(::symlink(victim.c_str(), (path + ".tmp").c_str()), 0);
  ASSERT_EQ(::symlink(victim.c_str(), (path + ".XXXXXX").c_str()), 0);
  PersistentState st;
  st.varI[2] = 7;
  std::string error;
  ASSERT_TRUE(saveState(path, st, error)) << error;
  ASSERT_TRUE(saveState(path, st, error)) << error;
  EXPECT_EQ(fileText(victim), "precious");
  EXPECT_EQ(dir.entries(), (std::set<std::string>{"state", "state.tmp", "state.XXXXXX", "victim"}));
  struct stat info;
  ASSERT_EQ(::lstat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 077, 0u) << "the state is the user's own";
  PersistentState back;
  ASSERT_TRUE(loadState(path, back, error)) << error;
  EXPECT_EQ(back.varI[2], 7);

  // A directory where nothing can be created: the save fails and says where.
  ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
  if (::access(dir.path().c_str(), W_OK) != 0) {  // root may write anyway
    EXPECT_FALSE(saveState(path, st, error));
    EXPECT_NE(error.find("temporary file next to " + path), std::string::npos) << error;
  }
  ::chmod(dir.path().c_str(), 0700);
}

}  // namespace
}  // namespace kelvor::sim::model
