#include "link/poller.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "kelvor.h"

namespace kelvor::view {

namespace {

// "Connection refused (0x80000005)": the library's words and the code.
std::string codeText(int32_t rc) {
  char text[160];
  if (klv_ErrorText(rc, text, sizeof text) != KLV_OK) text[0] = '\0';
  char hex[24];
  std::snprintf(hex, sizeof hex, " (0x%X)", static_cast<unsigned>(rc));
  return text + std::string(hex);
}

std::chrono::steady_clock::duration period(double seconds) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds));
}

bool sameContent(const Reading& a, const Reading& b) {
  return a.connected == b.connected && a.complete == b.complete && a.known == b.known &&
         a.givenUp == b.givenUp && a.problem == b.problem && a.retryIn == b.retryIn &&
         a.attempts == b.attempts && a.state == b.state && a.trail == b.trail;
}

}  // namespace

Poller::Poller(LinkOptions options, Sink sink)
    : opt_(std::move(options)),
      sink_(std::move(sink)),
      backoff_(opt_.firstRetry, opt_.longestRetry) {
  opt_.rateHz = std::clamp(opt_.rateHz, 0.1, kMaxRateHz);
  thread_ = std::jthread([this](std::stop_token stop) { run(std::move(stop)); });
}

Poller::~Poller() { stop(); }

void Poller::stop() {
  if (!thread_.joinable()) return;
  thread_.request_stop();  // wakes the waits; a call in flight ends within its timeout
  thread_.join();
}

double Poller::seconds(Clock::time_point t) const {
  return std::chrono::duration<double>(t - start_).count();
}

void Poller::waitUntil(std::stop_token& stop, Clock::time_point t) {
  std::unique_lock lock(mutex_);
  wake_.wait_until(lock, stop, t, [] { return false; });
}

void Poller::run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    if (givenUp_) {  // nothing left to do but wait for the end
      std::unique_lock lock(mutex_);
      wake_.wait(lock, stop, [] { return false; });
      break;
    }
    if (!connected_) {
      waitUntil(stop, nextAttempt_);
      if (stop.stop_requested()) break;
      if (!connect()) continue;
    }
    const Clock::time_point now = Clock::now();
    if (now >= slowDue_) {
      if (!readSlow()) {
        lose();
        continue;
      }
      slowDue_ = now + period(opt_.slowPeriod);
    }
    if (!readFast()) {
      lose();
      continue;
    }
    if (!complete_) {
      complete_ = true;
      known_ = true;
      backoff_.reset();  // only a connection that delivered resets the waits
    }
    publish();
    // A fixed rate; a late cycle does not make the next ones come in a burst.
    fastDue_ = std::max(fastDue_ + period(1.0 / opt_.rateHz), Clock::now());
    waitUntil(stop, fastDue_);
  }
  if (connected_) klv_Disconnect();
  connected_ = false;
}

bool Poller::connect() {
  ++attempts_;
  std::vector<char> conn(opt_.connection.begin(), opt_.connection.end());
  conn.push_back('\0');
  const int32_t rc = klv_Connect(conn.data(), opt_.timeoutMs, 0);
  if (rc != KLV_OK) {
    problem_ = codeText(rc);
    givenUp_ = rc == KLV_E_BAD_CONNECTION_STRING;
    retryIn_ = givenUp_ ? 0 : backoff_.next();
    nextAttempt_ = Clock::now() + period(retryIn_);
    publish();
    return false;
  }
  connected_ = true;
  complete_ = false;
  refused_ = {};
  problem_.clear();
  retryIn_ = 0;
  slowDue_ = fastDue_ = Clock::now();
  return true;
}

void Poller::lose() {
  klv_Disconnect();  // frees the broken connection; the next attempt opens a new one
  connected_ = false;
  complete_ = false;
  trail_.clear();
  retryIn_ = backoff_.next();
  nextAttempt_ = Clock::now() + period(retryIn_);
  publish();
}

Poller::Outcome Poller::check(const char* what, int32_t rc) {
  if (rc == KLV_OK) return Outcome::Ok;
  if (rc > 0) {
    problem_ = std::string(what) + " refused: " + codeText(rc);
    return Outcome::Refused;
  }
  problem_ = std::string(what) + ": " + codeText(rc);
  return Outcome::Lost;
}

// Reads one item into out unless the controller refused it before on this connection. A
// refusal empties out for good; false means the link is lost.
template <class T, class Call>
bool Poller::item(std::optional<T>& out, bool& refused, const char* what, Call call) {
  if (refused) {
    out.reset();
    return true;
  }
  T value{};
  switch (check(what, call(value))) {
    case Outcome::Ok:
      out = value;
      return true;
    case Outcome::Refused:
      refused = true;
      out.reset();
      return true;
    case Outcome::Lost:
      break;
  }
  return false;
}

bool Poller::readSlow() {
  ControllerState& s = state_;
  using Links = std::pair<HRecord7, HRecord7>;
  std::optional<Links> links;
  if (s.linkSs && s.linkAa) links = Links{*s.linkSs, *s.linkAa};
  if (!item(links, refused_.links, "get_LinkParam",
            [](Links& v) { return klv_get_LinkParam(v.first.data(), v.second.data()); })) {
    return false;
  }
  s.linkSs = links ? std::optional(links->first) : std::nullopt;
  s.linkAa = links ? std::optional(links->second) : std::nullopt;

  const auto record = [](int32_t (*get)(float*)) {
    return [get](HRecord7& v) { return get(v.data()); };
  };
  const auto number = [](int32_t (*get)(int32_t*)) {
    return [get](int32_t& v) { return get(&v); };
  };
  bool ok = item(s.cal, refused_.cal, "get_CalData", record(klv_get_CalData)) &&
            item(s.toolNo, refused_.toolNo, "get_CurTool", number(klv_get_CurTool)) &&
            item(s.workNo, refused_.workNo, "get_CurWork", number(klv_get_CurWork)) &&
            item(s.motor, refused_.motor, "get_MotorState", number(klv_get_MotorState)) &&
            item(s.mode, refused_.mode, "get_OperationMode", number(klv_get_OperationMode)) &&
            item(s.error, refused_.error, "get_ErrorCode", number(klv_get_ErrorCode));
  if (!ok) return false;

  // A definition is asked for by number: a refused number is not asked again, another is.
  const auto definition = [this](std::optional<HRecord7>& out, const std::optional<int>& no,
                                 int& refusedNo, const char* what,
                                 int32_t (*get)(int32_t, float*)) {
    if (!no) {
      out.reset();
      return true;
    }
    bool refused = *no == refusedNo;
    const bool ok = item(out, refused, what, [&](HRecord7& v) { return get(*no, v.data()); });
    if (refused) refusedNo = *no;
    return ok;
  };
  if (!definition(s.tool, s.toolNo, refused_.tool, "get_ToolDef", klv_get_ToolDef) ||
      !definition(s.work, s.workNo, refused_.work, "get_WorkDef", klv_get_WorkDef)) {
    return false;
  }

  for (int n = 0; n < kAreaCount; ++n) {
    const std::uint32_t bit = 1u << n;
    bool refused = (refused_.areas & bit) != 0;
    if (!item(s.areas[static_cast<std::size_t>(n)], refused, "get_AreaDef",
              [n](AreaRecord14& v) { return klv_get_AreaDef(n, v.data()); })) {
      return false;
    }
    if (refused) refused_.areas |= bit;
  }

  s.errorText.clear();
  if (s.error && *s.error != 0) {
    std::optional<std::string> text;
    bool refused = false;  // a refused description leaves the code alone
    if (!item(text, refused, "get_ErrorDescription", [](std::string& v) {
          char buf[256];
          const int32_t rc = klv_get_ErrorDescription(buf, sizeof buf);
          if (rc == KLV_OK) v = buf;
          return rc;
        })) {
      return false;
    }
    if (text) s.errorText = *text;
  }
  return true;
}

bool Poller::readFast() {
  JRecord j{};
  if (check("get_CurrentJ", klv_get_CurrentJ(j.data())) != Outcome::Ok) return false;
  time_ = seconds(Clock::now());
  const std::optional<int> was = state_.motion;
  const auto number = [](int32_t& v) { return klv_get_MotionState(&v); };
  if (!item(state_.motion, refused_.motion, "get_MotionState", number)) return false;
  // A motion that ended may have latched an error or changed what an area shows.
  if (was == 1 && state_.motion == 0) slowDue_ = Clock::now();

  state_.joints = j;
  if (trail_.empty() || trail_.back().joints != j) trail_.push_back({time_, j});
  const double oldest = time_ - opt_.trailSeconds;
  const auto keep = std::find_if(trail_.begin(), trail_.end() - 1,
                                 [&](const TrailSample& t) { return t.time >= oldest; });
  trail_.erase(trail_.begin(), keep);
  return true;
}

void Poller::publish() {
  Reading r;
  r.connected = connected_;
  r.complete = complete_;
  r.known = known_;
  r.givenUp = givenUp_;
  r.problem = problem_;
  r.retryIn = retryIn_;
  r.attempts = attempts_;
  r.time = time_;
  r.state = state_;
  r.trail = trail_;
  if (serial_ > 0 && sameContent(r, last_)) return;
  r.serial = ++serial_;
  last_ = r;
  sink_(r);
}

}  // namespace kelvor::view
