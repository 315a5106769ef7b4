// The viewer's only user of the controller library. A worker thread connects, reads the joints
// and the motion state at up to 30 Hz and everything else about once a second (and soon after
// a motion ends), and hands every changed picture to a sink. It only ever reads: the viewer
// never changes the controller. A lost controller is retried with a growing wait.
//
// The library holds one connection per process, so a process runs at most one Poller.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "link/backoff.h"
#include "state/controller_state.h"

namespace kelvor::view {

struct LinkOptions {
  std::string connection = "eth:127.0.0.1";
  int timeoutMs = 1000;      // reply timeout of every call, also bounds the connect
  double rateHz = 30;        // joints read at most this often
  double slowPeriod = 1.0;   // seconds between reads of everything else
  double trailSeconds = 10;  // how long the path of the tool centre point is kept
  double firstRetry = 0.5;   // seconds before the first reconnection attempt
  double longestRetry = 8;   // the longest wait between attempts
};
inline constexpr double kMaxRateHz = 30;

class Poller {
 public:
  // The sink runs on the worker thread, once for every reading that differs from the last.
  using Sink = std::function<void(const Reading&)>;

  Poller(LinkOptions options, Sink sink);
  ~Poller();
  Poller(const Poller&) = delete;
  Poller& operator=(const Poller&) = delete;

  // Ends the worker and closes the connection; returns within one call timeout.
  void stop();

 private:
  using Clock = std::chrono::steady_clock;
  // Items the controller refused on this connection; they are not asked for again.
  struct Refused {
    bool motion = false, links = false, cal = false, toolNo = false, workNo = false;
    bool motor = false, mode = false, error = false;
    int tool = -1, work = -1;  // the refused definition number
    std::uint32_t areas = 0;   // bit n: area n
  };
  enum class Outcome { Ok, Refused, Lost };

  void run(std::stop_token stop);
  bool connect();
  bool readSlow();
  bool readFast();
  // Classifies a result code and keeps its text in problem_.
  Outcome check(const char* what, int32_t rc);
  template <class T, class Call>
  bool item(std::optional<T>& out, bool& refused, const char* what, Call call);
  void lose();
  // Hands the state to the sink when it differs from the last one handed.
  void publish();
  double seconds(Clock::time_point t) const;
  void waitUntil(std::stop_token& stop, Clock::time_point t);

  LinkOptions opt_;
  Sink sink_;
  Backoff backoff_;
  Clock::time_point start_ = Clock::now();

  // Worker-thread state.
  bool connected_ = false;
  bool complete_ = false;
  bool known_ = false;
  bool givenUp_ = false;
  bool slowDone_ = false;
  std::string problem_;
  double retryIn_ = 0;
  int attempts_ = 0;
  double time_ = 0;
  ControllerState state_;
  std::vector<TrailSample> trail_;
  Refused refused_;
  Reading last_;
  std::uint64_t serial_ = 0;
  Clock::time_point nextAttempt_ = Clock::now();
  Clock::time_point slowDue_, fastDue_;

  std::mutex mutex_;  // for the waits only
  std::condition_variable_any wake_;
  std::jthread thread_;  // last: started when everything above exists
};

}  // namespace kelvor::view
