#include "net/tcp_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "kelvor.h"
#include "net/session.h"
#include "net/system_error.h"

namespace kelvor::sim::net {

namespace {

// TCP keepalive: a peer silent for kKeepIdle is probed every kKeepInterval; after kKeepProbes
// unanswered probes it is taken for dead and its session ends.
constexpr int kKeepIdleS = 60;
constexpr int kKeepIntervalS = 10;
constexpr int kKeepProbes = 3;

void keepAlive(asio::ip::tcp::socket& socket) {
  const int fd = socket.native_handle();
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleS, sizeof kKeepIdleS);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalS, sizeof kKeepIntervalS);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepProbes, sizeof kKeepProbes);
}

int openSpare() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

}  // namespace

bool parseEndpoint(const std::string& text, asio::ip::tcp::endpoint& ep, std::string& error) {
  std::string host, port;
  if (!text.empty() && text[0] == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
      error = "expected [ADDR]:PORT";
      return false;
    }
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
      error = "expected ADDR:PORT";
      return false;
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  asio::error_code ec;
  const auto addr = asio::ip::make_address(host, ec);
  char* end = nullptr;
  const long p = std::strtol(port.c_str(), &end, 10);
  if (ec || port.empty() || *end != '\0' || p < 0 || p > 65535) {
    error = "bad listen address '" + text + "'";
    return false;
  }
  ep = asio::ip::tcp::endpoint(addr, static_cast<uint16_t>(p));
  return true;
}

bool isLoopback(const asio::ip::address& address) {
  if (address.is_v4()) return address.to_v4().is_loopback();
  const asio::ip::address_v6 v6 = address.to_v6();
  if (v6.is_v4_mapped()) return asio::ip::make_address_v4(asio::ip::v4_mapped, v6).is_loopback();
  return v6.is_loopback();
}

TcpServer::TcpServer(asio::io_context& io, Service& service, const asio::ip::tcp::endpoint& ep,
                     const std::vector<asio::io_context*>& moreLoops)
    : service_(service), acceptor_(io), resume_(io), spare_(openSpare()) {
  loops_.emplace_back(io);
  for (asio::io_context* loop : moreLoops) loops_.emplace_back(*loop);
  acceptor_.open(ep.protocol());
  acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
  acceptor_.bind(ep);
  acceptor_.listen();
  acceptor_.non_blocking(true);
}

TcpServer::~TcpServer() {
  if (spare_ >= 0) ::close(spare_);
}

TcpServer::Loop& TcpServer::quietestLoop() {
  Loop* quietest = &loops_.front();
  for (Loop& loop : loops_) {
    if (loop.sessions < quietest->sessions) quietest = &loop;
  }
  return *quietest;
}

void TcpServer::accept() {
  // The peer's socket belongs to the loop that serves it from the start.
  Loop& loop = quietestLoop();
  acceptor_.async_accept(loop.io,
                         [this, &loop](const asio::error_code& ec, asio::ip::tcp::socket socket) {
                           if (isSystemError(ec, ECANCELED)) return;  // the server is closing
                           if (ec) {
                             pause(ec);
                             return;
                           }
                           if (failing_) printLine("kelvor-sim: accepting connections again");
                           failing_ = false;
                           serve(std::move(socket), loop);
                           accept();
                         });
}

void TcpServer::serve(asio::ip::tcp::socket socket, Loop& loop) {
  asio::error_code ignored;
  socket.set_option(asio::ip::tcp::no_delay(true), ignored);
  keepAlive(socket);
  const auto peer = socket.remote_endpoint(ignored);
  std::string name = "[tcp " + std::to_string(++count_) + "]";
  service_.traceNote(
      name, "connected from " + peer.address().to_string() + ':' + std::to_string(peer.port()));
  using TcpSession = Session<asio::ip::tcp::socket>;
  std::shared_ptr<TcpSession> session;
  if (served_ < service_.limits.maxConnections) {
    ++served_;
    session = std::make_shared<TcpSession>(service_, std::move(socket), name, [this, &loop] {
      --loop.sessions;
      --served_;
    });
  } else if (refusing_ < kMaxRefusing) {
    ++refusing_;
    service_.traceNote(name, "turned away: too many connections");
    session = std::make_shared<TcpSession>(service_, std::move(socket), name, [this, &loop] {
      --loop.sessions;
      --refusing_;
    });
    session->refuseWith(KLV_C_TOO_MANY_CONNECTIONS);
  } else {
    service_.traceNote(name, "closed: too many connections");
    return;
  }
  ++loop.sessions;
  // Everything the session does happens on its loop's thread, starting with its first read.
  asio::post(loop.io, [session] { session->start(); });
}

void TcpServer::pause(const asio::error_code& ec) {
  const bool noDescriptors = isSystemError(ec, EMFILE) || isSystemError(ec, ENFILE);
  if (noDescriptors && spare_ >= 0) {
    ::close(spare_);
    spare_ = -1;
  }
  if (!failing_) {
    // Plain stdio: without descriptors to spare, even a sanitized build's checks of stream
    // calls fail (they need a pipe).
    std::fprintf(stderr, "kelvor-sim: cannot accept a connection: %s; retrying every %lld ms\n",
                 std::strerror(ec.value()), static_cast<long long>(kAcceptPause.count()));
  }
  failing_ = true;
  if (noDescriptors) {
    // Closes the oldest waiting peer at once instead of leaving it to its timeout.
    const int fd = ::accept4(acceptor_.native_handle(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) ::close(fd);
    spare_ = openSpare();
  }
  resume_.expires_after(kAcceptPause);
  resume_.async_wait([this](const asio::error_code& e) {
    if (!e) accept();
  });
}

}  // namespace kelvor::sim::net
