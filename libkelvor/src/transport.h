// Byte transports of the client library: TCP sockets and serial lines.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kelvor::lib {

using Clock = std::chrono::steady_clock;

enum class IoResult { kOk, kTimeout, kClosed };

// A byte stream to the controller.
class Transport {
 public:
  Transport() = default;
  virtual ~Transport() = default;
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Writes all bytes before the deadline.
  virtual IoResult writeAll(const uint8_t* data, size_t size, Clock::time_point deadline) = 0;
  // Reads at least one byte (at most cap) before the deadline.
  virtual IoResult readSome(uint8_t* buf, size_t cap, Clock::time_point deadline, size_t& got) = 0;
  // Discards whatever the line has buffered (serial lines after a framing error).
  virtual void flushInput() {}
  // Longest pause between two bytes of one frame; zero for no limit.
  virtual std::chrono::milliseconds interByteTimeout() const { return {}; }
  // How long the line takes to carry bytes: zero for a network, the characters' bits at the
  // baud rate for a serial line.
  virtual std::chrono::microseconds wireTime(size_t /*bytes*/) const { return {}; }
};

// A transport over a file descriptor (socket or serial line), which it closes.
class FdTransport : public Transport {
 public:
  explicit FdTransport(int fd) : fd_(fd) {}
  ~FdTransport() override;

  IoResult writeAll(const uint8_t* data, size_t size, Clock::time_point deadline) override;
  // Waits for the line to be readable, then reads.
  IoResult readSome(uint8_t* buf, size_t cap, Clock::time_point deadline, size_t& got) override;

 protected:
  // Whether read() returning 0 means the peer has gone.
  virtual bool zeroReadIsEnd() const { return true; }
  virtual long sendSome(const uint8_t* data, size_t size);
  int fd_;
};

// Connects to host:port before the deadline. Returns the library result code; on success out
// holds the transport.
int32_t openTcp(const std::string& host, uint16_t port, Clock::time_point deadline,
                std::unique_ptr<Transport>& out);

struct SerialSettings {
  std::string device;
  int baud = 115200;
  char parity = 'N';  // N, E or O
  int dataBits = 8;
  int stopBits = 1;
};

// Opens and configures the serial device (checked as port_access.h describes).
int32_t openSerial(const SerialSettings& s, std::unique_ptr<Transport>& out);

}  // namespace kelvor::lib
