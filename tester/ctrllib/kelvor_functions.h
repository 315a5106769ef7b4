// The controller library functions the window calls, once: X(name, parameters, arguments).
// The interface, the loader and the tests' fake are all generated from this list.
#pragma once

#include <cstdint>

// clang-format off
#define KELVOR_API_FUNCTIONS(X) \
  X(klv_Connect, (char* conn, int32_t timeout_ms, int32_t flags), (conn, timeout_ms, flags)) \
  X(klv_Disconnect, (), ()) \
  X(klv_get_RomVersion, (char* buf, int32_t size), (buf, size)) \
  X(klv_get_SerialNo, (char* buf, int32_t size), (buf, size)) \
  X(klv_get_RobotType, (char* buf, int32_t size), (buf, size)) \
  X(klv_get_OperationMode, (int32_t* mode), (mode)) \
  X(klv_get_MotorState, (int32_t* state), (state)) \
  X(klv_put_MotorState, (int32_t state), (state)) \
  X(klv_get_AutoMode, (int32_t* mode), (mode)) \
  X(klv_put_AutoMode, (int32_t mode), (mode)) \
  X(klv_get_RobSlaveState, (int32_t* state), (state)) \
  X(klv_StartRobSlave, (), ()) \
  X(klv_StopRobSlave, (), ()) \
  X(klv_get_ErrorCode, (int32_t* code), (code)) \
  X(klv_get_ErrorDescription, (char* buf, int32_t size), (buf, size)) \
  X(klv_ClearError, (int32_t arg), (arg)) \
  X(klv_get_CurrentP, (float p[8]), (p)) \
  X(klv_P2T, (const float p[8], float t[11]), (p, t)) \
  X(klv_MoveT, (int32_t comp, const char* path, const float t[11], const char* next), (comp, path, t, next)) \
  X(klv_DevH, (const float base[7], const float offset[7], float result[7]), (base, offset, result)) \
  X(klv_ApproachP, (int32_t comp, const float p[8], const char* path, float length, const char* next), (comp, p, path, length, next)) \
  X(klv_Depart, (int32_t comp, const char* path, float length, const char* next), (comp, path, length, next)) \
  X(klv_P2J, (const float p[8], float j[9]), (p, j)) \
  X(klv_DriveA, (const char* path, const float j[9], const char* next), (path, j, next)) \
  X(klv_get_Speed, (float* value), (value)) \
  X(klv_put_Speed, (float value), (value)) \
  X(klv_get_ExtSpeed, (float* value), (value)) \
  X(klv_put_ExtSpeed, (float value), (value)) \
  X(klv_get_CurTool, (int32_t* no), (no)) \
  X(klv_put_CurTool, (int32_t no), (no)) \
  X(klv_get_CurWork, (int32_t* no), (no)) \
  X(klv_put_CurWork, (int32_t no), (no)) \
  X(klv_get_CalData, (float a[7]), (a)) \
  X(klv_put_CalData, (const float a[7]), (a)) \
  X(klv_get_LinkParam, (float ss[7], float aa[7]), (ss, aa)) \
  X(klv_put_LinkParam, (const float ss[7], const float aa[7]), (ss, aa)) \
  X(klv_get_ToolDef, (int32_t no, float rec[7]), (no, rec)) \
  X(klv_get_WorkDef, (int32_t no, float rec[7]), (no, rec)) \
  X(klv_get_AreaDef, (int32_t no, float rec[14]), (no, rec)) \
  X(klv_Calibrate, (const float rot[7], const float len[7]), (rot, len)) \
  X(klv_get_VarI, (int32_t no, int32_t* value), (no, value)) \
  X(klv_get_VarF, (int32_t no, float* value), (no, value)) \
  X(klv_get_VarD, (int32_t no, double* value), (no, value)) \
  X(klv_get_VarS, (int32_t no, char* buf, int32_t size), (no, buf, size)) \
  X(klv_get_VarIO, (int32_t no, int32_t* value), (no, value)) \
  X(klv_put_VarI, (int32_t no, int32_t value), (no, value)) \
  X(klv_put_VarF, (int32_t no, float value), (no, value)) \
  X(klv_put_VarD, (int32_t no, double value), (no, value)) \
  X(klv_put_VarS, (int32_t no, const char* text), (no, text)) \
  X(klv_put_VarIO, (int32_t no, int32_t value), (no, value))
// clang-format on

#define KELVOR_DECLARE_PURE(name, params, args) virtual int32_t name params = 0;
#define KELVOR_DECLARE_OVERRIDE(name, params, args) int32_t name params override;
