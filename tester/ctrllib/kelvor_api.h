// The controller library as the window's handlers see it. The program reaches the real
// library through DynamicKelvor; tests put a scripted fake in its place.
#pragma once

#include <cstdint>

class KelvorApi {
 public:
  virtual ~KelvorApi() = default;

  // Connection and identity
  virtual int32_t klv_Connect(char* conn, int32_t timeout_ms, int32_t flags) = 0;
  virtual int32_t klv_Disconnect() = 0;
  virtual int32_t klv_get_RomVersion(char* buf, int32_t size) = 0;
  virtual int32_t klv_get_SerialNo(char* buf, int32_t size) = 0;
  virtual int32_t klv_get_RobotType(char* buf, int32_t size) = 0;
  virtual int32_t klv_get_OperationMode(int32_t* mode) = 0;

  // Controller state
  virtual int32_t klv_get_MotorState(int32_t* state) = 0;
  virtual int32_t klv_put_MotorState(int32_t state) = 0;
  virtual int32_t klv_get_AutoMode(int32_t* mode) = 0;
  virtual int32_t klv_put_AutoMode(int32_t mode) = 0;
  virtual int32_t klv_get_RobSlaveState(int32_t* state) = 0;
  virtual int32_t klv_StartRobSlave() = 0;
  virtual int32_t klv_StopRobSlave() = 0;

  // Errors
  virtual int32_t klv_get_ErrorCode(int32_t* code) = 0;
  virtual int32_t klv_get_ErrorDescription(char* buf, int32_t size) = 0;
  virtual int32_t klv_ClearError(int32_t arg) = 0;

  // Position and motion
  virtual int32_t klv_get_CurrentP(float p[8]) = 0;
  virtual int32_t klv_P2T(const float p[8], float t[11]) = 0;
  virtual int32_t klv_MoveT(int32_t comp, const char* path, const float t[11],
                            const char* next) = 0;
  virtual int32_t klv_DevH(const float base[7], const float offset[7], float result[7]) = 0;
  virtual int32_t klv_ApproachP(int32_t comp, const float p[8], const char* path, float length,
                                const char* next) = 0;
  virtual int32_t klv_Depart(int32_t comp, const char* path, float length, const char* next) = 0;
  virtual int32_t klv_P2J(const float p[8], float j[9]) = 0;
  virtual int32_t klv_DriveA(const char* path, const float j[9], const char* next) = 0;

  // Parameters and definitions
  virtual int32_t klv_get_Speed(float* value) = 0;
  virtual int32_t klv_put_Speed(float value) = 0;
  virtual int32_t klv_get_ExtSpeed(float* value) = 0;
  virtual int32_t klv_put_ExtSpeed(float value) = 0;
  virtual int32_t klv_get_CurTool(int32_t* no) = 0;
  virtual int32_t klv_put_CurTool(int32_t no) = 0;
  virtual int32_t klv_get_CurWork(int32_t* no) = 0;
  virtual int32_t klv_put_CurWork(int32_t no) = 0;
  virtual int32_t klv_get_CalData(float a[7]) = 0;
  virtual int32_t klv_put_CalData(const float a[7]) = 0;
  virtual int32_t klv_get_LinkParam(float ss[7], float aa[7]) = 0;
  virtual int32_t klv_put_LinkParam(const float ss[7], const float aa[7]) = 0;
  virtual int32_t klv_get_ToolDef(int32_t no, float rec[7]) = 0;
  virtual int32_t klv_get_WorkDef(int32_t no, float rec[7]) = 0;
  virtual int32_t klv_get_AreaDef(int32_t no, float rec[14]) = 0;

  // Calibration
  virtual int32_t klv_Calibrate(const float rot[7], const float len[7]) = 0;

  // Variables
  virtual int32_t klv_get_VarI(int32_t no, int32_t* value) = 0;
  virtual int32_t klv_get_VarF(int32_t no, float* value) = 0;
  virtual int32_t klv_get_VarD(int32_t no, double* value) = 0;
  virtual int32_t klv_get_VarS(int32_t no, char* buf, int32_t size) = 0;
  virtual int32_t klv_get_VarIO(int32_t no, int32_t* value) = 0;
  virtual int32_t klv_put_VarI(int32_t no, int32_t value) = 0;
  virtual int32_t klv_put_VarF(int32_t no, float value) = 0;
  virtual int32_t klv_put_VarD(int32_t no, double value) = 0;
  virtual int32_t klv_put_VarS(int32_t no, const char* text) = 0;
  virtual int32_t klv_put_VarIO(int32_t no, int32_t value) = 0;
};
