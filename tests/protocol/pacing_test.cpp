// SPDX-License-Identifier: MIT
#include "protocol/pacing.hpp"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

namespace zepa {
namespace {

// The calendar's split of `seconds` since the epoch in time zone `zone`.
DateParts splitIn(const char* zone, std::int64_t seconds) {
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  setenv("TZ", zone, 1);
  tzset();
  const DateParts parts = systemCalendar()(std::chrono::sys_seconds(std::chrono::seconds(seconds)));
  if (saved)
    setenv("TZ", previous.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
  return parts;
}

// 2023-12-31 23:59:59 UTC is already Monday, 1 January 2024, in Central Europe; Sunday is 1.
TEST(SystemCalendar, SplitsInTheSystemTimeZone) {
  const DateParts p = splitIn("CET-1", 1704067199);
  EXPECT_EQ(p.year, 2024);
  EXPECT_EQ(p.month, 1);
  EXPECT_EQ(p.day, 1);
  EXPECT_EQ(p.hour, 0);
  EXPECT_EQ(p.weekday, 2);
}

}  // namespace
}  // namespace zepa
