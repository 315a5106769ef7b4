// Serial-port discovery: which of "COM1" to "COM256" can be opened exclusively right now.
#pragma once

#include <functional>
#include <string>
#include <vector>

class PortProber {
 public:
  virtual ~PortProber() = default;
  // True when port "COM" + n is present and free (n from 1 to 256).
  virtual bool isPresent(int n) = 0;
};

// Probes the device that the fixed COM table gives for each number. A port counts as present
// when kelvor::openPortDevice() opens it (a terminal for reading and writing, non-blocking, no
// controlling terminal, that no other user but root could have put there) and nobody else
// holds it: not in exclusive mode (TIOCEXCL, which does not stop root, so the flag itself is
// read), no flock held by another open file, and no UUCP lock file (LCK..name) naming a live
// process. Lock files are read without following links or blocking, only when they are
// regular files, and only their first 32 bytes. The device is closed at once; its settings are
// never changed.
class DevicePortProber : public PortProber {
 public:
  using PathOf = std::function<std::string(int)>;
  explicit DevicePortProber(PathOf pathOf = {},
                            std::vector<std::string> lockDirs = {"/run/lock", "/var/lock"});
  bool isPresent(int n) override;
  // The probe of one device path.
  bool deviceIsFree(const std::string& path) const;

 private:
  bool lockFileHeld(const std::string& path) const;
  PathOf pathOf_;
  std::vector<std::string> lockDirs_;
};
