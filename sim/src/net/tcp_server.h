// The TCP side of the simulator: serves up to PeerLimits::maxConnections peers at once, each
// with its own session, and turns the next ones away with KLV_C_TOO_MANY_CONNECTIONS.
//
// Sessions may run on several event loops, each run by its own thread, so that several peers
// are served on several cores; accepting stays on the first loop. The dispatcher executes the
// requests one at a time whichever loop they arrive on.
#pragma once

#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "net/service.h"

namespace kelvor::sim::net {

// Parses "ADDR:PORT" or "[V6ADDR]:PORT" (numeric addresses, port 0 to 65535).
bool parseEndpoint(const std::string& text, asio::ip::tcp::endpoint& ep, std::string& error);

// True for an address of this machine only: 127.0.0.0/8, ::1, or ::ffff:127.x.y.z.
bool isLoopback(const asio::ip::address& address);

class TcpServer {
 public:
  // Peers turned away with a reply at once, beyond them a peer is closed without one.
  static constexpr size_t kMaxRefusing = 16;
  // How long accepting pauses after it failed (out of descriptors, for instance).
  static constexpr std::chrono::milliseconds kAcceptPause{100};

  // Listens on ep; throws asio::system_error when it cannot. Accepts on io and serves each new
  // peer on whichever of io and moreLoops serves the fewest; all of them must outlive the
  // server, moreLoops must outlive io (an accept pending on io holds a socket of theirs), and
  // each must be run by one thread only.
  TcpServer(asio::io_context& io, Service& service, const asio::ip::tcp::endpoint& ep,
            const std::vector<asio::io_context*>& moreLoops = {});
  ~TcpServer();
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // The address it listens on, with the port chosen when ep had port 0.
  asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }
  // Starts accepting peers.
  void accept();

 private:
  // An event loop sessions run on, and how many run there now.
  struct Loop {
    explicit Loop(asio::io_context& context) : io(context), opened(context) {}
    asio::io_context& io;
    // An I/O object of the loop's from the start, so that the loop opens its descriptors (its
    // epoll set, wake-up and timer descriptors) with the server, not with its first peer.
    asio::steady_timer opened;
    std::atomic<size_t> sessions{0};
  };

  // The loop serving the fewest sessions, the first of them on a tie.
  Loop& quietestLoop();
  void serve(asio::ip::tcp::socket socket, Loop& loop);
  // After a failed accept: at the descriptor limit the oldest waiting peer is closed at once
  // (with the spare descriptor), rather than left waiting; accepting resumes after a pause.
  void pause(const asio::error_code& ec);

  Service& service_;
  asio::ip::tcp::acceptor acceptor_;
  asio::steady_timer resume_;
  std::deque<Loop> loops_;  // never resized after construction: sessions keep references
  int spare_ = -1;          // a descriptor held back to accept and close a peer at the limit
  // Changed by sessions ending on any loop; increased and checked only where peers are accepted.
  std::atomic<size_t> served_{0};
  std::atomic<size_t> refusing_{0};
  long count_ = 0;
  bool failing_ = false;  // the last accept failed; reported once until one succeeds
};

}  // namespace kelvor::sim::net
