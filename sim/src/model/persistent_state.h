// Everything --state keeps across restarts: the variables, the tool, work and area
// definitions, the calibration data, the link parameters and where the arm rests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kelvor/robot/arm.h"
#include "kelvor/robot/defaults.h"
#include "kelvor/robot/frames.h"
#include "model/records.h"

namespace kelvor::sim::model {

// A table of count records whose first entries are the given defaults, the rest zeros.
template <class Record, class Defaults>
std::vector<Record> tableWith(const Defaults& defaults, size_t count) {
  std::vector<Record> table(count);
  for (size_t i = 0; i < defaults.size(); ++i) {
    table[i] = robot::convertArray<float>(defaults[i]);
  }
  return table;
}

// A link parameter or calibration record: the six axes, the seventh element 0.
inline H axesRecord(const robot::Axes& axes) {
  H h{};
  for (int i = 0; i < robot::kAxes; ++i) h[static_cast<size_t>(i)] = static_cast<float>(axes[i]);
  return h;
}

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
  std::vector<H> tools = tableWith<H>(robot::kDefaultTools, kToolCount);
  std::vector<H> works = tableWith<H>(robot::kDefaultWorks, kToolCount);
  std::vector<Area> areas = tableWith<Area>(robot::kDefaultAreas, kAreaCount);
  H calData{};
  H linkSs = axesRecord(robot::LinkParams().ss);
  H linkAa = axesRecord(robot::LinkParams().aa);
  // Where the arm rests: J1 to J6 and the external axes, as the controller computes them.
  std::array<double, 9> joints{};
};

// A table of PersistentState, e.g. &PersistentState::varI or &PersistentState::tools.
template <class Value>
using Table = std::vector<Value> PersistentState::*;

}  // namespace kelvor::sim::model
