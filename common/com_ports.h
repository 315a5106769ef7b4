// The fixed table that maps the controller's port names "COM1" to "COM256" to
// Linux serial devices. The tester's port probe and the client library both use
// it, so "com:N:..." always reaches the device that the probe listed as COMN.
//
//   COM1   to COM32   /dev/ttyS0   to /dev/ttyS31    on-board UARTs
//   COM33  to COM64   /dev/ttyUSB0 to /dev/ttyUSB31  USB-serial adapters
//   COM65  to COM96   /dev/ttyACM0 to /dev/ttyACM31  CDC-ACM devices
//   COM97  to COM128  /dev/ttyAMA0 to /dev/ttyAMA31  ARM board UARTs
//   COM129 to COM256  DIR/COM129   to DIR/COM256     virtual ports: symbolic links to
//                     pseudo-terminals, as made by "kelvor-sim --pty COM200", in the
//                     user's private directory DIR (port_access.h):
//                     $XDG_RUNTIME_DIR/kelvor, else /tmp/kelvor-UID
#pragma once

#include <string>

#include "port_access.h"

namespace kelvor {

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 256;
inline constexpr int kFirstVirtualCom = 129;

struct ComRange {
  int first;           // first COM number of the range
  int last;            // last COM number of the range
  const char* prefix;  // device path = prefix + (n - first + offset); nullptr: virtual ports
  int offset;
};

inline constexpr ComRange kComRanges[] = {
    {1, 32, "/dev/ttyS", 0},
    {33, 64, "/dev/ttyUSB", 0},
    {65, 96, "/dev/ttyACM", 0},
    {97, 128, "/dev/ttyAMA", 0},
    {kFirstVirtualCom, kLastComPort, nullptr, kFirstVirtualCom},
};

// The device path for "COM" + n, or an empty string when n is outside 1 to 256.
inline std::string comDevicePath(int n) {
  for (const ComRange& r : kComRanges) {
    if (n >= r.first && n <= r.last) {
      const std::string prefix = r.prefix ? r.prefix : virtualPortDir() + "/COM";
      return prefix + std::to_string(n - r.first + r.offset);
    }
  }
  return {};
}

}  // namespace kelvor
