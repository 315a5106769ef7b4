// The serial-port probe against pseudo-terminals: present, absent and held devices.
#include "app/port_probe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "com_ports.h"
#include "runtime_dir.h"

namespace fs = std::filesystem;

class PortProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::openpty(&master_, &slave_, name_, nullptr, nullptr), 0);
    dir_ = fs::temp_directory_path() / ("kelvor-probe-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (slave_ >= 0) ::close(slave_);
    ::close(master_);
    fs::remove_all(dir_);
  }
  DevicePortProber prober() { return DevicePortProber({}, {dir_.string()}); }
  void closeSlave() {
    ::close(slave_);
    slave_ = -1;
  }

  int master_ = -1, slave_ = -1;
  char name_[128] = {};
  fs::path dir_;
};

// The probe of path in a child process, so that a probe that hangs or dies fails the test
// instead of ending it: nullopt unless the child answers within 5 s.
std::optional<bool> probeInChild(const DevicePortProber& prober, const std::string& path) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(prober.deviceIsFree(path) ? 1 : 0);
  int status = 0;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > giveUp) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status) == 1;
}

TEST_F(PortProbe, FreeTerminalIsPresentAndKeepsItsSettings) {
  closeSlave();
  termios before{};
  int fd = ::open(name_, O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ::tcgetattr(fd, &before);
  EXPECT_TRUE(prober().deviceIsFree(name_));
  termios after{};
  ::tcgetattr(fd, &after);
  ::close(fd);
  EXPECT_EQ(before.c_cflag, after.c_cflag);
  EXPECT_EQ(before.c_lflag, after.c_lflag);
  EXPECT_EQ(cfgetospeed(&before), cfgetospeed(&after));
}

TEST_F(PortProbe, AbsentDevicesAndNonTerminalsAreNotPorts) {
  EXPECT_FALSE(prober().deviceIsFree((dir_ / "ttyNone").string()));
  std::ofstream((dir_ / "plain").string()) << "x";
  EXPECT_FALSE(prober().deviceIsFree((dir_ / "plain").string()));
}

TEST_F(PortProbe, HeldByFlockIsNotListed) {
  ASSERT_EQ(::flock(slave_, LOCK_EX), 0);
  EXPECT_FALSE(prober().deviceIsFree(name_));
  ::flock(slave_, LOCK_UN);
  EXPECT_TRUE(prober().deviceIsFree(name_));
}

TEST_F(PortProbe, HeldInExclusiveModeIsNotListedEvenForRoot) {
  ASSERT_EQ(::ioctl(slave_, TIOCEXCL), 0);
  EXPECT_FALSE(prober().deviceIsFree(name_));
  ::ioctl(slave_, TIOCNXCL);
  EXPECT_TRUE(prober().deviceIsFree(name_));
}

TEST_F(PortProbe, UucpLockFileWithALivePidMarksThePortTaken) {
  closeSlave();
  const std::string device = fs::path(name_).filename().string();  // "/dev/pts/5" -> "5"
  const fs::path lock = dir_ / ("LCK.." + device);
  {
    std::ofstream out(lock);
    char pid[16];
    std::snprintf(pid, sizeof pid, "%10d\n", static_cast<int>(::getpid()));
    out << pid;
  }
  EXPECT_FALSE(prober().deviceIsFree(name_));
  {
    std::ofstream out(lock, std::ios::trunc);
    out << "    999999\n";  // no such process: a stale lock
  }
  EXPECT_TRUE(prober().deviceIsFree(name_));
}

// Lock directories are writable by everyone: a lock file planted there as a FIFO, a huge
// file or a link must neither stall nor crash the probe, nor be believed.
TEST_F(PortProbe, PlantedLockFilesCannotStallCrashOrFoolTheProbe) {
  closeSlave();
  const fs::path lock = dir_ / ("LCK.." + fs::path(name_).filename().string());
  ASSERT_EQ(::mkfifo(lock.c_str(), 0666), 0);
  EXPECT_EQ(probeInChild(prober(), name_), std::optional<bool>(true)) << "FIFO";
  fs::remove(lock);

  {
    std::ofstream out(lock);
    out << "    " << ::getpid() << "\n";
  }
  ASSERT_EQ(::truncate(lock.c_str(), off_t{8} << 30), 0);  // 8 GiB, mostly a hole
  EXPECT_EQ(probeInChild(prober(), name_), std::optional<bool>(false))
      << "a huge file is read no further than the PID at its start";
  fs::remove(lock);

  const fs::path real = dir_ / "elsewhere";
  std::ofstream(real) << "    " << ::getpid() << "\n";
  fs::create_symlink(real, lock);
  EXPECT_EQ(probeInChild(prober(), name_), std::optional<bool>(true)) << "a link is not followed";
}

// A port listed only when nobody but the user or root could have put it there, and only a
// terminal behind it.
TEST_F(PortProbe, PortsOthersCouldHavePlantedAreNotListed) {
  closeSlave();
  const fs::path ports = dir_ / "ports";
  fs::create_directory(ports);
  ::chmod(ports.c_str(), 0700);
  const fs::path link = ports / "COM200";
  fs::create_symlink(name_, link);
  EXPECT_TRUE(prober().deviceIsFree(link));
  ASSERT_EQ(::chmod(ports.c_str(), 0777), 0);
  EXPECT_FALSE(prober().deviceIsFree(link)) << "a directory others may write to";
  ASSERT_EQ(::chmod(ports.c_str(), 0700), 0);
  const fs::path devNull = ports / "COM201";
  fs::create_symlink("/dev/null", devNull);
  EXPECT_FALSE(prober().deviceIsFree(devNull)) << "a character device, but no terminal";
  if (::geteuid() == 0) {
    ASSERT_EQ(::lchown(link.c_str(), kelvor::test::kNobody, kelvor::test::kNobody), 0);
    EXPECT_FALSE(prober().deviceIsFree(link)) << "a link of user nobody";
  }
}

TEST_F(PortProbe, ComNumbersReachTheirDevicesThroughTheTable) {
  closeSlave();
  const int n = 200;
  DevicePortProber mapped([&](int k) { return k == n ? std::string(name_) : std::string(); },
                          {dir_.string()});
  EXPECT_TRUE(mapped.isPresent(n));
  EXPECT_FALSE(mapped.isPresent(n + 1));
  EXPECT_EQ(kelvor::comDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(kelvor::comDevicePath(33), "/dev/ttyUSB0");
  EXPECT_EQ(kelvor::comDevicePath(65), "/dev/ttyACM0");
  EXPECT_EQ(kelvor::comDevicePath(97), "/dev/ttyAMA0");
  kelvor::test::PrivateRuntimeDir runtime;
  EXPECT_EQ(kelvor::comDevicePath(200), runtime.portDir() + "/COM200");
  EXPECT_EQ(kelvor::comDevicePath(0), "");
  EXPECT_EQ(kelvor::comDevicePath(257), "");
}
