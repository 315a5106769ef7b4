// Everything --state keeps across restarts: the variables, the tool, work and area
// definitions, the calibration data and the link parameters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/records.h"

namespace kelvor::sim::model {

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

// A table of PersistentState, e.g. &PersistentState::varI or &PersistentState::tools.
template <class Value>
using Table = std::vector<Value> PersistentState::*;

}  // namespace kelvor::sim::model
