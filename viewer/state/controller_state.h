// What the viewer reads from the controller, exactly as the library returned it. Reading it is
// the link's job (link/poller.h), making sense of it the arm model's (state/arm_model.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvor::view {

inline constexpr int kAreaCount = 32;  // areas 0 to 31

using JRecord = std::array<float, 9>;   // J format
using HRecord7 = std::array<float, 7>;  // tool and work records, LinkSS, LinkAA, CalData
using AreaRecord14 = std::array<float, 14>;

// One consistent picture of the controller. An item the controller refused to give is empty
// (std::nullopt); the viewer never asks for it again on the same connection.
struct ControllerState {
  // Read at the fast rate.
  JRecord joints{};
  std::optional<int> motion;  // get_MotionState: 0 standing, 1 moving
  // Read about once a second, and soon after a motion ends.
  std::optional<HRecord7> linkSs, linkAa, cal;
  std::optional<int> toolNo, workNo;
  std::optional<HRecord7> tool, work;  // definitions of the current tool and work
  std::array<std::optional<AreaRecord14>, kAreaCount> areas{};
  std::optional<int> motor;  // 0 off, 1 on
  std::optional<int> mode;   // get_OperationMode: 1 Manual, 2 Teach, 3 Internal, 4 External Auto
  std::optional<int32_t> error;  // latched error code, 0 for none
  std::string errorText;         // its description

  bool operator==(const ControllerState&) const = default;
};

// Joints of one fast read, for the path the tool centre point travelled.
struct TrailSample {
  double time = 0;  // seconds on the link's clock
  JRecord joints{};
  bool operator==(const TrailSample&) const = default;
};

// What the link publishes after every change: the connection and the newest state.
struct Reading {
  bool connected = false;
  // Everything has been read at least once on this connection: the state is whole.
  bool complete = false;
  // A complete read has happened at some time: state holds the controller's values (the last
  // known ones while not connected).
  bool known = false;
  // Why there is no connection ("Connection refused"), or the last read the controller refused.
  std::string problem;
  double retryIn = 0;  // seconds until the next connection attempt, while not connected
  // The connection string is not understood: no attempt will ever succeed, none is made.
  bool givenUp = false;
  int attempts = 0;  // connection attempts since the link started
  double time = 0;   // seconds on the link's clock when the joints were read
  ControllerState state;
  std::vector<TrailSample> trail;  // oldest first; the joints of the last few seconds
  std::uint64_t serial = 0;        // counts the publications
};

}  // namespace kelvor::view
