// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <concepts>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

// Seams for time: the keyboards' fixed pauses and the calendar that splits a date for the
// clock report. Tests inject recording versions; programs use the real ones.
namespace zepa {

// Pauses for the time asked and reports how long it really slept, so a protocol that counts
// a late wake-up towards its next pause learns of it from the same seam tests control. A
// callable that reports nothing is taken to have slept exactly the time asked.
class Sleeper {
 public:
  using Duration = std::chrono::microseconds;

  Sleeper() = default;
  template <typename Sleep>
  requires(!std::same_as<std::remove_cvref_t<Sleep>, Sleeper> && std::invocable<Sleep&, Duration>)
      Sleeper(Sleep sleep) {  // NOLINT(google-explicit-constructor): lambdas convert as before
    if constexpr (std::is_void_v<std::invoke_result_t<Sleep&, Duration>>) {
      sleep_ = [sleep = std::move(sleep)](Duration pause) mutable {
        sleep(pause);
        return pause;
      };
    } else {
      sleep_ = std::move(sleep);
    }
  }

  Duration operator()(Duration pause) const { return sleep_(pause); }
  explicit operator bool() const { return static_cast<bool>(sleep_); }

 private:
  std::function<Duration(Duration)> sleep_;
};

Sleeper realSleeper();  // steady_clock around sleep_for

// Date parts in the user's calendar and time zone; weekday 1 is Sunday. A part the calendar
// cannot give stays empty.
struct DateParts {
  std::optional<int> year, month, day, hour, minute, second, weekday;
};
using Calendar = std::function<DateParts(std::chrono::system_clock::time_point)>;
Calendar systemCalendar();  // localtime_r: the system time zone, Gregorian

}  // namespace zepa
