// Every function of the library against the simulator over loopback TCP.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include "kelvor.h"
#include "sim_process.h"
#include "test_util.h"

namespace kelvor::test {
namespace {

class Functions : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sim_ = new SimProcess(
        {"--rom-version", "R 2.5  ", "--serial-no", "SN-42", "--robot-type", "KV-TEST"});
  }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }
  void SetUp() override {
    ASSERT_EQ(connect(sim_->eth()), KLV_OK);
    ASSERT_EQ(klv_StopRobSlave(), KLV_OK);
    ASSERT_EQ(klv_put_AutoMode(0), KLV_OK);
    ASSERT_EQ(klv_put_MotorState(0), KLV_OK);
    ASSERT_EQ(klv_ClearError(0), KLV_OK);
    ASSERT_EQ(klv_put_CurTool(0), KLV_OK);
    ASSERT_EQ(klv_put_CurWork(0), KLV_OK);
  }
  void TearDown() override { EXPECT_EQ(klv_Disconnect(), KLV_OK); }
  static SimProcess* sim_;
};
SimProcess* Functions::sim_ = nullptr;

TEST_F(Functions, IdentityStringsKeepTrailingSpacesAndTruncate) {
  char buf[64];
  ASSERT_EQ(klv_get_RomVersion(buf, sizeof buf), KLV_OK);
  EXPECT_STREQ(buf, "R 2.5  ");
  ASSERT_EQ(klv_get_SerialNo(buf, sizeof buf), KLV_OK);
  EXPECT_STREQ(buf, "SN-42");
  ASSERT_EQ(klv_get_RobotType(buf, sizeof buf), KLV_OK);
  EXPECT_STREQ(buf, "KV-TEST");

  char small[5];
  std::memset(small, '#', sizeof small);
  ASSERT_EQ(klv_get_RobotType(small, 4), KLV_OK);
  EXPECT_STREQ(small, "KV-");
  EXPECT_EQ(small[4], '#');  // nothing written beyond size
  ASSERT_EQ(klv_get_RobotType(small, 1), KLV_OK);
  EXPECT_STREQ(small, "");
}

TEST_F(Functions, ModesFollowTheControllerRules) {
  int32_t v = -1;
  ASSERT_EQ(klv_get_OperationMode(&v), KLV_OK);
  EXPECT_EQ(v, 1);  // manual
  ASSERT_EQ(klv_put_MotorState(1), KLV_OK);
  ASSERT_EQ(klv_get_MotorState(&v), KLV_OK);
  EXPECT_EQ(v, 1);
  ASSERT_EQ(klv_get_OperationMode(&v), KLV_OK);
  EXPECT_EQ(v, 2);  // teach
  EXPECT_EQ(klv_put_MotorState(2), KLV_C_VALUE_OUT_OF_RANGE);

  EXPECT_EQ(klv_StartRobSlave(), KLV_C_NOT_INTERNAL_AUTO);
  ASSERT_EQ(klv_put_AutoMode(1), KLV_OK);
  ASSERT_EQ(klv_get_OperationMode(&v), KLV_OK);
  EXPECT_EQ(v, 4);  // external auto
  ASSERT_EQ(klv_get_AutoEnable(&v), KLV_OK);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(klv_StartRobSlave(), KLV_C_NOT_INTERNAL_AUTO);
  ASSERT_EQ(klv_put_AutoMode(2), KLV_OK);
  ASSERT_EQ(klv_get_AutoMode(&v), KLV_OK);
  EXPECT_EQ(v, 2);
  ASSERT_EQ(klv_get_OperationMode(&v), KLV_OK);
  EXPECT_EQ(v, 3);  // internal auto
  ASSERT_EQ(klv_StartRobSlave(), KLV_OK);
  ASSERT_EQ(klv_get_RobSlaveState(&v), KLV_OK);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(klv_put_AutoMode(0), KLV_C_SLAVE_MODE_ACTIVE);
  ASSERT_EQ(klv_StopRobSlave(), KLV_OK);
  ASSERT_EQ(klv_get_RobSlaveState(&v), KLV_OK);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(klv_put_AutoMode(3), KLV_C_VALUE_OUT_OF_RANGE);

  ASSERT_EQ(klv_get_DeadmanSwitch(&v), KLV_OK);
  ASSERT_EQ(klv_get_EmergencyStop(&v), KLV_OK);
  EXPECT_EQ(v, 0);
}

TEST_F(Functions, RefusalsLatchAnErrorUntilCleared) {
  int32_t code = -1;
  ASSERT_EQ(klv_get_ErrorCode(&code), KLV_OK);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(errorDescription(), "No error");

  const float p[8] = {1, 2, 3, 0, 0, 0, 0, 0};
  EXPECT_EQ(klv_MoveP(0, "", p, ""), KLV_C_MOTOR_OFF);
  ASSERT_EQ(klv_get_ErrorCode(&code), KLV_OK);
  EXPECT_EQ(code, KLV_C_MOTOR_OFF);
  EXPECT_EQ(errorDescription(), "Motor is off");

  EXPECT_EQ(klv_ClearError(KLV_C_VALUE_OUT_OF_RANGE), KLV_OK);  // another code: kept
  ASSERT_EQ(klv_get_ErrorCode(&code), KLV_OK);
  EXPECT_EQ(code, KLV_C_MOTOR_OFF);
  EXPECT_EQ(klv_ClearError(KLV_C_MOTOR_OFF), KLV_OK);
  ASSERT_EQ(klv_get_ErrorCode(&code), KLV_OK);
  EXPECT_EQ(code, 0);

  int32_t i = 0;
  EXPECT_EQ(klv_get_VarI(1000, &i), KLV_C_VAR_NUMBER_OUT_OF_RANGE);
  EXPECT_EQ(errorDescription(), "Variable number out of range");
  EXPECT_EQ(klv_get_VarS(-1, reinterpret_cast<char*>(&i), 4), KLV_C_VAR_NUMBER_OUT_OF_RANGE);
  EXPECT_EQ(klv_put_VarIO(2048, 1), KLV_C_VAR_NUMBER_OUT_OF_RANGE);
  EXPECT_EQ(klv_put_VarIO(5, 2), KLV_C_VALUE_OUT_OF_RANGE);
  float rec[14];
  EXPECT_EQ(klv_get_ToolDef(64, rec), KLV_C_UNKNOWN_DEFINITION);
  EXPECT_EQ(klv_get_AreaDef(32, rec), KLV_C_UNKNOWN_DEFINITION);
  EXPECT_EQ(klv_put_CurWork(-1), KLV_C_UNKNOWN_DEFINITION);
  EXPECT_EQ(errorDescription(), "Unknown definition number");
}

TEST_F(Functions, ScalarVariablesRoundTripBitExact) {
  const int32_t ints[] = {0, -1, 2147483647, -2147483647 - 1};
  for (int32_t v : ints) {
    int32_t got = 0;
    ASSERT_EQ(klv_put_VarI(999, v), KLV_OK);
    ASSERT_EQ(klv_get_VarI(999, &got), KLV_OK);
    EXPECT_EQ(got, v);
  }
  const float floats[] = {1.5f,
                          -0.0f,
                          std::numeric_limits<float>::denorm_min(),
                          std::numeric_limits<float>::max(),
                          std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::infinity(),
                          0.1f};
  for (float v : floats) {
    float got = 0;
    ASSERT_EQ(klv_put_VarF(7, v), KLV_OK);
    ASSERT_EQ(klv_get_VarF(7, &got), KLV_OK);
    EXPECT_TRUE(sameBits(got, v)) << v;
  }
  const double doubles[] = {0.1, -0.0, 1e-310, std::numeric_limits<double>::quiet_NaN(),
                            3.141592653589793};
  for (double v : doubles) {
    double got = 0;
    ASSERT_EQ(klv_put_VarD(0, v), KLV_OK);
    ASSERT_EQ(klv_get_VarD(0, &got), KLV_OK);
    EXPECT_TRUE(sameBits(got, v)) << v;
  }
  int32_t io = -1;
  ASSERT_EQ(klv_put_VarIO(2047, 1), KLV_OK);
  ASSERT_EQ(klv_get_VarIO(2047, &io), KLV_OK);
  EXPECT_EQ(io, 1);
}

TEST_F(Functions, StringVariablesKeepSpacesAndLength) {
  char buf[1025];
  // The tester writes every string padded with spaces to exactly 1024 characters.
  const std::string texts[] = {"", "hello  ", "  lead and trail  ", "abc" + std::string(1021, ' ')};
  for (const std::string& t : texts) {
    ASSERT_EQ(klv_put_VarS(99, t.c_str()), KLV_OK);
    ASSERT_EQ(klv_get_VarS(99, buf, sizeof buf), KLV_OK);
    EXPECT_EQ(std::string(buf), t);
  }
  EXPECT_EQ(klv_put_VarS(1, std::string(KLV_MAX_STRING + 1, 'a').c_str()), KLV_E_INVALID_ARGUMENT);
  ASSERT_EQ(klv_put_VarS(3, "abcdef"), KLV_OK);
  char small[4];
  ASSERT_EQ(klv_get_VarS(3, small, sizeof small), KLV_OK);
  EXPECT_STREQ(small, "abc");
}

TEST_F(Functions, ArrayVariablesAndRecordsRoundTrip) {
  float in[14], out[14];
  for (int i = 0; i < 14; ++i) in[i] = static_cast<float>(i) * 1.25f - 3.1f;
  auto check = [&](int n) {
    EXPECT_EQ(std::memcmp(in, out, sizeof(float) * static_cast<size_t>(n)), 0) << n;
    std::memset(out, 0, sizeof out);
  };
  ASSERT_EQ(klv_put_VarV(1, in), KLV_OK);
  ASSERT_EQ(klv_get_VarV(1, out), KLV_OK);
  check(3);
  ASSERT_EQ(klv_put_VarP(2, in), KLV_OK);
  ASSERT_EQ(klv_get_VarP(2, out), KLV_OK);
  check(8);
  ASSERT_EQ(klv_put_VarJ(3, in), KLV_OK);
  ASSERT_EQ(klv_get_VarJ(3, out), KLV_OK);
  check(9);
  ASSERT_EQ(klv_put_VarT(4, in), KLV_OK);
  ASSERT_EQ(klv_get_VarT(4, out), KLV_OK);
  check(11);
  ASSERT_EQ(klv_put_ToolDef(63, in), KLV_OK);
  ASSERT_EQ(klv_get_ToolDef(63, out), KLV_OK);
  check(7);
  ASSERT_EQ(klv_put_WorkDef(5, in), KLV_OK);
  ASSERT_EQ(klv_get_WorkDef(5, out), KLV_OK);
  check(7);
  // An area: centre, orientation, edges, I/O 1000, Pos 1, Err 1, Enable 0, a spare.
  const float area[14] = {450.5f, -20, 250, 10, 20, 30, 300, 400, 300.25f, 1000, 1, 1, 0, 7.5f};
  std::memcpy(in, area, sizeof area);
  ASSERT_EQ(klv_put_AreaDef(31, in), KLV_OK);
  ASSERT_EQ(klv_get_AreaDef(31, out), KLV_OK);
  check(14);
  in[9] = 1000.5f;
  EXPECT_EQ(klv_put_AreaDef(31, in), KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(errorDescription(), "Area I/O must be an I/O variable number");

  int32_t no = -1;
  ASSERT_EQ(klv_put_CurTool(63), KLV_OK);
  ASSERT_EQ(klv_get_CurTool(&no), KLV_OK);
  EXPECT_EQ(no, 63);
  ASSERT_EQ(klv_put_CurWork(5), KLV_OK);
  ASSERT_EQ(klv_get_CurWork(&no), KLV_OK);
  EXPECT_EQ(no, 5);

  const float nan[7] = {std::nanf(""), 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(klv_put_ToolDef(1, nan), KLV_C_VALUE_OUT_OF_RANGE);
}

TEST_F(Functions, CalibrationAndLinkParameters) {
  float x[7], y[7];
  ASSERT_EQ(klv_get_LinkParam(x, y), KLV_OK);
  const float defaultSs[7] = {350, 0, 0, 350, 0, 80, 0}, defaultAa[7] = {50, 300, 50, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(x, defaultSs, sizeof x), 0);
  EXPECT_EQ(std::memcmp(y, defaultAa, sizeof y), 0);

  const float cal[7] = {0.5f, -1, 2, 3, 4, 5, 6.25f};
  const float ss[7] = {340, 10, -10, 360, 0, 90, 1}, aa[7] = {60, 310, 40, 0, 0, 15, 2};
  ASSERT_EQ(klv_put_CalData(cal), KLV_OK);
  ASSERT_EQ(klv_get_CalData(x), KLV_OK);
  EXPECT_EQ(std::memcmp(cal, x, sizeof cal), 0);
  ASSERT_EQ(klv_put_LinkParam(ss, aa), KLV_OK);
  ASSERT_EQ(klv_get_LinkParam(x, y), KLV_OK);
  EXPECT_EQ(std::memcmp(ss, x, sizeof ss), 0);
  EXPECT_EQ(std::memcmp(aa, y, sizeof aa), 0);

  // Link parameters that make no arm of this kind are refused with the reason.
  const float offsetWrist[7] = {60, 310, 40, 5, 0, 15, 2};
  EXPECT_EQ(klv_put_LinkParam(ss, offsetWrist), KLV_C_INVALID_ARM);
  EXPECT_EQ(errorDescription(), "LinkAA(4) must be 0: the wrist is spherical");
  const float negative[7] = {60, -310, 40, 0, 0, 15, 2};
  EXPECT_EQ(klv_put_LinkParam(ss, negative), KLV_C_INVALID_ARM);
  EXPECT_EQ(errorDescription(), "LinkAA(2) is a length and must not be negative");
  const float turned[7] = {0, 0, 400, 0, 0, 0, 0};
  EXPECT_EQ(klv_put_CalData(turned), KLV_C_INVALID_ARM);

  // Calibrate: calibration set += rot, LinkAA += len.
  const float rot[7] = {1, 2, 3, 4, 5, 6, 7}, len[7] = {10, 20, 5, 0, 0, 1, 3};
  ASSERT_EQ(klv_put_MotorState(1), KLV_OK);
  EXPECT_EQ(klv_Calibrate(rot, len), KLV_C_MOTOR_ON);
  ASSERT_EQ(klv_put_MotorState(0), KLV_OK);
  ASSERT_EQ(klv_Calibrate(rot, len), KLV_OK);
  ASSERT_EQ(klv_get_CalData(x), KLV_OK);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(x[i], cal[i] + rot[i]) << i;
  ASSERT_EQ(klv_get_LinkParam(x, y), KLV_OK);
  EXPECT_EQ(std::memcmp(ss, x, sizeof ss), 0) << "LinkSS stays";
  for (int i = 0; i < 7; ++i) EXPECT_EQ(y[i], aa[i] + len[i]) << i;
  const float spherical[7] = {0, 0, 0, 0, 1, 0, 0};
  EXPECT_EQ(klv_Calibrate(rot, spherical), KLV_C_INVALID_ARM);
  EXPECT_EQ(errorDescription(), "LinkAA(5) must be 0: the wrist is spherical");

  const float zero[7] = {};
  ASSERT_EQ(klv_put_CalData(zero), KLV_OK);
  ASSERT_EQ(klv_put_LinkParam(defaultSs, defaultAa), KLV_OK);
}

TEST_F(Functions, SpeedsAreRangeChecked) {
  float v = 0;
  for (float s : {0.0f, 37.5f, 100.0f}) {
    ASSERT_EQ(klv_put_Speed(s), KLV_OK);
    ASSERT_EQ(klv_get_Speed(&v), KLV_OK);
    EXPECT_EQ(v, s);
    ASSERT_EQ(klv_put_ExtSpeed(s), KLV_OK);
    ASSERT_EQ(klv_get_ExtSpeed(&v), KLV_OK);
    EXPECT_EQ(v, s);
  }
  EXPECT_EQ(klv_put_Speed(100.5f), KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(klv_put_ExtSpeed(-1.0f), KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(klv_put_Speed(std::nanf("")), KLV_C_VALUE_OUT_OF_RANGE);
  ASSERT_EQ(klv_get_Speed(&v), KLV_OK);
  EXPECT_EQ(v, 100.0f);
}

template <size_t N>
void expectNear(const float (&got)[N], const float (&want)[N], double tol = 1e-3) {
  for (size_t i = 0; i < N; ++i) EXPECT_NEAR(got[i], want[i], tol) << "element " << i;
}

TEST_F(Functions, EveryMotionAndConversionOnTheArm) {
  float cur[8], t[11], j[9], t2[11], cj[9];
  const float down[9] = {0, 0, 0, 0, 90, 0, 0, 0, 0};  // flange (400, 0, 620) pointing down
  EXPECT_EQ(klv_DriveA("", down, ""), KLV_C_MOTOR_OFF);
  ASSERT_EQ(klv_ClearError(0), KLV_OK);
  ASSERT_EQ(klv_put_MotorState(1), KLV_OK);
  ASSERT_EQ(klv_put_Speed(100), KLV_OK);
  ASSERT_EQ(klv_DriveA("@0", down, nullptr), KLV_OK);
  ASSERT_EQ(klv_get_CurrentP(cur), KLV_OK);
  expectNear(cur, {400, 0, 620, 180, 0, 0, 0, 0});

  const float p[8] = {350, 100, 450, 180, 0, 0, 0, 5};  // Fig 0, extra axis 5
  ASSERT_EQ(klv_MoveP(2, "@0", p, ""), KLV_OK);
  ASSERT_EQ(klv_get_CurrentP(cur), KLV_OK);
  expectNear(cur, p);
  ASSERT_EQ(klv_P2T(p, t), KLV_OK);
  expectNear(t, {350, 100, 450, 0, -1, 0, 0, 0, -1, 0, 5}, 1e-5);
  ASSERT_EQ(klv_get_CurrentT(t2), KLV_OK);
  expectNear(t2, t);
  ASSERT_EQ(klv_MoveT(1, "@0", t, nullptr), KLV_OK);

  // Approach stops Length before the target along the tool's approach axis (down): above it.
  ASSERT_EQ(klv_ApproachP(2, p, "@E", 50.0f, "NEXT"), KLV_OK);
  int32_t moving = 0;
  for (int i = 0; i < 300 && (klv_get_MotionState(&moving), moving); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(moving, 0);
  ASSERT_EQ(klv_get_CurrentP(cur), KLV_OK);
  expectNear(cur, {350, 100, 500, 180, 0, 0, 0, 5});
  ASSERT_EQ(klv_Depart(1, "@P", 25.0f, nullptr), KLV_OK);
  ASSERT_EQ(klv_Depart(2, "", 25.0f, nullptr), KLV_OK) << "blends into the @P motion";
  ASSERT_EQ(klv_get_CurrentP(cur), KLV_OK);
  expectNear(cur, {350, 100, 550, 180, 0, 0, 0, 5});
  EXPECT_EQ(klv_Depart(3, "", 1.0f, ""), KLV_C_VALUE_OUT_OF_RANGE);  // no such interpolation
  EXPECT_EQ(errorDescription(), "Comp (interpolation) must be 0, 1 (P) or 2 (L)");
  ASSERT_EQ(klv_ClearError(0), KLV_OK);

  ASSERT_EQ(klv_P2J(p, j), KLV_OK);
  float back[8];
  ASSERT_EQ(klv_J2P(j, back), KLV_OK);
  expectNear(back, p);
  ASSERT_EQ(klv_DriveA("@0", j, nullptr), KLV_OK);
  ASSERT_EQ(klv_get_CurrentP(cur), KLV_OK);
  expectNear(cur, p);
  ASSERT_EQ(klv_get_CurrentJ(cj), KLV_OK);
  expectNear(cj, j, 1e-4);
  ASSERT_EQ(klv_Drive("", 1, 10.0f, ""), KLV_OK);
  ASSERT_EQ(klv_get_CurrentJ(cj), KLV_OK);
  EXPECT_NEAR(cj[0], j[0] + 10, 1e-4);
  EXPECT_NEAR(cj[1], j[1], 1e-4);
  EXPECT_EQ(klv_Drive("", 10, 1.0f, ""), KLV_C_VALUE_OUT_OF_RANGE);
  ASSERT_EQ(klv_ClearError(0), KLV_OK);

  ASSERT_EQ(klv_MoveJ(0, "", j, ""), KLV_OK);
  ASSERT_EQ(klv_ApproachJ(0, j, "", 1.0f, ""), KLV_OK);
  ASSERT_EQ(klv_ApproachT(2, t, "", 1.0f, ""), KLV_OK);
  float tj[9], jt[11], tp[8];
  ASSERT_EQ(klv_T2J(t, tj), KLV_OK);
  expectNear(tj, j, 1e-4);
  ASSERT_EQ(klv_J2T(j, jt), KLV_OK);
  expectNear(jt, t);
  ASSERT_EQ(klv_T2P(t, tp), KLV_OK);
  expectNear(tp, p);
  ASSERT_EQ(klv_get_MotionState(&moving), KLV_OK);
  EXPECT_EQ(moving, 0);
}

TEST_F(Functions, DeviationsInTheWorkAndToolFrames) {
  const float base[8] = {400, 0, 500, 180, 0, 0, 5, 8};  // the tool pointing down, Fig 5
  const float off[8] = {10, 20, 30, 0, 0, 0, 0, 0};
  float r[8];
  ASSERT_EQ(klv_DevH(base, off, r), KLV_OK);
  const float wantH[7] = {410, -20, 470, 180, 0, 0, 5};  // X along the tool's X, Z down
  expectNear(reinterpret_cast<float(&)[7]>(r), wantH);
  ASSERT_EQ(klv_Dev(base, off, r), KLV_OK);
  expectNear(r, {410, 20, 530, 180, 0, 0, 5, 8});
  const float badFig[8] = {400, 0, 500, 180, 0, 0, 9, 0};
  EXPECT_EQ(klv_Dev(badFig, off, r), KLV_C_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(errorDescription(), "Fig must be 0 to 7");
}

TEST_F(Functions, ConfigurationAndTasks) {
  int32_t v = -1;
  ASSERT_EQ(klv_put_CnfData(5), KLV_OK);
  ASSERT_EQ(klv_get_CnfData(&v), KLV_OK);
  EXPECT_EQ(v, 5);
  EXPECT_EQ(klv_put_CnfData(8), KLV_C_VALUE_OUT_OF_RANGE);

  EXPECT_EQ(klv_StartTask(1, "main"), KLV_C_NOT_INTERNAL_AUTO);
  ASSERT_EQ(klv_put_AutoMode(2), KLV_OK);
  EXPECT_EQ(klv_StartTask(0, "main"), KLV_C_UNKNOWN_TASK);
  EXPECT_EQ(klv_StartTask(1, ""), KLV_C_VALUE_OUT_OF_RANGE);
  ASSERT_EQ(klv_StartTask(8, "main"), KLV_OK);
  ASSERT_EQ(klv_get_TaskState(8, &v), KLV_OK);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(klv_StartTask(8, "main"), KLV_C_TASK_RUNNING);
  ASSERT_EQ(klv_StopTask(8), KLV_OK);
  ASSERT_EQ(klv_get_TaskState(8, &v), KLV_OK);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(klv_get_TaskState(9, &v), KLV_C_UNKNOWN_TASK);
}

TEST_F(Functions, InvalidArgumentsAreRejectedBeforeSending) {
  char buf[8];
  float f[14];
  EXPECT_EQ(klv_get_RomVersion(nullptr, 8), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_get_SerialNo(buf, 0), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_get_ErrorDescription(buf, -5), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_get_VarS(0, buf, 0), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_get_MotorState(nullptr), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_get_Speed(nullptr), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_get_VarD(0, nullptr), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_get_CurrentP(nullptr), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_P2T(f, nullptr), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_MoveT(0, nullptr, f, ""), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_ApproachP(0, nullptr, "", 1.0f, nullptr), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_DevH(f, nullptr, f), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_get_LinkParam(f, nullptr), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_put_VarS(0, nullptr), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_StartTask(1, nullptr), KLV_E_INVALID_ARGUMENT);
  EXPECT_EQ(klv_ErrorText(0, nullptr, 4), KLV_E_INVALID_ARGUMENT);
  // The connection is still usable afterwards.
  int32_t v;
  EXPECT_EQ(klv_get_MotorState(&v), KLV_OK);
}

TEST_F(Functions, ConcurrentCallsAreSerialised) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 50; ++i) {
        int32_t got = 0;
        if (klv_put_VarI(100 + t, i) != KLV_OK || klv_get_VarI(100 + t, &got) != KLV_OK ||
            got != i) {
          ++failures;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace kelvor::test
