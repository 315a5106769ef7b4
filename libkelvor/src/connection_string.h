// Parsing of the connection strings accepted by klv_Connect().
#pragma once

#include <cstdint>
#include <string>

#include "transport.h"

namespace kelvor::lib {

struct ConnectionTarget {
  enum class Kind { kTcp, kSerial } kind = Kind::kTcp;
  std::string host;  // TCP: host name or address (IPv6 without brackets)
  uint16_t port = 0;
  int com = 0;  // serial: the COM number
  SerialSettings serial;
};

// Parses "eth:HOST[:PORT]", "eth:[V6][:PORT]" or "com:N:BAUDP:D:S". Returns false for
// anything else.
bool parseConnectionString(const std::string& text, ConnectionTarget& out);

}  // namespace kelvor::lib
