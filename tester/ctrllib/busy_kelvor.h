// The wait cursor while the controller is busy, in one place. Every library call blocks the
// window (a joint drive can take seconds), so BusyKelvor shows the wait cursor from the first
// call of an operation and takes it back once the window is idle again, however the calls end;
// it does not flicker between the calls of one operation. A message box never shows it: while
// a box is open the cursor is the normal one (the loader tells the user of a missing library in
// the middle of a call).
#pragma once

#include "kelvor_api.h"

// Marks a library call as running for as long as it lives; nests.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool applied_;  // false without a GUI application
};

// Takes the wait cursor away for as long as it lives; shows it again after if a call is still
// running.
class NormalCursor {
 public:
  NormalCursor();
  ~NormalCursor();
  NormalCursor(const NormalCursor&) = delete;
  NormalCursor& operator=(const NormalCursor&) = delete;

 private:
  bool lifted_;
};

// The controller library with the wait cursor around each call.
class BusyKelvor final : public KelvorApi {
 public:
  explicit BusyKelvor(KelvorApi& library) : library_(library) {}
  KELVOR_API_FUNCTIONS(KELVOR_DECLARE_OVERRIDE)

 private:
  KelvorApi& library_;
};
