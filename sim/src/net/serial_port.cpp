#include "net/serial_port.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "net/session.h"
#include "serial_line.h"

namespace kelvor::sim::net {

bool serveSerialPort(asio::io_context& io, Service& service, const std::string& device, int baud,
                     std::string& error) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 || !setRawLine(fd, {.baud = baud})) {
    error = "cannot open " + device + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::tcflush(fd, TCIOFLUSH);
  using SerialSession = Session<asio::posix::stream_descriptor>;
  std::make_shared<SerialSession>(service, asio::posix::stream_descriptor(io, fd), "[serial]", [] {
    printLine("kelvor-sim: serial port closed");
  })->start();
  return true;
}

}  // namespace kelvor::sim::net
