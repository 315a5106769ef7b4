// The connection-string parser of klv_Connect() on arbitrary text.
//
// Input: the text (up to its first NUL, as a C string ends).
// Invariants: an accepted string names a target that can be used as it is: a TCP host with
// no blank, control character or bracket and a port from 1 to 65535, or a COM number from the
// table with a supported line setting; and the canonical text of that target parses to the
// same target.
#include "connection_string.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "com_ports.h"
#include "fuzz_support.h"

namespace {

using kelvor::lib::ConnectionTarget;

using kelvor::fuzz::require;

std::string canonical(const ConnectionTarget& t) {
  if (t.kind == ConnectionTarget::Kind::kTcp) {
    const bool v6 = t.host.find(':') != std::string::npos;
    return "eth:" + (v6 ? "[" + t.host + "]" : t.host) + ":" + std::to_string(t.port);
  }
  return "com:" + std::to_string(t.com) + ":" + std::to_string(t.serial.baud) + t.serial.parity +
         ":" + std::to_string(t.serial.dataBits) + ":" + std::to_string(t.serial.stopBits);
}

bool same(const ConnectionTarget& a, const ConnectionTarget& b) {
  return a.kind == b.kind && a.host == b.host && a.port == b.port && a.com == b.com &&
         a.serial.device == b.serial.device && a.serial.baud == b.serial.baud &&
         a.serial.parity == b.serial.parity && a.serial.dataBits == b.serial.dataBits &&
         a.serial.stopBits == b.serial.stopBits;
}

void checkTarget(const ConnectionTarget& t) {
  if (t.kind == ConnectionTarget::Kind::kTcp) {
    require(!t.host.empty() && t.port >= 1, "a host and a port");
    for (char c : t.host) {
      const auto u = static_cast<unsigned char>(c);
      require(u > ' ' && u != 0x7F && c != '[' && c != ']', "no blank, control or bracket");
    }
    return;
  }
  require(t.serial.device == kelvor::comDevicePath(t.com) && !t.serial.device.empty(),
          "the device of a COM number from the table");
  const int b = t.serial.baud;
  require(b == 9600 || b == 19200 || b == 38400 || b == 57600 || b == 115200, "a known baud rate");
  require(t.serial.parity == 'N' || t.serial.parity == 'E' || t.serial.parity == 'O', "parity");
  require(t.serial.dataBits == 8, "8 data bits");
  require(t.serial.stopBits == 1 || t.serial.stopBits == 2, "1 or 2 stop bits");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data),
                         strnlen(reinterpret_cast<const char*>(data), size));
  ConnectionTarget target;
  if (!kelvor::lib::parseConnectionString(text, target)) return 0;
  checkTarget(target);
  ConnectionTarget again;
  require(kelvor::lib::parseConnectionString(canonical(target), again),
          "the canonical text is accepted");
  require(same(target, again), "the canonical text names the same target");
  return 0;
}
