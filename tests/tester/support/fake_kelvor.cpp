#include "fake_kelvor.h"

#include <cstdio>
#include <cstring>

namespace fakearg {
std::string i(int32_t v) { return std::to_string(v); }
std::string f(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
  return buf;
}
std::string d(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}
std::string s(const char* v) { return v ? "\"" + std::string(v) + "\"" : "null"; }
std::string floats(const float* v, int n) {
  std::string out = "[";
  for (int k = 0; k < n; ++k) out += (k ? "," : "") + f(v[k]);
  return out + "]";
}
std::string floats(std::initializer_list<float> v) {
  return floats(v.begin(), static_cast<int>(v.size()));
}
}  // namespace fakearg

using namespace fakearg;

std::string FakeCall::text() const {
  std::string out = name + "(";
  for (size_t k = 0; k < args.size(); ++k) out += (k ? "," : "") + args[k];
  return out + ")";
}

static std::string fullName(const std::string& fn) {
  return fn.rfind("klv_", 0) == 0 ? fn : "klv_" + fn;
}

void FakeKelvor::script(const std::string& fn, FakeReply reply) {
  queued_[fullName(fn)].push_back(std::move(reply));
}

void FakeKelvor::always(const std::string& fn, FakeReply reply) {
  always_[fullName(fn)] = std::move(reply);
}

std::vector<std::string> FakeKelvor::names() const {
  std::vector<std::string> out;
  for (const FakeCall& c : calls_) out.push_back(c.name);
  return out;
}

std::vector<std::string> FakeKelvor::texts() const {
  std::vector<std::string> out;
  for (const FakeCall& c : calls_) out.push_back(c.text());
  return out;
}

std::optional<FakeCall> FakeKelvor::last(const std::string& fn) const {
  for (auto it = calls_.rbegin(); it != calls_.rend(); ++it) {
    if (it->name == fullName(fn)) return *it;
  }
  return std::nullopt;
}

int FakeKelvor::count(const std::string& fn) const {
  int n = 0;
  for (const FakeCall& c : calls_) n += c.name == fullName(fn);
  return n;
}

FakeReply FakeKelvor::take(const std::string& name, std::vector<std::string> args) {
  calls_.push_back({name, std::move(args)});
  FakeReply reply;
  if (auto q = queued_.find(name); q != queued_.end() && !q->second.empty()) {
    reply = std::move(q->second.front());
    q->second.pop_front();
  } else if (auto a = always_.find(name); a != always_.end()) {
    reply = a->second;
  }
  if (reply.action) reply.action();
  return reply;
}

namespace {
template <class T>
void put(const FakeReply& r, T* out, int n, int from = 0) {
  for (int k = 0; k < n; ++k) {
    const size_t at = static_cast<size_t>(from + k);
    out[k] = at < r.values.size() ? static_cast<T>(r.values[at]) : T{};
  }
}
void putText(const FakeReply& r, char* buf, int32_t size) {
  if (!r.text || size <= 0) return;
  const size_t room = static_cast<size_t>(size);
  const size_t n = std::min(r.text->size(), room);
  std::memcpy(buf, r.text->data(), n);
  if (r.nul && n < room) buf[n] = '\0';
}
}  // namespace

int32_t FakeKelvor::klv_Connect(char* conn, int32_t timeout_ms, int32_t flags) {
  return take("klv_Connect", {s(conn), i(timeout_ms), i(flags)}).result;
}
int32_t FakeKelvor::klv_Disconnect() { return take("klv_Disconnect", {}).result; }

#define FAKE_TEXT_OUT(fn)                                     \
  int32_t FakeKelvor::fn(char* buf, int32_t size) {           \
    FakeReply r = take(#fn, {buf ? "buf" : "null", i(size)}); \
    putText(r, buf, size);                                    \
    return r.result;                                          \
  }
FAKE_TEXT_OUT(klv_get_RomVersion)
FAKE_TEXT_OUT(klv_get_SerialNo)
FAKE_TEXT_OUT(klv_get_RobotType)
FAKE_TEXT_OUT(klv_get_ErrorDescription)

#define FAKE_SCALAR_OUT(fn, T)        \
  int32_t FakeKelvor::fn(T* out) {    \
    FakeReply r = take(#fn, {"out"}); \
    put(r, out, 1);                   \
    return r.result;                  \
  }
FAKE_SCALAR_OUT(klv_get_OperationMode, int32_t)
FAKE_SCALAR_OUT(klv_get_MotorState, int32_t)
FAKE_SCALAR_OUT(klv_get_AutoMode, int32_t)
FAKE_SCALAR_OUT(klv_get_RobSlaveState, int32_t)
FAKE_SCALAR_OUT(klv_get_ErrorCode, int32_t)
FAKE_SCALAR_OUT(klv_get_Speed, float)
FAKE_SCALAR_OUT(klv_get_ExtSpeed, float)
FAKE_SCALAR_OUT(klv_get_CurTool, int32_t)
FAKE_SCALAR_OUT(klv_get_CurWork, int32_t)

#define FAKE_INT_IN(fn) \
  int32_t FakeKelvor::fn(int32_t v) { return take(#fn, {i(v)}).result; }
FAKE_INT_IN(klv_put_MotorState)
FAKE_INT_IN(klv_put_AutoMode)
FAKE_INT_IN(klv_ClearError)
FAKE_INT_IN(klv_put_CurTool)
FAKE_INT_IN(klv_put_CurWork)

#define FAKE_FLOAT_IN(fn) \
  int32_t FakeKelvor::fn(float v) { return take(#fn, {f(v)}).result; }
FAKE_FLOAT_IN(klv_put_Speed)
FAKE_FLOAT_IN(klv_put_ExtSpeed)

int32_t FakeKelvor::klv_StartRobSlave() { return take("klv_StartRobSlave", {}).result; }
int32_t FakeKelvor::klv_StopRobSlave() { return take("klv_StopRobSlave", {}).result; }

int32_t FakeKelvor::klv_get_CurrentP(float p[8]) {
  FakeReply r = take("klv_get_CurrentP", {"out[8]"});
  put(r, p, 8);
  return r.result;
}
int32_t FakeKelvor::klv_P2T(const float p[8], float t[11]) {
  FakeReply r = take("klv_P2T", {floats(p, 8), "out[11]"});
  put(r, t, 11);
  return r.result;
}
int32_t FakeKelvor::klv_MoveT(int32_t comp, const char* path, const float t[11], const char* next) {
  return take("klv_MoveT", {i(comp), s(path), floats(t, 11), s(next)}).result;
}
int32_t FakeKelvor::klv_DevH(const float base[7], const float offset[7], float result[7]) {
  FakeReply r = take("klv_DevH", {floats(base, 7), floats(offset, 7), "out[7]"});
  put(r, result, 7);
  return r.result;
}
int32_t FakeKelvor::klv_ApproachP(int32_t comp, const float p[8], const char* path, float length,
                                  const char* next) {
  return take("klv_ApproachP", {i(comp), floats(p, 8), s(path), f(length), s(next)}).result;
}
int32_t FakeKelvor::klv_Depart(int32_t comp, const char* path, float length, const char* next) {
  return take("klv_Depart", {i(comp), s(path), f(length), s(next)}).result;
}
int32_t FakeKelvor::klv_P2J(const float p[8], float j[9]) {
  FakeReply r = take("klv_P2J", {floats(p, 8), "out[9]"});
  put(r, j, 9);
  return r.result;
}
int32_t FakeKelvor::klv_DriveA(const char* path, const float j[9], const char* next) {
  return take("klv_DriveA", {s(path), floats(j, 9), s(next)}).result;
}
int32_t FakeKelvor::klv_get_CalData(float a[7]) {
  FakeReply r = take("klv_get_CalData", {"out[7]"});
  put(r, a, 7);
  return r.result;
}
int32_t FakeKelvor::klv_put_CalData(const float a[7]) {
  return take("klv_put_CalData", {floats(a, 7)}).result;
}
int32_t FakeKelvor::klv_get_LinkParam(float ss[7], float aa[7]) {
  FakeReply r = take("klv_get_LinkParam", {"out[7]", "out[7]"});
  put(r, ss, 7);
  put(r, aa, 7, 7);
  return r.result;
}
int32_t FakeKelvor::klv_put_LinkParam(const float ss[7], const float aa[7]) {
  return take("klv_put_LinkParam", {floats(ss, 7), floats(aa, 7)}).result;
}

#define FAKE_DEF_OUT(fn, N)                          \
  int32_t FakeKelvor::fn(int32_t no, float rec[N]) { \
    FakeReply r = take(#fn, {i(no), "out[" #N "]"}); \
    put(r, rec, N);                                  \
    return r.result;                                 \
  }
FAKE_DEF_OUT(klv_get_ToolDef, 7)
FAKE_DEF_OUT(klv_get_WorkDef, 7)
FAKE_DEF_OUT(klv_get_AreaDef, 14)

int32_t FakeKelvor::klv_Calibrate(const float rot[7], const float len[7]) {
  return take("klv_Calibrate", {floats(rot, 7), floats(len, 7)}).result;
}

#define FAKE_VAR_OUT(fn, T)                    \
  int32_t FakeKelvor::fn(int32_t no, T* out) { \
    FakeReply r = take(#fn, {i(no), "out"});   \
    put(r, out, 1);                            \
    return r.result;                           \
  }
FAKE_VAR_OUT(klv_get_VarI, int32_t)
FAKE_VAR_OUT(klv_get_VarF, float)
FAKE_VAR_OUT(klv_get_VarD, double)
FAKE_VAR_OUT(klv_get_VarIO, int32_t)

int32_t FakeKelvor::klv_get_VarS(int32_t no, char* buf, int32_t size) {
  FakeReply r = take("klv_get_VarS", {i(no), buf ? "buf" : "null", i(size)});
  putText(r, buf, size);
  return r.result;
}
int32_t FakeKelvor::klv_put_VarI(int32_t no, int32_t v) {
  return take("klv_put_VarI", {i(no), i(v)}).result;
}
int32_t FakeKelvor::klv_put_VarF(int32_t no, float v) {
  return take("klv_put_VarF", {i(no), f(v)}).result;
}
int32_t FakeKelvor::klv_put_VarD(int32_t no, double v) {
  return take("klv_put_VarD", {i(no), d(v)}).result;
}
int32_t FakeKelvor::klv_put_VarS(int32_t no, const char* text) {
  return take("klv_put_VarS", {i(no), s(text)}).result;
}
int32_t FakeKelvor::klv_put_VarIO(int32_t no, int32_t v) {
  return take("klv_put_VarIO", {i(no), i(v)}).result;
}
