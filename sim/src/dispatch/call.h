// One request as its handler sees it: the controller, the request's arguments decoded in
// order, the outputs of the reply and whether the reply waits for a motion.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kelvor/protocol.h"
#include "model/controller.h"

namespace kelvor::sim::dispatch {

class Call {
 public:
  // The reply is written into the storage of reply, which the dispatcher reuses from request
  // to request: the success code first, then the outputs.
  Call(model::Controller& controller, const std::vector<uint8_t>& payload,
       std::vector<uint8_t> reply = {})
      : ctl(controller), in_(payload), out_(std::move(reply)) {
    out_.i32(KLV_OK);
  }

  model::Controller& ctl;

  // The next argument, of the type the request signature has at this place: int32_t (i),
  // float (f), double (d), std::string (s) or a float record (V H P J T A K). The dispatcher has
  // checked the payload against the signature before the handler runs.
  template <class T>
  T arg() {
    if constexpr (std::is_same_v<T, int32_t>) {
      return in_.i32();
    } else if constexpr (std::is_same_v<T, float>) {
      return in_.f32();
    } else if constexpr (std::is_same_v<T, double>) {
      return in_.f64();
    } else if constexpr (std::is_same_v<T, std::string>) {
      return in_.str();
    } else {
      T a{};
      in_.floats(a.data(), a.size());
      return a;
    }
  }

  // Appends an output to the reply, of the type the reply signature has at this place.
  template <class T>
  void reply(const T& v) {
    if constexpr (std::is_same_v<T, int32_t>) {
      out_.i32(v);
    } else if constexpr (std::is_same_v<T, float>) {
      out_.f32(v);
    } else if constexpr (std::is_same_v<T, double>) {
      out_.f64(v);
    } else if constexpr (std::is_same_v<T, std::string>) {
      out_.str(v);
    } else {
      out_.floats(v.data(), v.size());
    }
  }

  // The outcome of a rule that yields a value: the value goes into the reply when accepted.
  template <class T>
  model::Status answer(model::Status status, const T& value) {
    if (status.ok()) reply(value);
    return status;
  }

  // The outcome of Controller::move: when accepted, the reply may wait for the motion's end.
  model::Status motion(model::Status status, const model::MotionTicket& ticket) {
    if (status.ok() && ticket.replyAtEnd) awaited_ = ticket.id;
    return status;
  }

  // For the dispatcher and tests.
  bool consumedRequest() const { return in_.ok(); }
  // False when an output could not be encoded (a string longer than the protocol allows).
  bool outputsFit() const { return !out_.fail(); }
  std::span<const uint8_t> outputs() const {
    return std::span<const uint8_t>(out_.bytes()).subspan(kCodeSize);
  }
  // The whole reply, the success code and the outputs; the call is done with it.
  std::vector<uint8_t> takeReply() { return out_.take(); }
  std::optional<model::MotionId> awaitedMotion() const { return awaited_; }

 private:
  static constexpr size_t kCodeSize = 4;
  proto::Reader in_;
  proto::Writer out_;
  std::optional<model::MotionId> awaited_;
};

// A protocol function's handler: decodes the arguments, applies the controller's rule and
// encodes the outputs. A refusal it returns is latched by the dispatcher.
using Handler = model::Status (*)(Call&);

}  // namespace kelvor::sim::dispatch
