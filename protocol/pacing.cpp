// SPDX-License-Identifier: MIT
#include "protocol/pacing.hpp"

#include <ctime>
#include <thread>

namespace zepa {

Sleeper realSleeper() {
  return [](std::chrono::microseconds pause) {
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(pause);
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  };
}

Calendar systemCalendar() {
  return [](std::chrono::system_clock::time_point when) {
    DateParts parts;
    std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return parts;
    parts.year = local.tm_year + 1900;
    parts.month = local.tm_mon + 1;
    parts.day = local.tm_mday;
    parts.hour = local.tm_hour;
    parts.minute = local.tm_min;
    parts.second = local.tm_sec;
    parts.weekday = local.tm_wday + 1;  // tm counts from Sunday = 0
    return parts;
  };
}

}  // namespace zepa
