// Call trace. When the environment variable KELVOR_TRACE names a file (or "stderr") at the
// first call, every call appends one line to it; with KELVOR_TRACE_FRAMES=1 every frame sent
// and received adds one more. Each line is written with a single write(2) to a descriptor
// opened with O_APPEND, so lines of threads and processes never mix and a crash loses none.
// A trace that cannot be written makes no call fail. When the trace is off a call costs one
// test of a flag.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "kelvor/protocol.h"
#include "transport.h"

namespace kelvor::lib::trace {

namespace detail {
inline constexpr int kUnread = -2;  // the environment has not been read yet
inline constexpr int kOff = -1;     // it asked for no trace
extern std::atomic<int> g_fd;       // else the trace's descriptor
extern std::atomic<bool> g_frames;  // KELVOR_TRACE_FRAMES
bool readOnce();                    // reads the environment at the first call; true when on
}  // namespace detail

// True when calls are traced. Without a trace this is the one test a call makes.
inline bool active() {
  return detail::g_fd.load(std::memory_order_relaxed) != detail::kOff && detail::readOnce();
}
inline bool frames() { return detail::g_frames.load(std::memory_order_relaxed); }

// When a call began.
struct Start {
  std::chrono::system_clock::time_point wall;
  Clock::time_point steady;
};
inline Start now() { return {std::chrono::system_clock::now(), Clock::now()}; }

// "klv_NAME(ARGUMENTS) -> ok OUTPUTS (D ms)" or "-> 0xCODE TEXT (D ms)".
void call(const Start& start, std::string_view function, std::string_view arguments, int32_t rc,
          std::string_view outputs = {});
// klv_Connect's line; conn may be NULL.
void connect(const Start& start, const char* conn, int32_t timeoutMs, int32_t flags, int32_t rc);
// A call of the function list: arguments and outputs are read from the payloads (spans, so
// that the caller's vectors do not escape: the compiler keeps the untraced path as lean).
void call(const Start& start, proto::Func func, std::span<const uint8_t> request, int32_t rc,
          std::span<const uint8_t> outputs);
// "send HEX" for a frame the library sent.
void sent(const std::vector<uint8_t>& bytes);
// "recv HEX" for a frame the decoder returned; before it, "recv N bytes skipped ..." when the
// decoder has discarded bytes since skipped (which is brought up to date).
void received(const proto::Decoder& decoder, uint64_t& skipped, const proto::Frame& frame);
// Only the skipped bytes, after the decoder has run out of frames.
void received(const proto::Decoder& decoder, uint64_t& skipped);

}  // namespace kelvor::lib::trace
