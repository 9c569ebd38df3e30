// SPDX-License-Identifier: MIT
#include "app/launch/font_warm_up.hpp"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace zepa {

FontWarmUp::FontWarmUp() {
  // Without a thread Qt loads the configuration itself when it needs it, as it would anyway; a
  // failed load is likewise left to Qt, which handles it then.
  try {
    thread_ = std::thread([] { FcInit(); });
  } catch (const std::system_error&) {
  }
}

FontWarmUp::~FontWarmUp() {
  wait();
}

void FontWarmUp::wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace zepa
