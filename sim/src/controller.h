// The simulated controller: its state and the rules behind every protocol function.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "kelvor/protocol.h"

namespace kelvor::sim {

using P = std::array<float, 8>;
using J = std::array<float, 9>;
using T = std::array<float, 11>;
using H = std::array<float, 7>;
using V = std::array<float, 3>;
using Area = std::array<float, 14>;

inline constexpr int kVarCount = 1000;    // I, F, D, V, P, J, T: 0 to 999
inline constexpr int kVarSCount = 100;    // S: 0 to 99
inline constexpr int kVarIOCount = 2048;  // IO: 0 to 2047
inline constexpr size_t kMaxVarS = 1024;  // bytes of a string variable
inline constexpr int kToolCount = 64;     // tools and works 0 to 63
inline constexpr int kAreaCount = 32;     // areas 0 to 31
inline constexpr int kTaskCount = 8;      // tasks 1 to 8
inline constexpr size_t kMaxProgramName = 32;

// Everything --state keeps across restarts.
struct PersistentState {
  std::vector<int32_t> varI = std::vector<int32_t>(kVarCount);
  std::vector<float> varF = std::vector<float>(kVarCount);
  std::vector<double> varD = std::vector<double>(kVarCount);
  std::vector<std::string> varS = std::vector<std::string>(kVarSCount);
  std::vector<int32_t> varIO = std::vector<int32_t>(kVarIOCount);
  std::vector<V> varV = std::vector<V>(kVarCount);
  std::vector<P> varP = std::vector<P>(kVarCount);
  std::vector<J> varJ = std::vector<J>(kVarCount);
  std::vector<T> varT = std::vector<T>(kVarCount);
  std::vector<H> tools = std::vector<H>(kToolCount);
  std::vector<H> works = std::vector<H>(kToolCount);
  std::vector<Area> areas = std::vector<Area>(kAreaCount);
  H calData{};
  H linkSs{};
  H linkAa{};
};

struct Identity {
  std::string romVersion = "1.0.0-sim";
  std::string serialNo = "SIM-000001";
  std::string robotType = "KV6-SIM";
};

// The simple kinematics of the simulated robot.
J p2j(const P& p);
P j2p(const J& j, int cnf);
T p2t(const P& p);
P t2p(const T& t);

class Controller {
 public:
  struct Result {
    std::vector<uint8_t> payload;  // result code, then the outputs
    int32_t code = 0;
    bool persistentChange = false;  // the persistent state changed: store before replying
    bool motion = false;            // a motion was executed
  };

  explicit Controller(Identity id = {}) : id_(std::move(id)) {}
  // The automatic mode the controller starts in (0 none, 1 external, 2 internal).
  void setAutoMode(int32_t mode) { autoMode_ = mode; }

  // Executes one request (function id and its payload).
  Result handle(uint16_t func, const std::vector<uint8_t>& payload);
  // Answers a request with a given code without executing it (fault injection). A positive
  // code is latched like a real refusal.
  Result inject(int32_t code);

  // Version the handshake reply announces.
  void setProtocolVersion(uint16_t v) { protocolVersion_ = v; }
  // While a motion reply is delayed, the controller reports that it is moving.
  void setMovingUntil(std::chrono::steady_clock::time_point t) { movingUntil_ = t; }

  PersistentState& persistent() { return st_; }
  const PersistentState& persistent() const { return st_; }

 private:
  int32_t refuse(int32_t code, const std::string& why = {});
  int32_t operationMode() const;

  Identity id_;
  PersistentState st_;
  uint16_t protocolVersion_ = proto::kProtocolVersion;
  int32_t motor_ = 0;
  int32_t autoMode_ = 0;
  int32_t slave_ = 0;
  int32_t cnf_ = 0;
  int32_t errorCode_ = 0;
  std::string errorText_;
  float speed_ = 10.0f;
  float extSpeed_ = 100.0f;
  int32_t tool_ = 0;
  int32_t work_ = 0;
  P current_{};
  std::array<int32_t, kTaskCount> taskState_{};
  std::array<std::string, kTaskCount> taskProgram_{};
  std::chrono::steady_clock::time_point movingUntil_{};
};

}  // namespace kelvor::sim
