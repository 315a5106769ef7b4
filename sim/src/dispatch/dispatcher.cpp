#include "dispatch/dispatcher.h"

#include <cstdio>
#include <iostream>

#include "dispatch/table.h"
#include "kelvor/protocol.h"

namespace kelvor::sim::dispatch {

Dispatcher::Outcome Dispatcher::answer(int32_t code) {
  Outcome out;
  answer(code, out);
  return out;
}

void Dispatcher::answer(int32_t code, Outcome& out) {
  out.code = code;
  out.reply = proto::Writer(std::move(out.reply)).i32(code).take();
  out.motion.reset();
}

void Dispatcher::refuse(model::Status refusal, Outcome& out) {
  ctl_.latch(refusal);
  answer(refusal.code, out);
}

bool Dispatcher::storeChanges() {
  if (!ctl_.takePersistentChange() || !store_) return true;
  std::string error;
  if (store_(ctl_.persistent(), error)) return true;
  std::cerr << "kelvor-sim: " << error << std::endl;
  return false;
}

Dispatcher::Outcome Dispatcher::execute(Peer& peer, uint16_t func,
                                        const std::vector<uint8_t>& payload) {
  Outcome out;
  execute(peer, func, payload, out);
  return out;
}

void Dispatcher::execute(Peer& peer, uint16_t func, const std::vector<uint8_t>& payload,
                         Outcome& out) {
  const std::lock_guard hold(lock_);
  out.delay = std::chrono::milliseconds(0);
  const bool hello = func == static_cast<uint16_t>(proto::Func::Hello);
  if (!hello && !peer.greeted) return answer(KLV_C_HANDSHAKE_REQUIRED, out);
  if (hello &&
      proto::matchesSignature(proto::findFunc(func)->request, payload.data(), payload.size())) {
    const int32_t version = proto::Reader(payload).i32();
    if (version != ctl_.identity().protocolVersion) return answer(KLV_C_PROTOCOL_VERSION, out);
  }
  run(func, payload, out);
  if (hello && out.code == KLV_OK) peer.greeted = true;
}

Dispatcher::Outcome Dispatcher::execute(uint16_t func, const std::vector<uint8_t>& payload) {
  Outcome out;
  const std::lock_guard hold(lock_);
  run(func, payload, out);
  return out;
}

void Dispatcher::run(uint16_t func, const std::vector<uint8_t>& payload, Outcome& out) {
  ctl_.tick(clock_.now());
  const std::chrono::milliseconds delay(faults_.delayFor(func));
  if (const auto code = faults_.takeFailure(func)) {
    // Answered without executing. A positive code is latched like a real refusal; code 0 is a
    // success reply without outputs.
    if (*code > 0) {
      char text[64];
      std::snprintf(text, sizeof text, "Injected fault (0x%X)", static_cast<uint32_t>(*code));
      refuse({*code, text}, out);
    } else {
      answer(*code, out);
    }
    out.delay = delay;
    return;
  }

  // A write takes effect only once it is stored: apply, store, then keep or undo.
  std::optional<model::PersistentState> before;
  if (store_) before = ctl_.persistent();
  const proto::FuncInfo* info = proto::findFunc(func);
  const Handler handler = info ? handlerOf(*info) : nullptr;
  if (!info || !handler) {
    refuse(KLV_C_UNKNOWN_FUNCTION, out);
  } else if (!proto::matchesSignature(info->request, payload.data(), payload.size())) {
    refuse(KLV_C_BAD_REQUEST, out);
  } else {
    Call call(ctl_, payload, std::move(out.reply));
    const model::Status status = handler(call);
    out.reply = call.takeReply();
    if (!status.ok()) {
      refuse(status, out);
    } else if (!call.outputsFit()) {
      refuse({KLV_C_VALUE_OUT_OF_RANGE, "Reply too long for the protocol"}, out);
    } else {
      out.code = KLV_OK;
      out.motion.reset();
      // Only the functions that move the arm (functions.def) keep a client waiting.
      if (info->kind == proto::FuncKind::kMotion) out.motion = call.awaitedMotion();
    }
  }
  // Whatever the answer, a change is stored before it leaves.
  if (!storeChanges()) {
    if (before) ctl_.revertWrites(std::move(*before));
    refuse(KLV_C_STORAGE_FAILED, out);
  }
  out.delay = delay;
}

void Dispatcher::halt() {
  const std::lock_guard hold(lock_);
  ctl_.tick(clock_.now());
  ctl_.halt();
  storeChanges();
}

std::optional<model::Duration> Dispatcher::awaitMotion(Outcome& outcome) {
  if (!outcome.motion) return std::nullopt;
  const std::lock_guard hold(lock_);
  const model::Time now = clock_.now();
  ctl_.tick(now);
  storeChanges();
  const model::MotionProgress progress = ctl_.motion(*outcome.motion);
  if (progress.running) {
    return clock_.toReal(progress.expectedEnd > now ? progress.expectedEnd - now
                                                    : model::Duration::zero());
  }
  outcome.motion.reset();
  if (!progress.result.ok()) refuse(progress.result, outcome);
  return std::nullopt;
}

}  // namespace kelvor::sim::dispatch
