#include "controller.h"

#include <cmath>
#include <cstdio>

#include "kelvor.h"
#include "kelvor/codes.h"

namespace kelvor::sim {

using proto::Func;
using proto::Reader;
using proto::Writer;

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;

template <size_t N>
std::array<float, N> readArray(Reader& r) {
  std::array<float, N> a{};
  r.floats(a.data(), N);
  return a;
}

template <size_t N>
bool finite(const std::array<float, N>& a) {
  for (float v : a) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

bool inRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

}  // namespace

// Joints: X, Y, Z halved, A, B, C as they are, the extra axis on joint 7.
J p2j(const P& p) {
  J j{};
  for (int i = 0; i < 3; ++i) j[i] = p[i] * 0.5f;
  for (int i = 3; i < 6; ++i) j[i] = p[i];
  j[6] = p[7];
  return j;
}

P j2p(const J& j, int cnf) {
  P p{};
  for (int i = 0; i < 3; ++i) p[i] = j[i] * 2.0f;
  for (int i = 3; i < 6; ++i) p[i] = j[i];
  p[6] = static_cast<float>(cnf);
  p[7] = j[6];
  return p;
}

// Z-Y-Z Euler angles A, B, C to the orientation (second) and approach (third) columns of
// R = Rz(A) Ry(B) Rz(C).
T p2t(const P& p) {
  const double a = p[3] * kDeg, b = p[4] * kDeg, c = p[5] * kDeg;
  const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
  const double cc = std::cos(c), sc = std::sin(c);
  T t{};
  t[0] = p[0];
  t[1] = p[1];
  t[2] = p[2];
  t[3] = static_cast<float>(-ca * cb * sc - sa * cc);
  t[4] = static_cast<float>(-sa * cb * sc + ca * cc);
  t[5] = static_cast<float>(sb * sc);
  t[6] = static_cast<float>(ca * sb);
  t[7] = static_cast<float>(sa * sb);
  t[8] = static_cast<float>(cb);
  t[9] = p[6];
  t[10] = p[7];
  return t;
}

P t2p(const T& t) {
  const double ox = t[3], oy = t[4], oz = t[5], ax = t[6], ay = t[7], az = t[8];
  // Normal vector n = o x a; only its z component is needed.
  const double nz = ox * ay - oy * ax;
  P p{};
  p[0] = t[0];
  p[1] = t[1];
  p[2] = t[2];
  const double sb = std::sqrt(ax * ax + ay * ay);
  double a = 0, b = 0, c = 0;
  if (sb > 1e-9) {
    a = std::atan2(ay, ax);
    b = std::atan2(sb, az);
    c = std::atan2(oz, -nz);
  } else {
    // B = 0 or 180: only A + C (or A - C) is defined; put it all on C.
    b = az > 0 ? 0.0 : 180.0 * kDeg;
    c = az > 0 ? std::atan2(-ox, oy) : std::atan2(ox, oy);
  }
  p[3] = static_cast<float>(a / kDeg);
  p[4] = static_cast<float>(b / kDeg);
  p[5] = static_cast<float>(c / kDeg);
  p[6] = t[9];
  p[7] = t[10];
  return p;
}

int32_t Controller::refuse(int32_t code, const std::string& why) {
  errorCode_ = code;
  errorText_ = why.empty() ? proto::codeText(code) : why;
  return code;
}

int32_t Controller::operationMode() const {
  switch (autoMode_) {
    case 1:
      return 4;  // External Auto
    case 2:
      return 3;  // Internal Auto
    default:
      return motor_ ? 2 : 1;  // Teach or Manual
  }
}

Controller::Result Controller::inject(int32_t code) {
  Result res;
  if (code > 0) {
    char text[64];
    std::snprintf(text, sizeof text, "Injected fault (0x%X)", static_cast<uint32_t>(code));
    refuse(code, text);
  }
  res.code = code;
  res.payload = Writer().i32(code).take();
  return res;
}

Controller::Result Controller::handle(uint16_t id, const std::vector<uint8_t>& payload) {
  Result res;
  const proto::FuncInfo* info = proto::findFunc(id);
  Writer out;
  int32_t rc = KLV_OK;
  auto finish = [&] {
    res.code = rc;
    Writer w;
    w.i32(rc);
    res.payload = w.take();
    if (rc == KLV_OK) {
      const auto& o = out.bytes();
      res.payload.insert(res.payload.end(), o.begin(), o.end());
      res.motion = proto::movesArm(id);  // the motions are listed in functions.def
    } else {
      res.persistentChange = false;
    }
    return res;
  };
  if (!info) {
    rc = refuse(KLV_C_UNKNOWN_FUNCTION);
    return finish();
  }
  if (!proto::matchesSignature(info->request, payload.data(), payload.size())) {
    rc = refuse(KLV_C_BAD_REQUEST);
    return finish();
  }
  Reader in(payload);
  const auto func = static_cast<Func>(id);

  auto needMotor = [&] { return motor_ ? KLV_OK : refuse(KLV_C_MOTOR_OFF); };
  auto checkComp = [&](int32_t comp) {
    return inRange(comp, 0, 2)
               ? KLV_OK
               : refuse(KLV_C_VALUE_OUT_OF_RANGE, "Comp (interpolation) out of range");
  };
  auto varNo = [&](int32_t no, int count) {
    return inRange(no, 0, count - 1) ? KLV_OK : refuse(KLV_C_VAR_NUMBER_OUT_OF_RANGE);
  };
  auto defNo = [&](int32_t no, int count) {
    return inRange(no, 0, count - 1) ? KLV_OK : refuse(KLV_C_UNKNOWN_DEFINITION);
  };
  auto badValue = [&] { return refuse(KLV_C_VALUE_OUT_OF_RANGE); };
  // Common path of all motions: checks, then the new current position.
  auto moveTo = [&](int32_t comp, const P& target) {
    if ((rc = needMotor()) != KLV_OK) return;
    if ((rc = checkComp(comp)) != KLV_OK) return;
    if (!finite(target)) {
      rc = refuse(KLV_C_VALUE_OUT_OF_RANGE, "Target position not finite");
      return;
    }
    current_ = target;
  };

  switch (func) {
    case Func::Hello:
      in.i32();
      in.str();
      out.i32(protocolVersion_).str("kelvor-sim " + id_.robotType + " " + id_.serialNo);
      break;
    case Func::get_RomVersion:
      out.str(id_.romVersion);
      break;
    case Func::get_SerialNo:
      out.str(id_.serialNo);
      break;
    case Func::get_RobotType:
      out.str(id_.robotType);
      break;
    case Func::get_OperationMode:
      out.i32(operationMode());
      break;
    case Func::get_MotorState:
      out.i32(motor_);
      break;
    case Func::put_MotorState: {
      const int32_t v = in.i32();
      if (!inRange(v, 0, 1))
        rc = badValue();
      else
        motor_ = v;
      break;
    }
    case Func::get_AutoMode:
      out.i32(autoMode_);
      break;
    case Func::put_AutoMode: {
      const int32_t v = in.i32();
      if (!inRange(v, 0, 2))
        rc = badValue();
      else if (slave_ && v != autoMode_)
        rc = refuse(KLV_C_SLAVE_MODE_ACTIVE);
      else
        autoMode_ = v;
      break;
    }
    case Func::get_AutoEnable:
      out.i32(autoMode_ != 0 ? 1 : 0);
      break;
    case Func::get_DeadmanSwitch:
      out.i32(0);
      break;
    case Func::get_EmergencyStop:
      out.i32(0);
      break;
    case Func::get_RobSlaveState:
      out.i32(slave_);
      break;
    case Func::StartRobSlave:
      if (autoMode_ != 2)
        rc = refuse(KLV_C_NOT_INTERNAL_AUTO);
      else
        slave_ = 1;
      break;
    case Func::StopRobSlave:
      slave_ = 0;
      break;
    case Func::get_ErrorCode:
      out.i32(errorCode_);
      break;
    case Func::get_ErrorDescription:
      out.str(errorCode_ ? errorText_ : "No error");
      break;
    case Func::ClearError: {
      const int32_t v = in.i32();
      if (v == 0 || v == errorCode_) {
        errorCode_ = 0;
        errorText_.clear();
      }
      break;
    }
    case Func::get_CurrentP:
      out.floats(current_.data(), 8);
      break;
    case Func::get_CurrentJ: {
      const J j = p2j(current_);
      out.floats(j.data(), 9);
      break;
    }
    case Func::get_CurrentT: {
      const T t = p2t(current_);
      out.floats(t.data(), 11);
      break;
    }
    case Func::get_CnfData:
      out.i32(cnf_);
      break;
    case Func::put_CnfData: {
      const int32_t v = in.i32();
      if (!inRange(v, 0, 7))
        rc = badValue();
      else
        cnf_ = v;
      break;
    }
    case Func::get_MotionState:
      out.i32(std::chrono::steady_clock::now() < movingUntil_ ? 1 : 0);
      break;
    case Func::MoveP: {
      const int32_t comp = in.i32();
      in.str();
      moveTo(comp, readArray<8>(in));
      break;
    }
    case Func::MoveJ: {
      const int32_t comp = in.i32();
      in.str();
      moveTo(comp, j2p(readArray<9>(in), cnf_));
      break;
    }
    case Func::MoveT: {
      const int32_t comp = in.i32();
      in.str();
      moveTo(comp, t2p(readArray<11>(in)));
      break;
    }
    case Func::ApproachP:
    case Func::ApproachJ:
    case Func::ApproachT: {
      const int32_t comp = in.i32();
      P target{};
      if (func == Func::ApproachP) target = readArray<8>(in);
      if (func == Func::ApproachJ) target = j2p(readArray<9>(in), cnf_);
      if (func == Func::ApproachT) target = t2p(readArray<11>(in));
      in.str();
      target[2] += in.f32();
      moveTo(comp, target);
      break;
    }
    case Func::Depart: {
      const int32_t comp = in.i32();
      in.str();
      P target = current_;
      target[2] += in.f32();
      moveTo(comp, target);
      break;
    }
    case Func::DriveA: {
      in.str();
      moveTo(0, j2p(readArray<9>(in), cnf_));
      break;
    }
    case Func::Drive: {
      in.str();
      const int32_t axis = in.i32();
      const float value = in.f32();
      if (!inRange(axis, 1, 9)) {
        rc = refuse(KLV_C_VALUE_OUT_OF_RANGE, "Axis number out of range");
        break;
      }
      J j = p2j(current_);
      j[static_cast<size_t>(axis - 1)] += value;
      moveTo(0, j2p(j, static_cast<int>(current_[6])));
      break;
    }
    case Func::P2T: {
      const T t = p2t(readArray<8>(in));
      out.floats(t.data(), 11);
      break;
    }
    case Func::P2J: {
      const J j = p2j(readArray<8>(in));
      out.floats(j.data(), 9);
      break;
    }
    case Func::J2P: {
      const P p = j2p(readArray<9>(in), cnf_);
      out.floats(p.data(), 8);
      break;
    }
    case Func::J2T: {
      const T t = p2t(j2p(readArray<9>(in), cnf_));
      out.floats(t.data(), 11);
      break;
    }
    case Func::T2P: {
      const P p = t2p(readArray<11>(in));
      out.floats(p.data(), 8);
      break;
    }
    case Func::T2J: {
      const J j = p2j(t2p(readArray<11>(in)));
      out.floats(j.data(), 9);
      break;
    }
    case Func::Dev: {
      P base = readArray<8>(in);
      const P off = readArray<8>(in);
      for (int i = 0; i < 3; ++i) base[i] += off[i];
      out.floats(base.data(), 8);
      break;
    }
    case Func::DevH: {
      H base = readArray<7>(in);
      const H off = readArray<7>(in);
      for (int i = 0; i < 3; ++i) base[i] += off[i];
      out.floats(base.data(), 7);
      break;
    }
    case Func::get_Speed:
      out.f32(speed_);
      break;
    case Func::put_Speed:
    case Func::put_ExtSpeed: {
      const float v = in.f32();
      if (!(v >= 0.0f && v <= 100.0f)) {
        rc = refuse(KLV_C_VALUE_OUT_OF_RANGE, "Speed out of range (0 to 100 %)");
      } else {
        (func == Func::put_Speed ? speed_ : extSpeed_) = v;
      }
      break;
    }
    case Func::get_ExtSpeed:
      out.f32(extSpeed_);
      break;
    case Func::get_CurTool:
      out.i32(tool_);
      break;
    case Func::get_CurWork:
      out.i32(work_);
      break;
    case Func::put_CurTool:
    case Func::put_CurWork: {
      const int32_t v = in.i32();
      if ((rc = defNo(v, kToolCount)) == KLV_OK) (func == Func::put_CurTool ? tool_ : work_) = v;
      break;
    }
    case Func::get_ToolDef:
    case Func::get_WorkDef: {
      const int32_t no = in.i32();
      if ((rc = defNo(no, kToolCount)) != KLV_OK) break;
      const H& h = (func == Func::get_ToolDef ? st_.tools : st_.works)[static_cast<size_t>(no)];
      out.floats(h.data(), 7);
      break;
    }
    case Func::put_ToolDef:
    case Func::put_WorkDef: {
      const int32_t no = in.i32();
      const H h = readArray<7>(in);
      if ((rc = defNo(no, kToolCount)) != KLV_OK) break;
      if (!finite(h)) {
        rc = badValue();
        break;
      }
      (func == Func::put_ToolDef ? st_.tools : st_.works)[static_cast<size_t>(no)] = h;
      res.persistentChange = true;
      break;
    }
    case Func::get_AreaDef: {
      const int32_t no = in.i32();
      if ((rc = defNo(no, kAreaCount)) != KLV_OK) break;
      out.floats(st_.areas[static_cast<size_t>(no)].data(), 14);
      break;
    }
    case Func::put_AreaDef: {
      const int32_t no = in.i32();
      const Area a = readArray<14>(in);
      if ((rc = defNo(no, kAreaCount)) != KLV_OK) break;
      if (!finite(a)) {
        rc = badValue();
        break;
      }
      st_.areas[static_cast<size_t>(no)] = a;
      res.persistentChange = true;
      break;
    }
    case Func::get_CalData:
      out.floats(st_.calData.data(), 7);
      break;
    case Func::put_CalData: {
      const H h = readArray<7>(in);
      if (!finite(h)) {
        rc = badValue();
        break;
      }
      st_.calData = h;
      res.persistentChange = true;
      break;
    }
    case Func::get_LinkParam:
      out.floats(st_.linkSs.data(), 7).floats(st_.linkAa.data(), 7);
      break;
    case Func::put_LinkParam:
    case Func::Calibrate: {
      const H a = readArray<7>(in);
      const H b = readArray<7>(in);
      if (!finite(a) || !finite(b)) {
        rc = badValue();
        break;
      }
      if (func == Func::Calibrate) {
        if (motor_) {
          rc = refuse(KLV_C_MOTOR_ON);
          break;
        }
        st_.calData = a;
        st_.linkSs = b;
      } else {
        st_.linkSs = a;
        st_.linkAa = b;
      }
      res.persistentChange = true;
      break;
    }
    case Func::get_VarI: {
      const int32_t no = in.i32();
      if ((rc = varNo(no, kVarCount)) == KLV_OK) out.i32(st_.varI[static_cast<size_t>(no)]);
      break;
    }
    case Func::put_VarI: {
      const int32_t no = in.i32();
      const int32_t v = in.i32();
      if ((rc = varNo(no, kVarCount)) != KLV_OK) break;
      st_.varI[static_cast<size_t>(no)] = v;
      res.persistentChange = true;
      break;
    }
    case Func::get_VarF: {
      const int32_t no = in.i32();
      if ((rc = varNo(no, kVarCount)) == KLV_OK) out.f32(st_.varF[static_cast<size_t>(no)]);
      break;
    }
    case Func::put_VarF: {
      const int32_t no = in.i32();
      const float v = in.f32();
      if ((rc = varNo(no, kVarCount)) != KLV_OK) break;
      st_.varF[static_cast<size_t>(no)] = v;
      res.persistentChange = true;
      break;
    }
    case Func::get_VarD: {
      const int32_t no = in.i32();
      if ((rc = varNo(no, kVarCount)) == KLV_OK) out.f64(st_.varD[static_cast<size_t>(no)]);
      break;
    }
    case Func::put_VarD: {
      const int32_t no = in.i32();
      const double v = in.f64();
      if ((rc = varNo(no, kVarCount)) != KLV_OK) break;
      st_.varD[static_cast<size_t>(no)] = v;
      res.persistentChange = true;
      break;
    }
    case Func::get_VarS: {
      const int32_t no = in.i32();
      if ((rc = varNo(no, kVarSCount)) == KLV_OK) out.str(st_.varS[static_cast<size_t>(no)]);
      break;
    }
    case Func::put_VarS: {
      const int32_t no = in.i32();
      std::string v = in.str();
      if ((rc = varNo(no, kVarSCount)) != KLV_OK) break;
      if (v.size() > kMaxVarS) {
        rc = refuse(KLV_C_STRING_TOO_LONG);
        break;
      }
      st_.varS[static_cast<size_t>(no)] = std::move(v);
      res.persistentChange = true;
      break;
    }
    case Func::get_VarIO: {
      const int32_t no = in.i32();
      if ((rc = varNo(no, kVarIOCount)) == KLV_OK) out.i32(st_.varIO[static_cast<size_t>(no)]);
      break;
    }
    case Func::put_VarIO: {
      const int32_t no = in.i32();
      const int32_t v = in.i32();
      if ((rc = varNo(no, kVarIOCount)) != KLV_OK) break;
      if (!inRange(v, 0, 1)) {
        rc = refuse(KLV_C_VALUE_OUT_OF_RANGE, "I/O value must be 0 or 1");
        break;
      }
      st_.varIO[static_cast<size_t>(no)] = v;
      res.persistentChange = true;
      break;
    }
#define KLV_SIM_ARRAY_VAR(getName, putName, member, n)           \
  case Func::getName: {                                          \
    const int32_t no = in.i32();                                 \
    if ((rc = varNo(no, kVarCount)) == KLV_OK) {                 \
      out.floats(st_.member[static_cast<size_t>(no)].data(), n); \
    }                                                            \
    break;                                                       \
  }                                                              \
  case Func::putName: {                                          \
    const int32_t no = in.i32();                                 \
    const auto v = readArray<n>(in);                             \
    if ((rc = varNo(no, kVarCount)) != KLV_OK) break;            \
    st_.member[static_cast<size_t>(no)] = v;                     \
    res.persistentChange = true;                                 \
    break;                                                       \
  }
      KLV_SIM_ARRAY_VAR(get_VarV, put_VarV, varV, 3)
      KLV_SIM_ARRAY_VAR(get_VarP, put_VarP, varP, 8)
      KLV_SIM_ARRAY_VAR(get_VarJ, put_VarJ, varJ, 9)
      KLV_SIM_ARRAY_VAR(get_VarT, put_VarT, varT, 11)
#undef KLV_SIM_ARRAY_VAR
    case Func::StartTask: {
      const int32_t task = in.i32();
      const std::string program = in.str();
      if (!inRange(task, 1, kTaskCount)) {
        rc = refuse(KLV_C_UNKNOWN_TASK);
      } else if (program.empty() || program.size() > kMaxProgramName) {
        rc = refuse(KLV_C_VALUE_OUT_OF_RANGE, "Program name must have 1 to 32 characters");
      } else if (autoMode_ != 2) {
        rc = refuse(KLV_C_NOT_INTERNAL_AUTO);
      } else if (taskState_[static_cast<size_t>(task - 1)]) {
        rc = refuse(KLV_C_TASK_RUNNING);
      } else {
        taskState_[static_cast<size_t>(task - 1)] = 1;
        taskProgram_[static_cast<size_t>(task - 1)] = program;
      }
      break;
    }
    case Func::StopTask:
    case Func::get_TaskState: {
      const int32_t task = in.i32();
      if (!inRange(task, 1, kTaskCount)) {
        rc = refuse(KLV_C_UNKNOWN_TASK);
        break;
      }
      int32_t& state = taskState_[static_cast<size_t>(task - 1)];
      if (func == Func::StopTask)
        state = 0;
      else
        out.i32(state);
      break;
    }
  }
  return finish();
}

}  // namespace kelvor::sim
