#include "trace.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "kelvor.h"
#include "kelvor/codes.h"

namespace kelvor::lib::trace {

namespace detail {
std::atomic<int> g_fd{kUnread};
std::atomic<bool> g_frames{false};
}  // namespace detail

namespace {

std::mutex g_writeMutex;
bool g_pipe = false;  // the descriptor is a pipe or socket, whose reader may go away
std::once_flag g_once;

// The process and thread ids, asked once per thread (each is a system call); a forked child
// asks again.
struct Ids {
  pid_t pid = 0;
  pid_t tid = 0;
};
thread_local Ids t_ids;
void forgetIds() { t_ids = {}; }

// Opens what KELVOR_TRACE names: the descriptor, or -1 after saying why not on stderr.
int openTrace(const char* target) {
  int fd = -1;
  if (std::strcmp(target, "stderr") == 0) {
    // A descriptor of its own: the program may close or reuse 2 later.
    fd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  } else {
    // O_NONBLOCK only for the open: a FIFO without a reader fails instead of hanging.
    fd = ::open(target, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  if (fd < 0) {
    const std::string msg = std::string("libkelvor: KELVOR_TRACE: cannot write to ") + target +
                            ": " + std::strerror(errno) + "; calls are not traced\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, msg.data(), msg.size());
    return -1;
  }
  struct stat st {};
  g_pipe = ::fstat(fd, &st) != 0 || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
  return fd;
}

void appendInt(std::string& s, long long v, int width = 0) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  const auto n = static_cast<int>(end - buf);
  if (n < width) s.append(static_cast<size_t>(width - n), '0');
  s.append(buf, ec == std::errc() ? end : buf);
}

// "2026-11-02T10:15:03.123456+01:00 4711/4712 ": local time with its offset from UTC, the
// process and the thread.
std::string head(std::chrono::system_clock::time_point when) {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch());
  const time_t secs = static_cast<time_t>(us.count() / 1000000);
  long long frac = us.count() % 1000000;
  if (frac < 0) frac += 1000000;
  // localtime_r looks at the time zone file every time: once per second and thread is enough.
  thread_local time_t cachedSecs = -1;
  thread_local struct tm tm {};
  if (secs != cachedSecs) {
    localtime_r(&secs, &tm);
    cachedSecs = secs;
  }
  std::string s;
  s.reserve(160);
  appendInt(s, tm.tm_year + 1900LL, 4);
  s += '-';
  appendInt(s, tm.tm_mon + 1, 2);
  s += '-';
  appendInt(s, tm.tm_mday, 2);
  s += 'T';
  appendInt(s, tm.tm_hour, 2);
  s += ':';
  appendInt(s, tm.tm_min, 2);
  s += ':';
  appendInt(s, tm.tm_sec, 2);
  s += '.';
  appendInt(s, frac, 6);
  const long offset = tm.tm_gmtoff / 60;
  s += offset < 0 ? '-' : '+';
  appendInt(s, std::labs(offset) / 60, 2);
  s += ':';
  appendInt(s, std::labs(offset) % 60, 2);
  s += ' ';
  if (t_ids.tid == 0) t_ids = {::getpid(), ::gettid()};
  appendInt(s, t_ids.pid);
  s += '/';
  appendInt(s, t_ids.tid);
  s += ' ';
  return s;
}

// Writes line and a newline with one write(2). A reader of a pipe that has gone away must
// not end the process with SIGPIPE: the signal is held back while writing and a SIGPIPE the
// write caused is taken back.
void writeLine(std::string line) {
  const int fd = detail::g_fd.load();
  line += '\n';
  std::lock_guard lock(g_writeMutex);  // pipes split writes of more than PIPE_BUF bytes
  sigset_t pipeSet;
  sigset_t old;
  bool pending = false;
  if (g_pipe) {
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    sigset_t now;
    sigpending(&now);
    pending = sigismember(&now, SIGPIPE) == 1;
  }
  const char* p = line.data();
  size_t left = line.size();
  bool broken = false;
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {  // a full disk, a closed reader: this line is lost, the call goes on
      broken = n < 0 && errno == EPIPE;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (g_pipe) {
    if (broken && !pending) {
      const timespec zero{};
      sigtimedwait(&pipeSet, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
  }
}

void appendHex(std::string& s, const uint8_t* data, size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < size; ++i) {
    if (i) s += ' ';
    s += kDigits[data[i] >> 4];
    s += kDigits[data[i] & 0xF];
  }
}

}  // namespace

bool detail::readOnce() {
  std::call_once(g_once, [] {
    const char* target = std::getenv("KELVOR_TRACE");
    const int fd = target && *target ? openTrace(target) : -1;
    const char* frames = std::getenv("KELVOR_TRACE_FRAMES");
    g_frames.store(fd >= 0 && frames && *frames && std::strcmp(frames, "0") != 0);
    if (fd >= 0) pthread_atfork(nullptr, nullptr, forgetIds);
    g_fd.store(fd >= 0 ? fd : kOff);
  });
  return g_fd.load() >= 0;
}

void call(const Start& start, std::string_view function, std::string_view arguments, int32_t rc,
          std::string_view outputs) {
  const std::chrono::duration<double, std::milli> took = Clock::now() - start.steady;
  std::string line = head(start.wall);
  line += function;
  line += '(';
  line += arguments;
  line += ") -> ";
  if (rc == KLV_OK) {
    line += "ok";
    if (!outputs.empty()) {
      line += ' ';
      line += outputs;
    }
  } else {
    char code[16];
    std::snprintf(code, sizeof code, "0x%X ", static_cast<uint32_t>(rc));
    line += code;
    line += proto::codeText(rc);
  }
  line += " (";
  char ms[32];
  const auto [end, ec] =
      std::to_chars(ms, ms + sizeof ms, took.count(), std::chars_format::fixed, 3);
  line.append(ms, ec == std::errc() ? end : ms);
  line += " ms)";
  writeLine(std::move(line));
}

void connect(const Start& start, const char* conn, int32_t timeoutMs, int32_t flags, int32_t rc) {
  // The arguments as a request payload would carry them, so they read like every other call.
  proto::Writer w;
  if (conn) w.str(conn);
  w.i32(timeoutMs).i32(flags);
  const std::string args =
      proto::formatPayload(conn ? "sii" : "ii", w.bytes().data(), w.bytes().size());
  call(start, "klv_Connect", conn ? args : "NULL, " + args, rc);
}

void call(const Start& start, proto::Func func, std::span<const uint8_t> request, int32_t rc,
          std::span<const uint8_t> outputs) {
  const proto::FuncInfo* info = proto::findFunc(static_cast<uint16_t>(func));
  if (!info) return;
  const std::string name = std::string("klv_") + info->name;
  const std::string args = proto::formatPayload(info->request, request.data(), request.size());
  const std::string outs = rc == KLV_OK && info->reply[0] != '\0'
                               ? proto::formatPayload(info->reply, outputs.data(), outputs.size())
                               : std::string();
  call(start, name, args, rc, outs);
}

void sent(const std::vector<uint8_t>& bytes) {
  std::string line = head(std::chrono::system_clock::now()) + "send ";
  appendHex(line, bytes.data(), bytes.size());
  writeLine(std::move(line));
}

void received(const proto::Decoder& decoder, uint64_t& skipped) {
  const uint64_t discarded = decoder.discardedBytes();
  if (discarded == skipped) return;
  std::string line = head(std::chrono::system_clock::now()) + "recv ";
  appendInt(line, static_cast<long long>(discarded - skipped));
  line += " bytes skipped: they form no valid frame";
  skipped = discarded;
  writeLine(std::move(line));
}

void received(const proto::Decoder& decoder, uint64_t& skipped, const proto::Frame& frame) {
  received(decoder, skipped);
  const std::vector<uint8_t> bytes = proto::encodeFrame(frame);  // as it arrived: CRC checked
  std::string line = head(std::chrono::system_clock::now()) + "recv ";
  appendHex(line, bytes.data(), bytes.size());
  writeLine(std::move(line));
}

}  // namespace kelvor::lib::trace
