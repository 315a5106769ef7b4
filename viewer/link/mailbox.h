// The newest reading, handed from the link's thread to whoever draws it. A reader that is slower
// than the link skips readings; it never sees an old one after a new one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "state/controller_state.h"

namespace kelvor::view {

class Mailbox {
 public:
  // Stores the reading; true when the box was empty, i.e. the reader needs waking.
  bool put(const Reading& r) {
    bool wasEmpty = false;
    {
      const std::lock_guard lock(mutex_);
      wasEmpty = !fresh_;
      latest_ = r;
      fresh_ = true;
    }
    changed_.notify_all();
    return wasEmpty;
  }
  // The newest reading not taken yet.
  std::optional<Reading> take() {
    const std::lock_guard lock(mutex_);
    if (!fresh_) return std::nullopt;
    fresh_ = false;
    return latest_;
  }
  // Waits until a reading satisfying pred arrives or the deadline passes; returns the newest
  // reading (satisfying or not), if any arrived.
  template <class Pred>
  std::optional<Reading> waitFor(Pred pred, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return fresh_ && pred(latest_); });
    if (latest_.serial == 0) return std::nullopt;
    fresh_ = false;
    return latest_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  Reading latest_;
  bool fresh_ = false;
};

}  // namespace kelvor::view
