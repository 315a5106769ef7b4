// The wait cursor while the controller is busy, in one place. Every library call blocks the
// window (a joint drive can take seconds), so BusyKelvor shows the wait cursor around each call
// and takes it back when the call returns, however it ends. A message box never shows it: while
// a box is open, the cursor is the normal one again (the loader tells the user of a missing
// library in the middle of a call).
#pragma once

#include "kelvor_api.h"

// Shows the wait cursor for as long as it lives; nests.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  friend class NormalCursor;
  static int shown_;  // the wait cursors shown now, all on the window's thread
  bool applied_;
};

// Takes every wait cursor away for as long as it lives and shows them again after.
class NormalCursor {
 public:
  NormalCursor();
  ~NormalCursor();
  NormalCursor(const NormalCursor&) = delete;
  NormalCursor& operator=(const NormalCursor&) = delete;

 private:
  int lifted_;
};

// The controller library with the wait cursor around each call.
class BusyKelvor final : public KelvorApi {
 public:
  explicit BusyKelvor(KelvorApi& library) : library_(library) {}
  KELVOR_API_FUNCTIONS(KELVOR_DECLARE_OVERRIDE)

 private:
  KelvorApi& library_;
};
