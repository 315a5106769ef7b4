#include "transport.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "kelvor.h"
#include "port_access.h"
#include "serial_line.h"

namespace kelvor::lib {

namespace {

int remainingMs(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left) + 1;
}

// Waits for events on fd until the deadline. Returns revents, 0 on timeout, -1 on error.
int waitFd(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int ms = remainingMs(deadline);
    const int r = ::poll(&p, 1, ms);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) {
      if (Clock::now() >= deadline) return 0;
      continue;
    }
    return p.revents;
  }
}

// A TCP connection on a blocking socket whose receive timeout (SO_RCVTIMEO) bounds each
// wait, so that a call costs a send and one waiting recv: no poll, no recv that only says
// "nothing yet". Sends do not block (MSG_DONTWAIT) and poll only when the socket is full.
class TcpTransport final : public FdTransport {
 public:
  using FdTransport::FdTransport;

  IoResult readSome(uint8_t* buf, size_t cap, Clock::time_point deadline, size_t& got) override {
    got = 0;
    for (;;) {
      const auto left = deadline - Clock::now();
      if (left <= Clock::duration::zero()) return IoResult::kTimeout;
      if (!armFor(std::chrono::duration_cast<std::chrono::microseconds>(left))) {
        return IoResult::kClosed;
      }
      const long n = ::recv(fd_, buf, cap, 0);
      if (n > 0) {
        got = static_cast<size_t>(n);
        return IoResult::kOk;
      }
      if (n == 0) return IoResult::kClosed;
      // EAGAIN: the receive timeout ran out; the deadline decides whether to wait on.
      if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return IoResult::kClosed;
    }
  }

 protected:
  long sendSome(const uint8_t* data, size_t size) override {
    return ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  }

 private:
  // Makes the receive timeout at most left, so a recv never waits past the deadline. The
  // timeout set last is kept while it is no longer than left and at least half of it: calls
  // of the same timeout then set it once. A new one is set a sixteenth short of left, which
  // leaves the next call's lead (lock, encoding, send) room under it; below 2 ms, exactly.
  bool armFor(std::chrono::microseconds left) {
    if (left.count() < 1) left = std::chrono::microseconds(1);  // zero would mean no timeout
    if (armed_.count() > 0 && armed_ <= left && armed_ * 2 >= left) return true;
    const auto arm = left < std::chrono::milliseconds(2) ? left : left - left / 16;
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(arm.count() / 1000000);
    tv.tv_usec = static_cast<suseconds_t>(arm.count() % 1000000);
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) return false;
    armed_ = arm;
    return true;
  }

  std::chrono::microseconds armed_{0};  // the receive timeout set on the socket; 0: none yet
};

class SerialTransport final : public FdTransport {
 public:
  SerialTransport(int fd, std::chrono::milliseconds interByte, int bitsPerSecond, int bitsPerChar)
      : FdTransport(fd),
        interByte_(interByte),
        bitsPerSecond_(bitsPerSecond),
        bitsPerChar_(bitsPerChar) {}
  void flushInput() override { ::tcflush(fd_, TCIFLUSH); }
  std::chrono::milliseconds interByteTimeout() const override { return interByte_; }
  std::chrono::microseconds wireTime(size_t bytes) const override {
    const auto bits = static_cast<int64_t>(bytes) * bitsPerChar_;
    return std::chrono::microseconds((bits * 1000000 + bitsPerSecond_ - 1) / bitsPerSecond_);
  }

 protected:
  bool zeroReadIsEnd() const override { return false; }

 private:
  std::chrono::milliseconds interByte_;
  int bitsPerSecond_;
  int bitsPerChar_;  // start bit, data bits, parity bit, stop bits
};

}  // namespace

FdTransport::~FdTransport() {
  if (fd_ >= 0) ::close(fd_);
}

long FdTransport::sendSome(const uint8_t* data, size_t size) { return ::write(fd_, data, size); }

IoResult FdTransport::writeAll(const uint8_t* data, size_t size, Clock::time_point deadline) {
  while (size > 0) {
    const long n = sendSome(data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const int ev = waitFd(fd_, POLLOUT, deadline);
      if (ev == 0) return IoResult::kTimeout;
      if (ev < 0 || (ev & (POLLERR | POLLNVAL))) return IoResult::kClosed;
      continue;
    }
    return IoResult::kClosed;
  }
  return IoResult::kOk;
}

IoResult FdTransport::readSome(uint8_t* buf, size_t cap, Clock::time_point deadline, size_t& got) {
  got = 0;
  for (;;) {
    // Waiting first: right after a request the reply is never there yet, and a read of an
    // idle line would only cost a system call.
    const int ev = waitFd(fd_, POLLIN, deadline);
    if (ev == 0) return IoResult::kTimeout;
    if (ev < 0 || (ev & POLLNVAL)) return IoResult::kClosed;
    const bool hangup = (ev & (POLLHUP | POLLERR)) != 0;
    const long n = ::read(fd_, buf, cap);
    if (n > 0) {
      got = static_cast<size_t>(n);
      return IoResult::kOk;
    }
    if (n == 0) {
      // A socket at end of stream; a serial line in raw mode also reads 0 when idle, so
      // there only a hang-up ends the connection.
      if (zeroReadIsEnd() || hangup) return IoResult::kClosed;
    } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      return IoResult::kClosed;
    }
  }
}

// A host-name lookup that gives up at the deadline. getaddrinfo cannot be interrupted, so a
// name (not a numeric address) is looked up on a helper thread; when the caller stops waiting,
// the thread finishes on its own and frees what it found.
struct Lookup {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  bool abandoned = false;
  int rc = EAI_FAIL;
  addrinfo* list = nullptr;
};

int32_t resolve(const std::string& host, const std::string& service, Clock::time_point deadline,
                addrinfo*& list) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
  int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (rc == 0) return list ? KLV_OK : KLV_E_HOST_NOT_FOUND;
  if (rc != EAI_NONAME) return KLV_E_HOST_NOT_FOUND;

  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([lookup, host, service, hints]() mutable {
      hints.ai_flags = AI_NUMERICSERV;
      addrinfo* found = nullptr;
      const int r = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
      std::lock_guard lock(lookup->m);
      if (lookup->abandoned) {
        if (r == 0) ::freeaddrinfo(found);
        return;
      }
      lookup->rc = r;
      lookup->list = found;
      lookup->done = true;
      lookup->cv.notify_one();
    }).detach();
  } catch (const std::system_error&) {
    return KLV_E_HOST_NOT_FOUND;  // no thread to be had: give up rather than block
  }
  std::unique_lock lock(lookup->m);
  if (!lookup->cv.wait_until(lock, deadline, [&] { return lookup->done; })) {
    lookup->abandoned = true;
    return KLV_E_TIMEOUT;
  }
  list = lookup->list;
  return lookup->rc == 0 && list ? KLV_OK : KLV_E_HOST_NOT_FOUND;
}

int32_t openTcp(const std::string& host, uint16_t port, Clock::time_point deadline,
                std::unique_ptr<Transport>& out) {
  addrinfo* list = nullptr;
  const int32_t found = resolve(host, std::to_string(port), deadline, list);
  if (found != KLV_OK) return found;
  int32_t result = KLV_E_CONNECTION_REFUSED;
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    const int fd =
        ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) continue;
    int r = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (r < 0 && errno == EINPROGRESS) {
      const int ev = waitFd(fd, POLLOUT, deadline);
      if (ev == 0) {
        ::close(fd);
        result = KLV_E_TIMEOUT;
        break;
      }
      int err = 0;
      socklen_t len = sizeof err;
      if (ev < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) err = EIO;
      r = err == 0 ? 0 : -1;
    }
    if (r == 0) {
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      // Blocking from here on: receives wait with a timeout, sends say MSG_DONTWAIT.
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) r = -1;
    }
    if (r == 0) {
      out = std::make_unique<TcpTransport>(fd);
      result = KLV_OK;
      break;
    }
    ::close(fd);
  }
  ::freeaddrinfo(list);
  return result;
}

int32_t openSerial(const SerialSettings& s, std::unique_ptr<Transport>& out) {
  const int fd = kelvor::openPortDevice(s.device);
  if (fd < 0) return KLV_E_PORT_OPEN;
  // Reads return at once: the transport polls before it reads.
  if (!kelvor::setRawLine(fd, {s.baud, s.parity, s.stopBits, /*immediateReads=*/true})) {
    ::close(fd);
    return KLV_E_PORT_OPEN;
  }
  ::tcflush(fd, TCIOFLUSH);
  // A pause of 20 character times (at least 20 ms) inside a frame ends it.
  const long interByte = std::max(20L, 20L * 11 * 1000 / s.baud);
  const int bitsPerChar = 1 + s.dataBits + (s.parity == 'N' ? 0 : 1) + s.stopBits;
  out = std::make_unique<SerialTransport>(fd, std::chrono::milliseconds(interByte), s.baud,
                                          bitsPerChar);
  return KLV_OK;
}

}  // namespace kelvor::lib
