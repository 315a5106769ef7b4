// The wait cursor while the controller is busy, in one place. Every library call blocks the
// window (a joint drive can take seconds), so BusyKelvor shows the wait cursor from the first
// call of an operation and takes it back once the window is idle again, however the calls end;
// it does not flicker between the calls of one operation. A message box never shows it: while
// a box is open the cursor is the normal one (the loader tells the user of a missing library in
// the middle of a call).
#pragma once

#include <functional>

#include "kelvor_api.h"

// Runs show() with the normal cursor, the wait cursor taken away meanwhile; afterwards it comes
// back if a library call is still running.
void withNormalCursor(const std::function<void()>& show);

// The controller library with the wait cursor around each call.
class BusyKelvor final : public KelvorApi {
 public:
  explicit BusyKelvor(KelvorApi& library) : library_(library) {}
  KELVOR_API_FUNCTIONS(KELVOR_DECLARE_OVERRIDE)

 private:
  KelvorApi& library_;
};
