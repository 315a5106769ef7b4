#include "net/tcp_server.h"

#include <cstdlib>
#include <memory>

#include "net/session.h"

namespace kelvor::sim::net {

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

TcpServer::TcpServer(asio::io_context& io, Service& service, const asio::ip::tcp::endpoint& ep)
    : service_(service), acceptor_(io) {
  acceptor_.open(ep.protocol());
  acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
  acceptor_.bind(ep);
  acceptor_.listen();
}

void TcpServer::accept() {
  acceptor_.async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
    if (!ec) {
      asio::error_code ignored;
      socket.set_option(asio::ip::tcp::no_delay(true), ignored);
      const auto peer = socket.remote_endpoint(ignored);
      std::string name = "[tcp " + std::to_string(++count_) + "]";
      service_.traceNote(
          name, "connected from " + peer.address().to_string() + ':' + std::to_string(peer.port()));
      std::make_shared<Session<asio::ip::tcp::socket>>(service_, std::move(socket), name, nullptr)
          ->start();
    }
    if (ec != asio::error::operation_aborted) accept();
  });
}

}  // namespace kelvor::sim::net
