#include "dynamic_kelvor.h"

#include <dlfcn.h>

#include "kelvor.h"

DynamicKelvor::DynamicKelvor(MessageSink& messages, std::string library)
    : messages_(messages), library_(std::move(library)) {}

// The library stays loaded until the program ends: a connection still open at exit is the
// library's to clean up, and unloading it under its own threads would be unsafe.
DynamicKelvor::~DynamicKelvor() = default;

void* DynamicKelvor::resolve(const char* name) {
  if (!handle_) {
    ::dlerror();
    handle_ = ::dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
      const char* reason = ::dlerror();
      messages_.show(QStringLiteral("The controller library %1 could not be loaded: %2")
                         .arg(QString::fromLocal8Bit(library_.c_str()),
                              QString::fromLocal8Bit(reason ? reason : "unknown reason")),
                     MsgIcon::Stop);
      failure_ = KLV_E_LIBRARY_NOT_FOUND;
      return nullptr;
    }
  }
  if (auto found = functions_.find(name); found != functions_.end()) return found->second;
  ::dlerror();
  void* address = ::dlsym(handle_, name);
  if (!address) {
    const char* reason = ::dlerror();
    messages_.show(QStringLiteral("The function %1 was not found in the controller library %2: %3")
                       .arg(QString::fromLatin1(name), QString::fromLocal8Bit(library_.c_str()),
                            QString::fromLocal8Bit(reason ? reason : "no such symbol")),
                   MsgIcon::Stop);
    failure_ = KLV_E_FUNCTION_NOT_FOUND;
    return nullptr;
  }
  functions_.emplace(name, address);
  return address;
}

#define KLV_FORWARD(name, params, args)                            \
  int32_t DynamicKelvor::name params {                             \
    auto fn = reinterpret_cast<decltype(&::name)>(resolve(#name)); \
    return fn ? fn args : failure_;                                \
  }

KLV_FORWARD(klv_Connect, (char* conn, int32_t timeout_ms, int32_t flags), (conn, timeout_ms, flags))
KLV_FORWARD(klv_Disconnect, (), ())
KLV_FORWARD(klv_get_RomVersion, (char* buf, int32_t size), (buf, size))
KLV_FORWARD(klv_get_SerialNo, (char* buf, int32_t size), (buf, size))
KLV_FORWARD(klv_get_RobotType, (char* buf, int32_t size), (buf, size))
KLV_FORWARD(klv_get_OperationMode, (int32_t * mode), (mode))
KLV_FORWARD(klv_get_MotorState, (int32_t * state), (state))
KLV_FORWARD(klv_put_MotorState, (int32_t state), (state))
KLV_FORWARD(klv_get_AutoMode, (int32_t * mode), (mode))
KLV_FORWARD(klv_put_AutoMode, (int32_t mode), (mode))
KLV_FORWARD(klv_get_RobSlaveState, (int32_t * state), (state))
KLV_FORWARD(klv_StartRobSlave, (), ())
KLV_FORWARD(klv_StopRobSlave, (), ())
KLV_FORWARD(klv_get_ErrorCode, (int32_t * code), (code))
KLV_FORWARD(klv_get_ErrorDescription, (char* buf, int32_t size), (buf, size))
KLV_FORWARD(klv_ClearError, (int32_t arg), (arg))
KLV_FORWARD(klv_get_CurrentP, (float p[8]), (p))
KLV_FORWARD(klv_P2T, (const float p[8], float t[11]), (p, t))
KLV_FORWARD(klv_MoveT, (int32_t comp, const char* path, const float t[11], const char* next),
            (comp, path, t, next))
KLV_FORWARD(klv_DevH, (const float base[7], const float offset[7], float result[7]),
            (base, offset, result))
KLV_FORWARD(klv_ApproachP,
            (int32_t comp, const float p[8], const char* path, float length, const char* next),
            (comp, p, path, length, next))
KLV_FORWARD(klv_Depart, (int32_t comp, const char* path, float length, const char* next),
            (comp, path, length, next))
KLV_FORWARD(klv_P2J, (const float p[8], float j[9]), (p, j))
KLV_FORWARD(klv_DriveA, (const char* path, const float j[9], const char* next), (path, j, next))
KLV_FORWARD(klv_get_Speed, (float* value), (value))
KLV_FORWARD(klv_put_Speed, (float value), (value))
KLV_FORWARD(klv_get_ExtSpeed, (float* value), (value))
KLV_FORWARD(klv_put_ExtSpeed, (float value), (value))
KLV_FORWARD(klv_get_CurTool, (int32_t * no), (no))
KLV_FORWARD(klv_put_CurTool, (int32_t no), (no))
KLV_FORWARD(klv_get_CurWork, (int32_t * no), (no))
KLV_FORWARD(klv_put_CurWork, (int32_t no), (no))
KLV_FORWARD(klv_get_CalData, (float a[7]), (a))
KLV_FORWARD(klv_put_CalData, (const float a[7]), (a))
KLV_FORWARD(klv_get_LinkParam, (float ss[7], float aa[7]), (ss, aa))
KLV_FORWARD(klv_put_LinkParam, (const float ss[7], const float aa[7]), (ss, aa))
KLV_FORWARD(klv_get_ToolDef, (int32_t no, float rec[7]), (no, rec))
KLV_FORWARD(klv_get_WorkDef, (int32_t no, float rec[7]), (no, rec))
KLV_FORWARD(klv_get_AreaDef, (int32_t no, float rec[14]), (no, rec))
KLV_FORWARD(klv_Calibrate, (const float rot[7], const float len[7]), (rot, len))
KLV_FORWARD(klv_get_VarI, (int32_t no, int32_t* value), (no, value))
KLV_FORWARD(klv_get_VarF, (int32_t no, float* value), (no, value))
KLV_FORWARD(klv_get_VarD, (int32_t no, double* value), (no, value))
KLV_FORWARD(klv_get_VarS, (int32_t no, char* buf, int32_t size), (no, buf, size))
KLV_FORWARD(klv_get_VarIO, (int32_t no, int32_t* value), (no, value))
KLV_FORWARD(klv_put_VarI, (int32_t no, int32_t value), (no, value))
KLV_FORWARD(klv_put_VarF, (int32_t no, float value), (no, value))
KLV_FORWARD(klv_put_VarD, (int32_t no, double value), (no, value))
KLV_FORWARD(klv_put_VarS, (int32_t no, const char* text), (no, text))
KLV_FORWARD(klv_put_VarIO, (int32_t no, int32_t value), (no, value))
