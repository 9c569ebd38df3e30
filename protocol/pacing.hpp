#pragma once

#include <chrono>
#include <functional>
#include <optional>

// Seams for time: the keyboards' fixed pauses and the calendar that splits a date for the
// clock report. Tests inject recording versions; programs use the real ones.
namespace zepa {

using Sleeper = std::function<void(std::chrono::microseconds)>;
Sleeper realSleeper();

// Date parts in the user's calendar and time zone; weekday 1 is Sunday. A part the calendar
// cannot give stays empty.
struct DateParts {
  std::optional<int> year, month, day, hour, minute, second, weekday;
};
using Calendar = std::function<DateParts(std::chrono::system_clock::time_point)>;
Calendar systemCalendar();  // localtime_r: the system time zone, Gregorian

}  // namespace zepa
