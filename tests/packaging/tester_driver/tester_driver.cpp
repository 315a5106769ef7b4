// Preloaded (LD_PRELOAD) into an installed kelvor-tester by check_packages.sh. Once the window
// is up it does what a user would: types KELVOR_CHECK_ADDRESS into IPAddress, presses Connect,
// and prints which libkelvor.so.1 the program loaded and what the identity labels show; then
// presses Disconnect and quits. A message box (a failed call) ends the program at once with
// status 1 and the box's text, as does no result within 20 s.
#include <dlfcn.h>
#include <link.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

template <class T>
T* control(const char* name) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() != QLatin1String("KelvorTesterForm")) continue;
    if (auto* found = window->findChild<T*>(QString::fromLatin1(name))) return found;
  }
  return nullptr;
}

[[noreturn]] void fail(const QString& why) {
  std::fprintf(stderr, "tester_driver: %s\n", qPrintable(why));
  std::fflush(stdout);
  std::_Exit(1);
}

// The file the dynamic loader took for libkelvor.so.1, or "" when it is not loaded.
std::string loadedLibrary() {
  void* handle = ::dlopen("libkelvor.so.1", RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return {};
  link_map* map = nullptr;
  std::string path;
  if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr) path = map->l_name;
  ::dlclose(handle);
  return path;
}

void drive() {
  auto* address = control<QLineEdit>("txtIPAddress");
  auto* connect = control<QAbstractButton>("cmdConnect");
  auto* disconnect = control<QAbstractButton>("cmdDisconnect");
  if (!address || !connect || !disconnect) {
    fail(QStringLiteral("the window lacks txtIPAddress, cmdConnect or cmdDisconnect"));
  }
  address->setText(QString::fromLocal8Bit(qgetenv("KELVOR_CHECK_ADDRESS")));
  connect->click();
  std::printf("library %s\n", loadedLibrary().c_str());
  for (const char* name : {"lblRomVer", "lblSirial", "lblRobotType"}) {
    auto* label = control<QLabel>(name);
    std::printf("%s %s\n", name, label ? qPrintable(label->text()) : "(no such label)");
  }
  disconnect->click();
  std::fflush(stdout);
  QCoreApplication::exit(0);
}

void start() {
  QTimer::singleShot(0, drive);
  // A message box runs its own event loop, in which these timers still fire.
  auto* watch = new QTimer(QCoreApplication::instance());
  QObject::connect(watch, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      fail(QStringLiteral("message box: ") + box->text());
    }
  });
  watch->start(50);
  QTimer::singleShot(20000, [] { fail(QStringLiteral("no result within 20 s")); });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(start)
