// The baud rates the controller's serial line runs at, as termios speeds.
#pragma once

#include <termios.h>

namespace kelvor {

// The termios speed for a baud rate of 9600, 19200, 38400, 57600 or 115200; B0 for any other.
inline speed_t serialSpeed(int baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

}  // namespace kelvor
