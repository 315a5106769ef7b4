// The controller library as the window's handlers see it. The program reaches the real
// library through DynamicKelvor; tests put a scripted fake in its place. Each function has the
// prototype and meaning of its namesake in kelvor.h.
#pragma once

#include <cstdint>

#include "kelvor_functions.h"

class KelvorApi {
 public:
  virtual ~KelvorApi() = default;
  KELVOR_API_FUNCTIONS(KELVOR_DECLARE_PURE)
};
