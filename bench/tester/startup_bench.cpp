// The tester's start-up against the least a Qt program of the same window can do. Each run is
// a fresh process, started by this program and timed from the spawn until the window has been
// shown and painted, with its resident memory at that moment:
//   - the tester, set up as its main() does (the port probe of COM1 to COM256 included);
//   - a window of the same size and font holding one label, built with the same Qt.
// Runs alternate, and the medians are compared, so a busy machine slows both alike.
//
//   startup_bench                 the figures (QT_QPA_PLATFORM defaults to offscreen)
//   startup_bench --child tester|label FD
//                                 one start-up, reported on descriptor FD
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/tester_program.h"
#include "app/window_definition.h"

extern char** environ;

namespace {

// Resident memory of this process in KiB.
long residentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// Reports on fd, once the window's first paint is over, and ends the event loop.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(int fd) : fd_(fd) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !done_) {
      done_ = true;
      QTimer::singleShot(0, this, [this] {
        const std::string line = std::to_string(residentKiB()) + "\n";
        if (::write(fd_, line.data(), line.size()) < 0) std::_Exit(1);
        QApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  int fd_;
  bool done_ = false;
};

int child(const std::string& what, int fd, int argc, char** argv) {
  if (what == "tester") {
    FontConfigLoader fonts;  // as main() does, before the application object
    QApplication app(argc, argv);
    PaintWatch watch(fd);
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    TesterProgram program(fonts);
    program.form.installEventFilter(&watch);
    program.form.show();
    return QApplication::exec();
  }
  QApplication app(argc, argv);
  PaintWatch watch(fd);
  QWidget window;
  window.resize(twipsToPixels(winDef::kClientWidth), twipsToPixels(winDef::kClientHeight));
  window.setFont(KelvorTesterForm::windowFont());
  QLabel label(QStringLiteral("Controller Infomation"), &window);
  label.move(10, 10);
  window.installEventFilter(&watch);
  window.show();
  return QApplication::exec();
}

struct Sample {
  double ms;
  long kib;
};

// One start-up of what ("tester" or "label") in a fresh process.
Sample startOnce(const char* self, const char* what) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) std::exit(1);
  const std::string fd = std::to_string(pipeFds[1]);
  const char* args[] = {self, "--child", what, fd.c_str(), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (::posix_spawn(&pid, self, nullptr, nullptr, const_cast<char**>(args), environ) != 0) {
    std::exit(1);
  }
  ::close(pipeFds[1]);
  char buf[64] = {};
  const ssize_t n = ::read(pipeFds[0], buf, sizeof buf - 1);
  const auto painted = std::chrono::steady_clock::now();
  ::close(pipeFds[0]);
  ::waitpid(pid, nullptr, 0);
  if (n <= 0) {
    std::fprintf(stderr, "startup_bench: the %s window did not paint\n", what);
    std::exit(1);
  }
  return {std::chrono::duration<double, std::milli>(painted - start).count(), std::atol(buf)};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
    return child(argv[2], std::atoi(argv[3]), argc, argv);
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::vector<double> testerMs, labelMs, testerKiB, labelKiB;
  startOnce(argv[0], "label");  // warms the page cache for both
  startOnce(argv[0], "tester");
  for (int round = 0; round < 11; ++round) {
    const Sample t = startOnce(argv[0], "tester");
    const Sample l = startOnce(argv[0], "label");
    testerMs.push_back(t.ms);
    labelMs.push_back(l.ms);
    testerKiB.push_back(static_cast<double>(t.kib));
    labelKiB.push_back(static_cast<double>(l.kib));
  }
  const double tm = median(testerMs), lm = median(labelMs);
  const double tk = median(testerKiB) / 1024, lk = median(labelKiB) / 1024;
  std::printf("startup_bench: start-up until shown and painted (%s), medians of 11\n",
              std::getenv("QT_QPA_PLATFORM"));
  std::printf("  tester         %7.1f ms  %6.1f MB resident\n", tm, tk);
  std::printf("  one label      %7.1f ms  %6.1f MB resident\n", lm, lk);
  std::printf("  ratio          %7.2f     %6.2f        (target: time at most 1.25)\n", tm / lm,
              tk / lk);
  return 0;
}
