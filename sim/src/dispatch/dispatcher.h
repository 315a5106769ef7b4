// Executes requests on the controller: the fault hooks first, then the function's handler, the
// refusal latch and, before the reply leaves, storing the persistent state when it changed.
// Thread-safe: every call holds the dispatcher's lock while it runs, so each request is atomic
// whichever thread executes it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dispatch/faults.h"
#include "model/clock.h"
#include "model/controller.h"

namespace kelvor::sim::dispatch {

class Dispatcher {
 public:
  // Stores the persistent state; false with a message when it could not.
  using Store = std::function<bool(const model::PersistentState&, std::string& error)>;

  struct Outcome {
    std::vector<uint8_t> reply;  // the reply payload: result code, then the outputs
    int32_t code = 0;
    std::chrono::milliseconds delay{0};     // hold the reply back this long (--delay)
    std::optional<model::MotionId> motion;  // the reply waits until this motion has ended
  };

  // The controller and the clock must outlive the dispatcher. Without a store nothing is kept.
  Dispatcher(model::Controller& controller, const model::Clock& clock, Faults faults = {},
             Store store = {})
      : ctl_(controller), clock_(clock), faults_(std::move(faults)), store_(std::move(store)) {}

  // What the dispatcher knows about one peer's connection.
  struct Peer {
    bool greeted = false;  // a handshake (Hello) in the controller's protocol version succeeded
  };

  // Executes one request that arrived on peer's connection. Until a handshake has succeeded
  // there, every other request is refused with KLV_C_HANDSHAKE_REQUIRED; a Hello announcing
  // another protocol version than the controller's is refused with KLV_C_PROTOCOL_VERSION.
  // Neither refusal is latched: they concern only that connection.
  Outcome execute(Peer& peer, uint16_t func, const std::vector<uint8_t>& payload);
  // The same into out, whose reply's storage is reused: a request that needs no more room
  // than the last one allocates nothing.
  void execute(Peer& peer, uint16_t func, const std::vector<uint8_t>& payload, Outcome& out);
  // Brings the controller to the clock's time and executes one request, as on a connection
  // whose handshake has succeeded.
  Outcome execute(uint16_t func, const std::vector<uint8_t>& payload);

  // For an outcome whose reply waits for a motion: brings the controller to the clock's time
  // and gives how much longer, in real time, the motion is expected to run. Once it has ended:
  // nothing, and outcome.motion is reset and outcome.reply holds the final reply.
  std::optional<model::Duration> awaitMotion(Outcome& outcome);

  // The controller shuts down: a motion stops where the arm is and the state is stored.
  void halt();

  // A reply with code alone, not latched.
  static Outcome answer(int32_t code);

 private:
  // Executes one request as on a greeted connection, into out.
  void run(uint16_t func, const std::vector<uint8_t>& payload, Outcome& out);
  // out becomes a reply with code alone, in out's storage.
  static void answer(int32_t code, Outcome& out);
  // The same, latched as the controller's error.
  void refuse(model::Status refusal, Outcome& out);
  // Stores the persistent state when it changed; false when that failed.
  bool storeChanges();

  std::mutex lock_;  // held by every call that reads or changes the controller
  model::Controller& ctl_;
  const model::Clock& clock_;
  Faults faults_;
  Store store_;
};

}  // namespace kelvor::sim::dispatch
