#include "font_config_loader.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

FontConfigLoader::FontConfigLoader() {
  try {
    // FcInit sets the configuration every later fontconfig call (Qt's included) uses.
    thread_ = std::thread([] { FcInit(); });
  } catch (const std::system_error&) {
  }
}

void FontConfigLoader::wait() {
  if (thread_.joinable()) thread_.join();
}
