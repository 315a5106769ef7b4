// Loopback sockets for tests: a listener on a free port, and connections to a port.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace kelvor::test {

inline sockaddr_in loopbackAddress(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A socket listening on a free loopback port, which port receives; throws when it cannot.
inline int listenOnLoopback(int& port, int backlog = 8) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopbackAddress(0);
  socklen_t len = sizeof a;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(fd, backlog) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    if (fd >= 0) ::close(fd);
    throw std::runtime_error("cannot listen on loopback");
  }
  port = ntohs(a.sin_port);
  return fd;
}

// A connection to a loopback port, or -1. A send timeout, when given, bounds the connect and
// every send.
inline int dialLoopback(int port, std::chrono::milliseconds sendTimeout = {}) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sendTimeout.count() > 0) {
    const timeval t{static_cast<time_t>(sendTimeout.count() / 1000),
                    static_cast<suseconds_t>(sendTimeout.count() % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
  }
  const sockaddr_in a = loopbackAddress(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace kelvor::test
