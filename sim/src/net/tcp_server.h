// The TCP side of the simulator: accepts any number of peers, each with its own session.
#pragma once

#include <asio.hpp>
#include <string>

#include "net/service.h"

namespace kelvor::sim::net {

// Parses "ADDR:PORT" or "[V6ADDR]:PORT" (numeric addresses, port 0 to 65535).
bool parseEndpoint(const std::string& text, asio::ip::tcp::endpoint& ep, std::string& error);

class TcpServer {
 public:
  // Listens on ep; throws asio::system_error when it cannot.
  TcpServer(asio::io_context& io, Service& service, const asio::ip::tcp::endpoint& ep);
  // The address it listens on, with the port chosen when ep had port 0.
  asio::ip::tcp::endpoint endpoint() const { return acceptor_.local_endpoint(); }
  // Starts accepting peers.
  void accept();

 private:
  Service& service_;
  asio::ip::tcp::acceptor acceptor_;
  int count_ = 0;
};

}  // namespace kelvor::sim::net
