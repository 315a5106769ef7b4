// The controller library reached by name at the first call: dlopen("libkelvor.so.1") through
// the platform's search order, and dlsym of each function at its own first call. A library or
// function that cannot be found never crashes the program: the user is told which, with the
// loader's reason, and the call fails with KLV_E_LIBRARY_NOT_FOUND or KLV_E_FUNCTION_NOT_FOUND.
#pragma once

#include <string>
#include <unordered_map>

#include "kelvor_api.h"
#include "messages.h"

class DynamicKelvor : public KelvorApi {
 public:
  explicit DynamicKelvor(MessageSink& messages, std::string library = "libkelvor.so.1");
  ~DynamicKelvor() override;
  DynamicKelvor(const DynamicKelvor&) = delete;
  DynamicKelvor& operator=(const DynamicKelvor&) = delete;

  KELVOR_API_FUNCTIONS(KELVOR_DECLARE_OVERRIDE)

 private:
  // The function's address, or nullptr after telling the user why (failure_ then holds the code).
  void* resolve(const char* name);

  MessageSink& messages_;
  std::string library_;
  void* handle_ = nullptr;
  std::unordered_map<std::string, void*> functions_;
  int32_t failure_ = 0;
};
