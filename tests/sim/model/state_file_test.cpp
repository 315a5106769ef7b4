// The state file: every kind of value comes back bit for bit, damaged files are refused.
#include "model/state_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "temp_path.h"

namespace kelvor::sim::model {
namespace {

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

}  // namespace
}  // namespace kelvor::sim::model
