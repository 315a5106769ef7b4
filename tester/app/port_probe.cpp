#include "port_probe.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "com_ports.h"
#include "port_access.h"

namespace {

// The lock file holds ten digits and a newline, or a binary int; a few dozen bytes is plenty.
constexpr size_t kLockFileBytes = 32;

// The PID that a UUCP lock file names, or 0 when it names none worth believing. Lock
// directories are writable by other users, so the file is opened without following a link and
// without blocking (a FIFO would block), must be a regular file, and only its first bytes are
// read (it may be huge).
long lockFilePid(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[kLockFileBytes + 1] = {};
  ssize_t n = -1;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    do {
      n = ::read(fd, text, kLockFileBytes);
    } while (n < 0 && errno == EINTR);
  }
  ::close(fd);
  if (n <= 0) return 0;
  long pid = std::strtol(text, nullptr, 10);
  if (pid <= 0 && n == static_cast<ssize_t>(sizeof(int)) && st.st_size == n) {
    int binary = 0;
    std::memcpy(&binary, text, sizeof binary);
    pid = binary;
  }
  return pid > 0 && pid <= INT_MAX ? pid : 0;
}

}  // namespace

DevicePortProber::DevicePortProber(PathOf pathOf, std::vector<std::string> lockDirs)
    : pathOf_(pathOf ? std::move(pathOf) : PathOf(kelvor::comDevicePath)),
      lockDirs_(std::move(lockDirs)) {}

bool DevicePortProber::isPresent(int n) {
  const std::string path = pathOf_(n);
  return !path.empty() && deviceIsFree(path);
}

bool DevicePortProber::deviceIsFree(const std::string& path) const {
  // Absent, no access, not a terminal, open to tampering by others, or in exclusive mode
  // (EBUSY).
  const int fd = kelvor::openPortDevice(path);
  if (fd < 0) return false;
  bool free = true;
#ifdef TIOCGEXCL
  int exclusive = 0;
  if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) free = false;
#endif
  if (free && ::flock(fd, LOCK_EX | LOCK_NB) != 0) free = false;
  ::close(fd);  // also releases our flock
  return free && !lockFileHeld(path);
}

// A UUCP lock file "LCK..<device name>" holding the PID of a live process marks the port as
// taken. The PID is written as ten ASCII digits by most tools, or as a binary int by old ones.
// A lock file that cannot be read safely (see lockFilePid) does not count.
bool DevicePortProber::lockFileHeld(const std::string& path) const {
  std::vector<std::string> names;
  auto addName = [&names](const std::string& p) {
    const auto slash = p.rfind('/');
    const std::string base = slash == std::string::npos ? p : p.substr(slash + 1);
    if (!base.empty()) names.push_back(base);
    if (p.rfind("/dev/", 0) == 0) {  // "/dev/pts/3" is also locked as "pts_3"
      std::string rel = p.substr(5);
      for (char& ch : rel) ch = ch == '/' ? '_' : ch;
      if (rel != base) names.push_back(rel);
    }
  };
  addName(path);
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) && path != resolved) addName(resolved);

  for (const std::string& dir : lockDirs_) {
    for (const std::string& name : names) {
      const long pid = lockFilePid(dir + "/LCK.." + name);
      if (pid <= 0) continue;  // no lock, or an unreadable one: not a live holder
      if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) return true;
    }
  }
  return false;
}
