// SPDX-License-Identifier: MIT
#include "protocol/pacing.hpp"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

namespace zepa {
namespace {

TEST(SystemCalendar, SplitsInTheSystemTimeZone) {
  // year, month, day, hour, minute, second, weekday with Sunday as 1
  const std::tuple<const char*, std::int64_t, std::vector<int>> rows[] = {
      {"UTC0", 0, {1970, 1, 1, 0, 0, 0, 5}},
      {"UTC0", 1704067199, {2023, 12, 31, 23, 59, 59, 1}},
      {"CET-1", 1704067199, {2024, 1, 1, 0, 59, 59, 2}},  // already Monday there
  };
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  for (const auto& [zone, seconds, expected] : rows) {
    setenv("TZ", zone, 1);
    tzset();
    const DateParts p = systemCalendar()(std::chrono::sys_seconds(std::chrono::seconds(seconds)));
    EXPECT_EQ(std::vector({p.year, p.month, p.day, p.hour, p.minute, p.second, p.weekday}),
              std::vector<std::optional<int>>(expected.begin(), expected.end()))
        << zone << " " << seconds;
  }
  saved ? setenv("TZ", previous.c_str(), 1) : unsetenv("TZ");
  tzset();
}

// The device counts a late wake-up from what the sleeper reports, so the real one must report
// at least what it was asked.
TEST(RealSleeper, ReportsAtLeastThePauseAsked) {
  EXPECT_GE(realSleeper()(std::chrono::microseconds(1000)), std::chrono::microseconds(1000));
}

// Injected sleepers that report nothing slept exactly the time asked.
TEST(Sleeper, ThatReportsNothingSleptThePauseAsked) {
  const Sleeper silent = [](std::chrono::microseconds) {};
  EXPECT_EQ(silent(std::chrono::microseconds(25000)), std::chrono::microseconds(25000));
}

}  // namespace
}  // namespace zepa
