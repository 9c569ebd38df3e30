// SPDX-License-Identifier: MIT
#pragma once

#include <thread>

namespace zepa {

// Loads the system's font configuration on a second thread while Qt starts. Fontconfig parses
// its whole configuration on first use, which takes about as long as making the application
// object, the model and the window together; without this the window's first measured text
// waits for it on the UI thread.
class FontWarmUp {
 public:
  FontWarmUp();
  // Waits: a configuration still loading belongs to the process and must not be cut short.
  ~FontWarmUp();

  // Call before anything measures text. Qt loads the configuration itself if it is not there
  // yet, so text measured earlier would load it a second time beside this thread.
  void wait();

 private:
  std::thread thread_;
};

}  // namespace zepa
