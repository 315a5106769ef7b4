#include "port_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "com_ports.h"

namespace kelvor {

namespace {

bool ownedByUserOrRoot(const struct stat& st) { return st.st_uid == ::geteuid() || st.st_uid == 0; }

std::string octal(mode_t mode) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04o", static_cast<unsigned>(mode & 07777));
  return buf;
}

// Why path is not a directory private to the user, or "" when it is one.
std::string privateDirProblem(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return path + ": " + std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return path + " is not a directory";
  if (st.st_uid != ::geteuid()) {
    return path + " belongs to uid " + std::to_string(st.st_uid) + ", not to this user (uid " +
           std::to_string(::geteuid()) + ")";
  }
  if ((st.st_mode & 077) != 0) {
    return path + " has mode " + octal(st.st_mode) + "; it must be 0700, private to its owner";
  }
  return {};
}

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The COM number of "COMn", or 0 when text is not of that form.
int comNumber(const std::string& text) {
  if (text.size() < 4 || text.size() > 6 || text.compare(0, 3, "COM") != 0) return 0;
  int n = 0;
  for (size_t i = 3; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    n = n * 10 + (text[i] - '0');
  }
  return n;
}

}  // namespace

std::string virtualPortDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/' && privateDirProblem(runtime).empty()) {
    return std::string(runtime) + "/kelvor";
  }
  return "/tmp/kelvor-" + std::to_string(::geteuid());
}

bool prepareVirtualPortDir(std::string& dir, std::string& error) {
  const std::string path = virtualPortDir();
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  error = privateDirProblem(path);
  if (!error.empty()) return false;
  dir = path;
  return true;
}

bool ptyLinkPath(const std::string& arg, std::string& link, std::string& error) {
  const int n = comNumber(arg);
  if (n == 0) {
    link = arg;
    return true;
  }
  if (n < kFirstVirtualCom || n > kLastComPort) {
    error = arg + " is not a virtual port; use COM" + std::to_string(kFirstVirtualCom) + " to COM" +
            std::to_string(kLastComPort);
    return false;
  }
  std::string dir;
  if (!prepareVirtualPortDir(dir, error)) return false;
  link = comDevicePath(n);
  return true;
}

int openPortDevice(const std::string& path, std::string* why) {
  auto refuse = [&](const std::string& reason) {
    if (why) *why = path + ": " + reason;
    return -1;
  };
  struct stat entry, dir, target;
  if (::lstat(path.c_str(), &entry) != 0) return refuse(std::strerror(errno));
  if (!ownedByUserOrRoot(entry)) {
    return refuse("belongs to uid " + std::to_string(entry.st_uid) +
                  ", neither this user nor root");
  }
  if (::stat(parentOf(path).c_str(), &dir) != 0) return refuse(std::strerror(errno));
  if (!ownedByUserOrRoot(dir) || (dir.st_mode & 022) != 0) {
    return refuse("its directory may be changed by other users");
  }
  if (::stat(path.c_str(), &target) != 0) return refuse(std::strerror(errno));
  if (!S_ISCHR(target.st_mode)) return refuse("not a character device");
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return refuse(std::strerror(errno));
  struct stat opened;
  if (::fstat(fd, &opened) != 0 || opened.st_dev != target.st_dev ||
      opened.st_ino != target.st_ino || opened.st_rdev != target.st_rdev) {
    ::close(fd);
    return refuse("changed while it was being opened");
  }
  if (::isatty(fd) != 1) {
    ::close(fd);
    return refuse("not a terminal");
  }
  return fd;
}

}  // namespace kelvor
