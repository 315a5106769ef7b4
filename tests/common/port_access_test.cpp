// The private directory of the virtual COM ports and the checked open of a port's device.
#include "port_access.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "com_ports.h"
#include "runtime_dir.h"

namespace kelvor::test {
namespace {

namespace fs = std::filesystem;

const std::string kFallback = "/tmp/kelvor-" + std::to_string(::geteuid());

TEST(VirtualPortDir, LivesInTheRuntimeDirectoryOnlyWhenThatIsPrivate) {
  PrivateRuntimeDir runtime;
  EXPECT_EQ(virtualPortDir(), runtime.portDir());
  ASSERT_EQ(::chmod(runtime.path().c_str(), 0755), 0);
  EXPECT_EQ(virtualPortDir(), kFallback) << "others may enter the runtime directory";
  ASSERT_EQ(::chmod(runtime.path().c_str(), 0700), 0);
  ::setenv("XDG_RUNTIME_DIR", "relative/dir", 1);
  EXPECT_EQ(virtualPortDir(), kFallback);
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(virtualPortDir(), kFallback);
}

TEST(VirtualPortDir, IsCreatedPrivateAndRefusedWhenOthersCouldUseIt) {
  PrivateRuntimeDir runtime;
  std::string dir, error;
  ASSERT_TRUE(prepareVirtualPortDir(dir, error)) << error;
  EXPECT_EQ(dir, runtime.portDir());
  struct stat st;
  ASSERT_EQ(::lstat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());

  ASSERT_EQ(::chmod(dir.c_str(), 0750), 0);
  EXPECT_FALSE(prepareVirtualPortDir(dir, error));
  EXPECT_NE(error.find("mode 0750"), std::string::npos) << error;

  // A link in its place, even to a private directory, is not the directory.
  fs::remove(runtime.portDir());
  const fs::path elsewhere = fs::path(runtime.path()) / "elsewhere";
  fs::create_directory(elsewhere);
  ::chmod(elsewhere.c_str(), 0700);
  fs::create_directory_symlink(elsewhere, runtime.portDir());
  EXPECT_FALSE(prepareVirtualPortDir(dir, error));
  EXPECT_NE(error.find("not a directory"), std::string::npos) << error;

  if (::geteuid() == 0) {
    fs::remove(runtime.portDir());
    ASSERT_TRUE(prepareVirtualPortDir(dir, error)) << error;
    ASSERT_EQ(::chown(dir.c_str(), kNobody, kNobody), 0);
    EXPECT_FALSE(prepareVirtualPortDir(dir, error));
    EXPECT_NE(error.find("belongs to uid 65534"), std::string::npos) << error;
  }
}

TEST(PtyLinkPath, VirtualComNamesGoToThePrivateDirectoryOtherTextIsAPath) {
  PrivateRuntimeDir runtime;
  std::string link, error;
  ASSERT_TRUE(ptyLinkPath("COM200", link, error)) << error;
  EXPECT_EQ(link, runtime.portDir() + "/COM200");
  EXPECT_EQ(link, comDevicePath(200));
  EXPECT_TRUE(fs::is_directory(runtime.portDir()));
  EXPECT_FALSE(ptyLinkPath("COM7", link, error)) << "a real serial port";
  EXPECT_NE(error.find("COM129 to COM256"), std::string::npos) << error;
  EXPECT_FALSE(ptyLinkPath("COM257", link, error));
  ASSERT_TRUE(ptyLinkPath("/somewhere/my-link", link, error));
  EXPECT_EQ(link, "/somewhere/my-link");
}

TEST(OpenPortDevice, OpensTerminalsOnlyAndSaysWhyNot) {
  PrivateRuntimeDir runtime;
  int master = -1, slave = -1;
  char name[128];
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  const std::string dir = runtime.path();
  const std::string link = dir + "/COM200";
  fs::create_symlink(name, link);
  std::string why;
  const int fd = openPortDevice(link, &why);
  EXPECT_GE(fd, 0) << why;
  EXPECT_EQ(::isatty(fd), 1);
  ::close(fd);

  const std::string plain = dir + "/plain";
  std::ofstream(plain) << "x";
  EXPECT_EQ(openPortDevice(plain, &why), -1);
  EXPECT_NE(why.find("not a character device"), std::string::npos) << why;
  ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
  EXPECT_EQ(openPortDevice(dir + "/fifo", &why), -1);
  EXPECT_EQ(openPortDevice("/dev/null", &why), -1);
  EXPECT_NE(why.find("not a terminal"), std::string::npos) << why;
  EXPECT_EQ(openPortDevice(dir + "/absent", &why), -1);

  ASSERT_EQ(::chmod(dir.c_str(), 0770), 0);
  EXPECT_EQ(openPortDevice(link, &why), -1) << "the group may replace the link";
  EXPECT_NE(why.find("directory"), std::string::npos) << why;
  ASSERT_EQ(::chmod(dir.c_str(), 0700), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::lchown(link.c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(openPortDevice(link, &why), -1);
    EXPECT_NE(why.find("uid 65534"), std::string::npos) << why;
  }
  ::close(master);
}

}  // namespace
}  // namespace kelvor::test
