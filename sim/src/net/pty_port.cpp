#include "net/pty_port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include "net/session.h"
#include "serial_line.h"

namespace kelvor::sim::net {

bool PtyPort::open(std::string& error) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    if (master >= 0) ::close(master);
    return false;
  }
  char name[128];
  if (::ptsname_r(master, name, sizeof name) != 0) {
    error = "ptsname failed";
    ::close(master);
    return false;
  }
  slaveName_ = name;
  if (hold_ >= 0) ::close(hold_);
  hold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (hold_ < 0 || !setRawLine(hold_, {})) {
    error = std::string("cannot open ") + name + ": " + std::strerror(errno);
    ::close(master);
    return false;
  }
  if (!pointLink(name, error)) {
    ::close(master);
    return false;
  }
  linked_ = true;
  using PtySession = Session<asio::posix::stream_descriptor>;
  std::make_shared<PtySession>(service_, asio::posix::stream_descriptor(io_, master), "[pty]",
                               [this] { reopenLater(); })
      ->start();
  return true;
}

bool PtyPort::pointLink(const std::string& target, std::string& error) {
  const auto slash = link_.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : link_.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? link_ : link_.substr(slash + 1);
  if (dir_ < 0) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
      error = "cannot open the directory of " + link_ + ": " + std::strerror(errno);
      if (fd >= 0) ::close(fd);
      return false;
    }
    const bool trusted = st.st_uid == ::geteuid() || st.st_uid == 0;
    if (!trusted || ((st.st_mode & 022) != 0 && (st.st_mode & S_ISVTX) == 0)) {
      error = "the directory of " + link_ +
              " may be changed by other users; use a directory of your own or --pty COMn";
      ::close(fd);
      return false;
    }
    dir_ = fd;
  }
  struct stat st;
  if (!linked_ && ::fstatat(dir_, base.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
      !S_ISLNK(st.st_mode)) {
    error = link_ + " exists and is not a symbolic link";
    return false;
  }
  std::random_device random;
  for (int attempt = 0; attempt < 8; ++attempt) {
    char tmp[64];
    std::snprintf(tmp, sizeof tmp, ".%s.%08x%08x", base.substr(0, 32).c_str(), random(), random());
    if (::symlinkat(target.c_str(), dir_, tmp) != 0) {
      if (errno == EEXIST) continue;
      break;
    }
    if (::renameat(dir_, tmp, dir_, base.c_str()) == 0) return true;
    const int why = errno;
    ::unlinkat(dir_, tmp, 0);
    errno = why;
    break;
  }
  error = "cannot create link " + link_ + ": " + std::strerror(errno);
  return false;
}

void PtyPort::announce() const {
  std::printf("kelvor-sim: pty %s at %s\n", slaveName_.c_str(), link_.c_str());
  std::fflush(stdout);
}

void PtyPort::removeLink() {
  if (linked_) {
    const auto slash = link_.rfind('/');
    ::unlinkat(dir_, link_.c_str() + (slash == std::string::npos ? 0 : slash + 1), 0);
  }
  linked_ = false;
  if (hold_ >= 0) ::close(hold_);
  hold_ = -1;
  if (dir_ >= 0) ::close(dir_);
  dir_ = -1;
}

void PtyPort::reopenLater() {
  if (hold_ >= 0) ::close(hold_);
  hold_ = -1;
  asio::post(io_, [this] {
    std::string error;
    if (!open(error)) {
      printLine("kelvor-sim: " + error);
      return;
    }
    // Announce the new line like the first one, for whoever waits for it.
    announce();
  });
}

}  // namespace kelvor::sim::net
