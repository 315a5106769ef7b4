#include "epoll_baseline.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kelvor/protocol.h"

namespace kelvor::bench {

namespace {

struct Peer {
  std::array<uint8_t, proto::kMaxFrame * 2> in{};
  size_t have = 0;
  std::vector<uint8_t> out;
};

// Consumes the complete frames at the front of the peer's input; one reply for each.
void answerFrames(Peer& p, std::span<const uint8_t> reply) {
  size_t used = 0;
  while (p.have - used >= proto::kHeaderSize) {
    const uint8_t* f = p.in.data() + used;
    const size_t total = proto::kHeaderSize + (f[2] | (f[3] << 8)) + proto::kCrcSize;
    if (p.have - used < total) break;
    used += total;
    p.out.insert(p.out.end(), reply.begin(), reply.end());
  }
  std::memmove(p.in.data(), p.in.data() + used, p.have - used);
  p.have -= used;
}

}  // namespace

void serveEpollBaseline(int listenFd, std::span<const uint8_t> reply) {
  const int ep = ::epoll_create1(EPOLL_CLOEXEC);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = listenFd;
  ::epoll_ctl(ep, EPOLL_CTL_ADD, listenFd, &ev);
  std::vector<Peer> peers(1024);
  std::array<epoll_event, 64> ready{};
  for (;;) {
    const int n = ::epoll_wait(ep, ready.data(), static_cast<int>(ready.size()), -1);
    if (n < 0) continue;
    for (int i = 0; i < n; ++i) {
      const int fd = ready[static_cast<size_t>(i)].data.fd;
      if (fd == listenFd) {
        const int c = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        if (static_cast<size_t>(c) >= peers.size()) {
          ::close(c);
          continue;
        }
        // Like the simulator: small replies leave at once.
        const int on = 1;
        ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        peers[static_cast<size_t>(c)].have = 0;
        ev.data.fd = c;
        ::epoll_ctl(ep, EPOLL_CTL_ADD, c, &ev);
        continue;
      }
      Peer& p = peers[static_cast<size_t>(fd)];
      const ssize_t got = ::recv(fd, p.in.data() + p.have, p.in.size() - p.have, 0);
      if (got <= 0) {
        ::close(fd);  // leaves the epoll set with it
        continue;
      }
      p.have += static_cast<size_t>(got);
      answerFrames(p, reply);
      // The peers wait for each reply before the next request, so a reply always fits the
      // socket's buffer; a short write would be a fault of the benchmark.
      if (!p.out.empty() && ::send(fd, p.out.data(), p.out.size(), MSG_NOSIGNAL) !=
                                static_cast<ssize_t>(p.out.size())) {
        std::perror("epoll baseline: send");
        std::exit(1);
      }
      p.out.clear();
    }
  }
}

}  // namespace kelvor::bench
