#include "busy_kelvor.h"

#include <QCursor>
#include <QGuiApplication>

int WaitCursor::shown_ = 0;

WaitCursor::WaitCursor() : applied_(qGuiApp != nullptr) {
  if (!applied_) return;
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  ++shown_;
}

WaitCursor::~WaitCursor() {
  if (!applied_) return;
  --shown_;
  QGuiApplication::restoreOverrideCursor();
}

NormalCursor::NormalCursor() : lifted_(WaitCursor::shown_) {
  for (int i = 0; i < lifted_; ++i) QGuiApplication::restoreOverrideCursor();
}

NormalCursor::~NormalCursor() {
  for (int i = 0; i < lifted_; ++i) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

#define KLV_CALL_BUSY(name, params, args) \
  int32_t BusyKelvor::name params {       \
    const WaitCursor busy;                \
    return library_.name args;            \
  }

KELVOR_API_FUNCTIONS(KLV_CALL_BUSY)
