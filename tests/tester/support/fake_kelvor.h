// An in-process scripted controller library. Every call is recorded with all its arguments as
// text: integers in decimal, floats with 9 significant digits (exact for a float), in-arrays in
// full as [a,b,...], strings quoted with their exact bytes, null pointers as null, out-arguments
// as "out" (with their element count) and output buffers as "buf". Results and outputs come
// from a per-function script; an unscripted call succeeds and writes zeros.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ctrllib/kelvor_api.h"

struct FakeCall {
  std::string name;               // "klv_MoveT"
  std::vector<std::string> args;  // {"1", "\"@0\"", "[0,0,...]", "null"}
  std::string text() const;       // klv_MoveT(1,"@0",[0,...],null)
};

struct FakeReply {
  int32_t result = 0;
  // Values written to the out-arguments in order: a scalar takes values[0], an array its
  // elements, klv_get_LinkParam SS then AA. Written even on failure, as a careless library
  // might, so tests see that failed outputs are never used.
  std::vector<double> values;
  std::optional<std::string> text;  // written into an output buffer
  bool nul = true;                  // false: the text is written without a terminating NUL
  std::function<void()> action;     // runs during the call, before it returns
};

class FakeKelvor : public KelvorApi {
 public:
  // Queue a reply for the next call of fn ("klv_get_Speed" or "get_Speed").
  void script(const std::string& fn, FakeReply reply);
  void script(const std::string& fn, int32_t result) {
    script(fn, FakeReply{result, {}, {}, true, {}});
  }
  // The reply for every call of fn once its queue is empty.
  void always(const std::string& fn, FakeReply reply);
  void always(const std::string& fn, int32_t result) {
    always(fn, FakeReply{result, {}, {}, true, {}});
  }

  const std::vector<FakeCall>& calls() const { return calls_; }
  std::vector<std::string> names() const;  // the function names in call order
  std::vector<std::string> texts() const;  // every call as text
  std::optional<FakeCall> last(const std::string& fn) const;
  int count(const std::string& fn) const;
  void clear() { calls_.clear(); }

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
  FakeReply take(const std::string& name, std::vector<std::string> args);

  std::vector<FakeCall> calls_;
  std::map<std::string, std::deque<FakeReply>> queued_;
  std::map<std::string, FakeReply> always_;
};

// Argument text, as recorded: for building expected calls in tests.
namespace fakearg {
std::string i(int32_t v);
std::string f(float v);
std::string d(double v);
std::string s(const char* v);  // quoted, or null
std::string floats(const float* v, int n);
std::string floats(std::initializer_list<float> v);
}  // namespace fakearg
