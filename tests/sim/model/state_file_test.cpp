// The state file: every kind of value comes back bit for bit, damaged files are refused.
#include "model/state_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
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
  st.calData[6] = -7;
  st.linkSs[0] = 350;
  st.linkAa[1] = 300;
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
      "",                                            // empty
      "kelvor-sim-state 2\nend\n",                   // another format
      "kelvor-sim-state 1\nI 3 0000002a\n",          // cut short
      "kelvor-sim-state 1\nI 1000 00000001\nend\n",  // number out of range
      "kelvor-sim-state 1\nI -1 00000001\nend\n",    // negative number
      "kelvor-sim-state 1\nF 1 zz\nend\n",           // not hex
      "kelvor-sim-state 1\ntool 1 0 0 0\nend\n",     // record too short
      "kelvor-sim-state 1\nS 1 abc\nend\n",          // odd hex string
      "kelvor-sim-state 1\nwhat 1\nend\n",           // unknown tag
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
