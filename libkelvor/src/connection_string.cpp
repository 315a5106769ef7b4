#include "connection_string.h"

#include <cctype>

#include "com_ports.h"
#include "kelvor.h"

namespace kelvor::lib {

namespace {

// Parses a decimal number of 1 to 9 digits.
bool parseNumber(const std::string& s, long& out) {
  if (s.empty() || s.size() > 9) return false;
  long v = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

bool parsePort(const std::string& s, uint16_t& out) {
  long v = 0;
  if (!parseNumber(s, v) || v < 1 || v > 65535) return false;
  out = static_cast<uint16_t>(v);
  return true;
}

// A host name or address: not empty, no blanks, control characters or brackets.
bool validHost(const std::string& host) {
  if (host.empty()) return false;
  for (char c : host) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= ' ' || u == 0x7F || c == '[' || c == ']') return false;
  }
  return true;
}

bool parseEth(const std::string& rest, ConnectionTarget& out) {
  out.kind = ConnectionTarget::Kind::kTcp;
  out.port = KLV_DEFAULT_PORT;
  if (!rest.empty() && rest[0] == '[') {
    const auto close = rest.find(']');
    if (close == std::string::npos) return false;
    out.host = rest.substr(1, close - 1);
    const std::string tail = rest.substr(close + 1);
    if (!tail.empty() && (tail[0] != ':' || !parsePort(tail.substr(1), out.port))) return false;
    return validHost(out.host);
  }
  const auto colon = rest.find(':');
  out.host = rest.substr(0, colon);
  if (colon != std::string::npos && !parsePort(rest.substr(colon + 1), out.port)) return false;
  return validHost(out.host);
}

bool parseCom(const std::string& rest, ConnectionTarget& out) {
  out.kind = ConnectionTarget::Kind::kSerial;
  // N:BAUDP:D:S
  std::string parts[4];
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const auto colon = rest.find(':', start);
    if (i < 3) {
      if (colon == std::string::npos) return false;
      parts[i] = rest.substr(start, colon - start);
      start = colon + 1;
    } else {
      if (colon != std::string::npos) return false;
      parts[i] = rest.substr(start);
    }
  }
  long com = 0;
  if (!parseNumber(parts[0], com)) return false;
  out.serial.device = kelvor::comDevicePath(static_cast<int>(com));
  if (out.serial.device.empty()) return false;
  out.com = static_cast<int>(com);
  if (parts[1].size() < 2) return false;
  const char parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parts[1].back())));
  if (parity != 'N' && parity != 'E' && parity != 'O') return false;
  long baud = 0;
  if (!parseNumber(parts[1].substr(0, parts[1].size() - 1), baud)) return false;
  if (baud != 9600 && baud != 19200 && baud != 38400 && baud != 57600 && baud != 115200) {
    return false;
  }
  long data = 0;
  long stop = 0;
  if (!parseNumber(parts[2], data) || data != 8) return false;  // the frames are binary
  if (!parseNumber(parts[3], stop) || (stop != 1 && stop != 2)) return false;
  out.serial.baud = static_cast<int>(baud);
  out.serial.parity = parity;
  out.serial.dataBits = static_cast<int>(data);
  out.serial.stopBits = static_cast<int>(stop);
  return true;
}

}  // namespace

bool parseConnectionString(const std::string& text, ConnectionTarget& out) {
  if (text.rfind("eth:", 0) == 0) return parseEth(text.substr(4), out);
  if (text.rfind("com:", 0) == 0) return parseCom(text.substr(4), out);
  return false;
}

}  // namespace kelvor::lib
