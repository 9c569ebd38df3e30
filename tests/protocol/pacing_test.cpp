#include "protocol/pacing.hpp"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

namespace zepa {
namespace {

TEST(SystemCalendarTest, SplitsInTheSystemTimeZone) {
  struct Row {
    const char* zone;
    std::int64_t seconds;
    int year, month, day, hour, minute, second, weekday;
  };
  const Row rows[] = {
      {"UTC0", 0, 1970, 1, 1, 0, 0, 0, 5},               // a Thursday
      {"UTC0", 1709210096, 2024, 2, 29, 12, 34, 56, 5},  // leap day
      {"UTC0", 1672531200, 2023, 1, 1, 0, 0, 0, 1},      // Sunday is 1
      {"UTC0", 1704067199, 2023, 12, 31, 23, 59, 59, 1},
      {"CET-1", 1704067199, 2024, 1, 1, 0, 59, 59, 2},  // already Monday there
      {"UTC0", 9025257600, 2256, 1, 1, 0, 0, 0, 3},     // past 2000 + 255, a Tuesday
  };
  const char* saved = std::getenv("TZ");
  std::string previous = saved ? saved : "";
  for (const Row& row : rows) {
    setenv("TZ", row.zone, 1);
    tzset();
    auto when = std::chrono::system_clock::time_point(std::chrono::seconds(row.seconds));
    DateParts parts = systemCalendar()(when);
    SCOPED_TRACE(std::string(row.zone) + " " + std::to_string(row.seconds));
    EXPECT_EQ(parts.year, row.year);
    EXPECT_EQ(parts.month, row.month);
    EXPECT_EQ(parts.day, row.day);
    EXPECT_EQ(parts.hour, row.hour);
    EXPECT_EQ(parts.minute, row.minute);
    EXPECT_EQ(parts.second, row.second);
    EXPECT_EQ(parts.weekday, row.weekday);
  }
  if (saved) {
    setenv("TZ", previous.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace zepa
