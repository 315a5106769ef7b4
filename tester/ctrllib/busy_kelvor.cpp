#include "busy_kelvor.h"

#include <QCursor>
#include <QGuiApplication>
#include <QTimer>

namespace {

int callsRunning = 0;    // all on the window's thread
bool waitShown = false;  // the wait cursor is the application's override cursor

void showWait() {
  if (waitShown) return;
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  waitShown = true;
}

void hideWait() {
  if (!waitShown) return;
  QGuiApplication::restoreOverrideCursor();
  waitShown = false;
}

// Marks a library call as running for as long as it lives.
class WaitCursor {
 public:
  WaitCursor() : applied_(qGuiApp != nullptr) {
    if (!applied_) return;
    ++callsRunning;
    showWait();
  }
  ~WaitCursor() {
    if (!applied_ || --callsRunning > 0) return;
    // Taken away when the window is idle again: the next call of the same operation comes
    // before that and finds it still up.
    QTimer::singleShot(0, qGuiApp, [] {
      if (callsRunning == 0) hideWait();
    });
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool applied_;  // false without a GUI application
};

}  // namespace

void withNormalCursor(const std::function<void()>& show) {
  const bool lifted = waitShown;
  hideWait();
  show();
  if (lifted && callsRunning > 0) showWait();
}

#define KLV_CALL_BUSY(name, params, args) \
  int32_t BusyKelvor::name params {       \
    const WaitCursor busy;                \
    return library_.name args;            \
  }

KELVOR_API_FUNCTIONS(KLV_CALL_BUSY)
