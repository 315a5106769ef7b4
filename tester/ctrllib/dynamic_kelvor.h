// The controller library reached by name at the first call: dlopen("libkelvor.so.1") through
// the platform's search order, and dlsym of each function at its own first call. A library or
// function that cannot be found never crashes the program: the user is told which, with the
// loader's reason, and the call fails with KLV_E_LIBRARY_NOT_FOUND or KLV_E_FUNCTION_NOT_FOUND.
#pragma once

#include <string>
#include <unordered_map>

#include "kelvor_api.h"
#include "messages.h"

class DynamicKelvor : public KelvorApi {
 public:
  explicit DynamicKelvor(MessageSink& messages, std::string library = "libkelvor.so.1");
  ~DynamicKelvor() override;
  DynamicKelvor(const DynamicKelvor&) = delete;
  DynamicKelvor& operator=(const DynamicKelvor&) = delete;

  int32_t klv_Connect(char* conn, int32_t timeout_ms, int32_t flags) override;
  int32_t klv_Disconnect() override;
  int32_t klv_get_RomVersion(char* buf, int32_t size) override;
  int32_t klv_get_SerialNo(char* buf, int32_t size) override;
  int32_t klv_get_RobotType(char* buf, int32_t size) override;
  int32_t klv_get_OperationMode(int32_t* mode) override;
  int32_t klv_get_MotorState(int32_t* state) override;
  int32_t klv_put_MotorState(int32_t state) override;
  int32_t klv_get_AutoMode(int32_t* mode) override;
  int32_t klv_put_AutoMode(int32_t mode) override;
  int32_t klv_get_RobSlaveState(int32_t* state) override;
  int32_t klv_StartRobSlave() override;
  int32_t klv_StopRobSlave() override;
  int32_t klv_get_ErrorCode(int32_t* code) override;
  int32_t klv_get_ErrorDescription(char* buf, int32_t size) override;
  int32_t klv_ClearError(int32_t arg) override;
  int32_t klv_get_CurrentP(float p[8]) override;
  int32_t klv_P2T(const float p[8], float t[11]) override;
  int32_t klv_MoveT(int32_t comp, const char* path, const float t[11], const char* next) override;
  int32_t klv_DevH(const float base[7], const float offset[7], float result[7]) override;
  int32_t klv_ApproachP(int32_t comp, const float p[8], const char* path, float length,
                        const char* next) override;
  int32_t klv_Depart(int32_t comp, const char* path, float length, const char* next) override;
  int32_t klv_P2J(const float p[8], float j[9]) override;
  int32_t klv_DriveA(const char* path, const float j[9], const char* next) override;
  int32_t klv_get_Speed(float* value) override;
  int32_t klv_put_Speed(float value) override;
  int32_t klv_get_ExtSpeed(float* value) override;
  int32_t klv_put_ExtSpeed(float value) override;
  int32_t klv_get_CurTool(int32_t* no) override;
  int32_t klv_put_CurTool(int32_t no) override;
  int32_t klv_get_CurWork(int32_t* no) override;
  int32_t klv_put_CurWork(int32_t no) override;
  int32_t klv_get_CalData(float a[7]) override;
  int32_t klv_put_CalData(const float a[7]) override;
  int32_t klv_get_LinkParam(float ss[7], float aa[7]) override;
  int32_t klv_put_LinkParam(const float ss[7], const float aa[7]) override;
  int32_t klv_get_ToolDef(int32_t no, float rec[7]) override;
  int32_t klv_get_WorkDef(int32_t no, float rec[7]) override;
  int32_t klv_get_AreaDef(int32_t no, float rec[14]) override;
  int32_t klv_Calibrate(const float rot[7], const float len[7]) override;
  int32_t klv_get_VarI(int32_t no, int32_t* value) override;
  int32_t klv_get_VarF(int32_t no, float* value) override;
  int32_t klv_get_VarD(int32_t no, double* value) override;
  int32_t klv_get_VarS(int32_t no, char* buf, int32_t size) override;
  int32_t klv_get_VarIO(int32_t no, int32_t* value) override;
  int32_t klv_put_VarI(int32_t no, int32_t value) override;
  int32_t klv_put_VarF(int32_t no, float value) override;
  int32_t klv_put_VarD(int32_t no, double value) override;
  int32_t klv_put_VarS(int32_t no, const char* text) override;
  int32_t klv_put_VarIO(int32_t no, int32_t value) override;

 private:
  // The function's address, or nullptr after telling the user why (failure_ then holds the code).
  void* resolve(const char* name);

  MessageSink& messages_;
  std::string library_;
  void* handle_ = nullptr;
  std::unordered_map<std::string, void*> functions_;
  int32_t failure_ = 0;
};
