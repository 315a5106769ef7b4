#include "dynamic_kelvor.h"

#include <dlfcn.h>

#include "kelvor.h"

DynamicKelvor::DynamicKelvor(MessageSink& messages, std::string library)
    : messages_(messages), library_(std::move(library)) {}

// The library stays loaded until the program ends: a connection still open at exit is the
// library's to clean up, and unloading it under its own threads would be unsafe.
DynamicKelvor::~DynamicKelvor() = default;

void* DynamicKelvor::resolve(const char* name) {
  if (!handle_) {
    ::dlerror();
    handle_ = ::dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
      const char* reason = ::dlerror();
      messages_.show(QStringLiteral("The controller library %1 could not be loaded: %2")
                         .arg(QString::fromLocal8Bit(library_.c_str()),
                              QString::fromLocal8Bit(reason ? reason : "unknown reason")),
                     MsgIcon::Stop);
      failure_ = KLV_E_LIBRARY_NOT_FOUND;
      return nullptr;
    }
  }
  if (auto found = functions_.find(name); found != functions_.end()) return found->second;
  ::dlerror();
  void* address = ::dlsym(handle_, name);
  if (!address) {
    const char* reason = ::dlerror();
    messages_.show(QStringLiteral("The function %1 was not found in the controller library %2: %3")
                       .arg(QString::fromLatin1(name), QString::fromLocal8Bit(library_.c_str()),
                            QString::fromLocal8Bit(reason ? reason : "no such symbol")),
                   MsgIcon::Stop);
    failure_ = KLV_E_FUNCTION_NOT_FOUND;
    return nullptr;
  }
  functions_.emplace(name, address);
  return address;
}

#define KLV_FORWARD(name, params, args)                            \
  int32_t DynamicKelvor::name params {                             \
    auto fn = reinterpret_cast<decltype(&::name)>(resolve(#name)); \
    return fn ? fn args : failure_;                                \
  }

KELVOR_API_FUNCTIONS(KLV_FORWARD)
