// The raw serial-line set-up the controller protocol needs, for the client library and the
// simulator alike: 8 data bits, no character processing, no flow control, modem control lines
// ignored. Standard library and POSIX only.
#pragma once

#include <termios.h>

#include <cerrno>

#include "serial_speed.h"

namespace kelvor {

struct RawLine {
  int baud = 115200;  // 9600, 19200, 38400, 57600 or 115200
  char parity = 'N';  // 'N', 'E' or 'O'
  int stopBits = 1;   // 1 or 2
  // true: a read returns at once with whatever has arrived, possibly nothing (VMIN 0), for a
  // caller that polls before it reads. false: a read waits for at least one byte (VMIN 1), as
  // an event loop needs, which takes a read of 0 bytes for the end of the stream.
  bool immediateReads = false;
};

// Puts the terminal fd into raw mode with line's settings. False with errno set when the
// terminal refuses them or the baud rate is not one of the line's (EINVAL).
inline bool setRawLine(int fd, const RawLine& line) {
  const speed_t speed = serialSpeed(line.baud);
  if (speed == B0) {
    errno = EINVAL;
    return false;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  if (line.parity == 'E') tio.c_cflag |= PARENB;
  if (line.parity == 'O') tio.c_cflag |= PARENB | PARODD;
  if (line.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = line.immediateReads ? 0 : 1;
  tio.c_cc[VTIME] = 0;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace kelvor
