#include "dispatch/dispatcher.h"

#include <cstdio>
#include <iostream>

#include "dispatch/table.h"
#include "kelvor/protocol.h"

namespace kelvor::sim::dispatch {

Dispatcher::Outcome Dispatcher::answer(int32_t code) {
  Outcome out;
  out.code = code;
  out.reply = proto::Writer().i32(code).take();
  return out;
}

Dispatcher::Outcome Dispatcher::refuse(model::Status refusal) {
  ctl_.latch(refusal);
  return answer(refusal.code);
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
  const bool hello = func == static_cast<uint16_t>(proto::Func::Hello);
  if (!hello && !peer.greeted) return answer(KLV_C_HANDSHAKE_REQUIRED);
  if (hello &&
      proto::matchesSignature(proto::findFunc(func)->request, payload.data(), payload.size())) {
    const int32_t version = proto::Reader(payload).i32();
    if (version != ctl_.identity().protocolVersion) return answer(KLV_C_PROTOCOL_VERSION);
  }
  Outcome out = execute(func, payload);
  if (hello && out.code == KLV_OK) peer.greeted = true;
  return out;
}

Dispatcher::Outcome Dispatcher::execute(uint16_t func, const std::vector<uint8_t>& payload) {
  ctl_.tick(clock_.now());
  const std::chrono::milliseconds delay(faults_.delayFor(func));
  if (const auto code = faults_.takeFailure(func)) {
    // Answered without executing. A positive code is latched like a real refusal; code 0 is a
    // success reply without outputs.
    Outcome out;
    if (*code > 0) {
      char text[64];
      std::snprintf(text, sizeof text, "Injected fault (0x%X)", static_cast<uint32_t>(*code));
      out = refuse({*code, text});
    } else {
      out = answer(*code);
    }
    out.delay = delay;
    return out;
  }

  // A write takes effect only once it is stored: apply, store, then keep or undo.
  std::optional<model::PersistentState> before;
  if (store_) before = ctl_.persistent();
  Outcome out;
  const proto::FuncInfo* info = proto::findFunc(func);
  const Handler handler = findHandler(func);
  if (!info || !handler) {
    out = refuse(KLV_C_UNKNOWN_FUNCTION);
  } else if (!proto::matchesSignature(info->request, payload.data(), payload.size())) {
    out = refuse(KLV_C_BAD_REQUEST);
  } else {
    Call call(ctl_, payload);
    const model::Status status = handler(call);
    if (!status.ok()) {
      out = refuse(status);
    } else if (!call.outputsFit()) {
      out = refuse({KLV_C_VALUE_OUT_OF_RANGE, "Reply too long for the protocol"});
    } else {
      out.reply = proto::Writer().i32(KLV_OK).take();
      const auto& outputs = call.outputs();
      out.reply.insert(out.reply.end(), outputs.begin(), outputs.end());
      // Only the functions that move the arm (functions.def) keep a client waiting.
      if (info->kind == proto::FuncKind::kMotion) out.motion = call.awaitedMotion();
    }
  }
  // Whatever the answer, a change is stored before it leaves.
  if (!storeChanges()) {
    if (before) ctl_.revertWrites(std::move(*before));
    out = refuse(KLV_C_STORAGE_FAILED);
  }
  out.delay = delay;
  return out;
}

void Dispatcher::halt() {
  ctl_.tick(clock_.now());
  ctl_.halt();
  storeChanges();
}

std::optional<model::Duration> Dispatcher::awaitMotion(Outcome& outcome) {
  if (!outcome.motion) return std::nullopt;
  const model::Time now = clock_.now();
  ctl_.tick(now);
  storeChanges();
  const model::MotionProgress progress = ctl_.motion(*outcome.motion);
  if (progress.running) {
    return clock_.toReal(progress.expectedEnd > now ? progress.expectedEnd - now
                                                    : model::Duration::zero());
  }
  outcome.motion.reset();
  if (!progress.result.ok()) {
    const auto delay = outcome.delay;
    outcome = refuse(progress.result);
    outcome.delay = delay;
  }
  return std::nullopt;
}

}  // namespace kelvor::sim::dispatch
