// Strings that cross the library boundary: NUL-terminated, in the system's code page.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <cstring>

// A zero-filled output buffer of 1024 characters handed to the library with its capacity 1024.
// One guard byte past the end stays NUL, so a library that writes 1024 characters without a NUL
// shows all of them and nothing past the buffer is ever read.
class OutText {
 public:
  static constexpr int32_t kCapacity = 1024;
  char* data() { return buf_.data(); }
  int32_t capacity() const { return kCapacity; }
  // The buffer's text up to its first NUL, at most 1024 characters.
  QString text() const {
    return QString::fromLocal8Bit(buf_.data(),
                                  static_cast<qsizetype>(strnlen(buf_.data(), kCapacity)));
  }

 private:
  std::array<char, kCapacity + 1> buf_{};
};

// Window text to a NUL-terminated string in the system's code page.
inline QByteArray toLibString(const QString& text) { return text.toLocal8Bit(); }
