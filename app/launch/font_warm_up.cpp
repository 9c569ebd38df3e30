// SPDX-License-Identifier: MIT
#include "app/launch/font_warm_up.hpp"

#include <fontconfig/fontconfig.h>

namespace zepa {

// A failed load is not reported here: Qt loads the configuration again when it needs fonts and
// handles the failure there.
FontWarmUp::FontWarmUp() : thread_([] { FcInit(); }) {}

FontWarmUp::~FontWarmUp() {
  wait();
}

void FontWarmUp::wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace zepa
