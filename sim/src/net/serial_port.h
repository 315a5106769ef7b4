// A real serial port served like any other peer, raw 8N1.
#pragma once

#include <asio.hpp>
#include <string>

#include "net/service.h"

namespace kelvor::sim::net {

// Opens device at baud (one of the rates of serial_line.h) and serves it. False with a
// message when the device cannot be opened or set up.
bool serveSerialPort(asio::io_context& io, Service& service, const std::string& device, int baud,
                     std::string& error);

}  // namespace kelvor::sim::net
