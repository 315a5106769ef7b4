#include "net/pty_port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

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
  struct stat st;
  if (!linked_ && ::lstat(link_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    error = link_ + " exists and is not a symbolic link";
    ::close(master);
    return false;
  }
  // Replace the link atomically.
  const std::string tmp = link_ + ".new";
  ::unlink(tmp.c_str());
  if (::symlink(name, tmp.c_str()) != 0 || ::rename(tmp.c_str(), link_.c_str()) != 0) {
    error = "cannot create link " + link_ + ": " + std::strerror(errno);
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

void PtyPort::announce() const {
  std::printf("kelvor-sim: pty %s at %s\n", slaveName_.c_str(), link_.c_str());
  std::fflush(stdout);
}

void PtyPort::removeLink() {
  if (linked_) ::unlink(link_.c_str());
  linked_ = false;
  if (hold_ >= 0) ::close(hold_);
  hold_ = -1;
}

void PtyPort::reopenLater() {
  if (hold_ >= 0) ::close(hold_);
  hold_ = -1;
  asio::post(io_, [this] {
    std::string error;
    if (!open(error)) {
      std::cerr << "kelvor-sim: " << error << std::endl;
      return;
    }
    // Announce the new line like the first one, for whoever waits for it.
    announce();
  });
}

}  // namespace kelvor::sim::net
