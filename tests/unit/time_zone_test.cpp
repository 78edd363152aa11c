#include <gtest/gtest.h>

#include <random>

#include "common/calendar.h"
#include "common/time_zone.h"
#include "tests/fakes/fake_clock.h"

namespace {

TDateTime At(int year, int month, int day, int hour, int minute, int second = 0) {
  return DateTimeOf(year, month, day, hour, minute, second);
}

std::string Text(const TDateTime& t) {
  return FormatMinuteStamp(SecondsOf(t)) + ":" + std::to_string(t.Second / 10) + std::to_string(t.Second % 10) +
         " wd" + std::to_string(t.DayOfWeek);
}

std::string Bytes(const std::string& hex) {
  std::string data;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) data += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return data;
}

// TZI values as Windows' database (and Wine's) holds them.
const char kWestEurope[] = "C4FFFFFF00000000C4FFFFFF00000A0000000500030000000000000000000300000005000200000000000000";
const char kPacific2007[] = "E001000000000000C4FFFFFF00000B0000000100020000000000000000000300000002000200000000000000";
const char kPacific2006[] = "E001000000000000C4FFFFFF00000A0000000500020000000000000000000400000001000200000000000000";
// Sydney: daylight time from the first Sunday of October to the first Sunday of April.
const char kSydney[] = "A8FDFFFF00000000C4FFFFFF0000040000000100030000000000000000000A00000001000200000000000000";
const char kTokyo[] = "E4FDFFFF00000000C4FFFFFF0000000000000000000000000000000000000000000000000000000000000000";

TTimeZone Zone(const char* tzi) {
  TTimeZone zone;
  EXPECT_TRUE(ParseZoneRules(Bytes(tzi), zone.Rules));
  return zone;
}

TEST(CalendarTest, DatesRoundTripAndKnowTheirWeekday) {
  EXPECT_EQ(DateTimeAt(0).DayOfWeek, 4) << "1970-01-01 was a Thursday";
  EXPECT_EQ(DateTimeAt(SecondsOf(At(2026, 12, 6, 0, 0))).DayOfWeek, 0) << "a Sunday";
  EXPECT_EQ(Text(DateTimeAt(SecondsOf(At(2000, 2, 29, 23, 59, 59)) + 1)), "2000-03-01 00:00:00 wd3");
  EXPECT_EQ(Text(DateTimeAt(SecondsOf(At(1969, 12, 31, 23, 0)))), "1969-12-31 23:00:00 wd3");
  std::mt19937_64 random(7);
  std::uniform_int_distribution<int64_t> anySecond(SecondsOf(At(1601, 1, 1, 0, 0)), SecondsOf(At(9999, 12, 31, 0, 0)));
  for (int i = 0; i < 2000; ++i) {
    const int64_t seconds = anySecond(random);
    const TDateTime t = DateTimeAt(seconds);
    ASSERT_EQ(SecondsOf(t), seconds);
    ASSERT_EQ(DateTimeAt(seconds + 86400).DayOfWeek, (t.DayOfWeek + 1) % 7);
  }
}

TEST(CalendarTest, MinuteStampsParseOnlyWhenWellFormedAndReal) {
  const struct { const char* Text; bool Valid; } cases[] = {
      {"2026-12-07 21:30", true},  {"2028-02-29 00:00", true},  {"2026-12-07 23:59", true},
      {"2027-02-29 10:00", false}, {"2026-12-07 24:00", false}, {"2026-12-07 21:60", false},
      {"2026-13-01 10:00", false}, {"2026-12-00 10:00", false}, {"2026-12-7 21:30", false},
      {"2026-12-07T21:30", false}, {"2026-12-07 21:30 ", false}, {"", false},
      {"+026-12-07 21:30", false}, {"2026-12-07 2a:30", false}};
  for (const auto& c : cases) {
    int64_t seconds = -1;
    EXPECT_EQ(ParseMinuteStamp(c.Text, seconds), c.Valid) << c.Text;
    if (c.Valid) {
      EXPECT_EQ(FormatMinuteStamp(seconds), c.Text);
    }
  }
}

// kWestEurope with the 16-bit field at byte offset `at` set to value.
std::string WestEuropeWith(size_t at, uint16_t value) {
  std::string data = Bytes(kWestEurope);
  data[at] = static_cast<char>(value & 0xFF);
  data[at + 1] = static_cast<char>(value >> 8);
  return data;
}

TEST(TimeZoneTest, ParseRefusesWhatNoZoneCanMean) {
  // Offsets: StandardDate at 12, DaylightDate at 28; Month +2, DayOfWeek +4, Day +6, Hour +8.
  const struct { const char* Name; std::string Data; } cases[] = {
      {"a bias beyond a day", WestEuropeWith(0, 0xFA5F) /* -1441 */.replace(2, 2, "\xFF\xFF")},
      {"month 13", WestEuropeWith(14, 13)},
      {"week 0", WestEuropeWith(18, 0)},
      {"week 6", WestEuropeWith(34, 6)},
      {"weekday 7", WestEuropeWith(16, 7)},
      {"hour 24", WestEuropeWith(36, 24)},
  };
  for (const auto& c : cases) {
    TZoneRules rules;
    EXPECT_FALSE(ParseZoneRules(c.Data, rules)) << c.Name;
  }
  TZoneRules rules;
  EXPECT_TRUE(ParseZoneRules(WestEuropeWith(0, 0xFA60).replace(2, 2, "\xFF\xFF"), rules)) << "-1440 is a day";
}

TEST(TimeZoneTest, ParseRefusesAShortValue) {
  TZoneRules rules;
  EXPECT_FALSE(ParseZoneRules(Bytes(kWestEurope).substr(0, 43), rules));
  ASSERT_TRUE(ParseZoneRules(Bytes(kWestEurope), rules));
  EXPECT_EQ(rules.Bias, -60);
  EXPECT_EQ(rules.DaylightBias, -60);
  EXPECT_EQ(rules.StandardDate.Month, 10);
  EXPECT_EQ(rules.DaylightDate.Hour, 2);
}

// Each row: a UTC time and the zone's local time then, around the changes.
struct TZoneCase {
  const char* Tzi;
  TDateTime Utc;
  const char* Local;
};

TEST(TimeZoneTest, LocalTimeFollowsTheChangesOfTheZone) {
  const TZoneCase cases[] = {
      // Central Europe, 2026: summer time from 29 March 01:00 UTC to 25 October 01:00 UTC.
      {kWestEurope, At(2026, 3, 29, 0, 59, 59), "2026-03-29 01:59:59 wd0"},
      {kWestEurope, At(2026, 3, 29, 1, 0), "2026-03-29 03:00:00 wd0"},
      {kWestEurope, At(2026, 10, 25, 0, 59, 59), "2026-10-25 02:59:59 wd0"},
      {kWestEurope, At(2026, 10, 25, 1, 0), "2026-10-25 02:00:00 wd0"},
      {kWestEurope, At(2026, 12, 31, 23, 30), "2027-01-01 00:30:00 wd5"},
      // Sydney: summer time across the new year, ending 5 April 2026 at 16:00 UTC.
      {kSydney, At(2026, 1, 15, 0, 0), "2026-01-15 11:00:00 wd4"},
      {kSydney, At(2026, 4, 4, 15, 59), "2026-04-05 02:59:00 wd0"},
      {kSydney, At(2026, 4, 4, 16, 0), "2026-04-05 02:00:00 wd0"},
      {kSydney, At(2026, 10, 3, 15, 59), "2026-10-04 01:59:00 wd0"},
      {kSydney, At(2026, 10, 3, 16, 0), "2026-10-04 03:00:00 wd0"},
      // Tokyo: no daylight saving; the day ahead of UTC.
      {kTokyo, At(2026, 12, 6, 20, 0), "2026-12-07 05:00:00 wd1"},
  };
  for (const TZoneCase& c : cases) EXPECT_EQ(Text(ZoneTime(Zone(c.Tzi), c.Utc)), c.Local) << Text(c.Utc);
}

TEST(TimeZoneTest, AFixedDateChangesOnlyItsYearAndTheEndOfADayIsMidnight) {
  TTimeZone zone = Zone(kWestEurope);
  // Summer time from 2026-03-29 02:00 to 2026-10-25 at the end of the day (23:59:59.999).
  zone.Rules.DaylightDate = DateTimeOf(2026, 3, 29, 2, 0);
  zone.Rules.StandardDate = DateTimeOf(2026, 10, 25, 23, 59, 59);
  zone.Rules.StandardDate.Milliseconds = 999;
  EXPECT_EQ(Text(ZoneTime(zone, At(2026, 7, 1, 12, 0))), "2026-07-01 14:00:00 wd3");
  EXPECT_EQ(Text(ZoneTime(zone, At(2026, 10, 25, 21, 59, 59))), "2026-10-25 23:59:59 wd0");
  EXPECT_EQ(Text(ZoneTime(zone, At(2026, 10, 25, 22, 0))), "2026-10-25 23:00:00 wd0") << "the change at midnight";
  EXPECT_EQ(Text(ZoneTime(zone, At(2027, 7, 1, 12, 0))), "2027-07-01 13:00:00 wd4") << "not in 2027";
}

TEST(TimeZoneTest, YearsOfTheirOwnUseTheirOwnRules) {
  TTimeZone pacific = Zone(kPacific2007);
  TZoneRules old;
  ASSERT_TRUE(ParseZoneRules(Bytes(kPacific2006), old));
  pacific.Years[2006] = old;
  pacific.Years[2007] = pacific.Rules;
  // 2006: summer time from the first Sunday of April; 2007 on: the second Sunday of March.
  EXPECT_EQ(Text(ZoneTime(pacific, At(2006, 3, 12, 12, 0))), "2006-03-12 04:00:00 wd0");
  EXPECT_EQ(Text(ZoneTime(pacific, At(2006, 4, 2, 10, 0))), "2006-04-02 03:00:00 wd0");
  EXPECT_EQ(Text(ZoneTime(pacific, At(2007, 3, 11, 10, 0))), "2007-03-11 03:00:00 wd0");
  EXPECT_EQ(Text(ZoneTime(pacific, At(2001, 3, 12, 12, 0))), "2001-03-12 04:00:00 wd1") << "before: the first year's";
  EXPECT_EQ(Text(ZoneTime(pacific, At(2030, 3, 11, 10, 0))), "2030-03-11 03:00:00 wd1") << "after: the last year's";
}

TEST(TimeZoneTest, ZoneClockReportsTheFixedZoneOrTheComputersTime) {
  struct TStubClock : TClock {
    TDateTime LocalNow() override { return At(2026, 12, 7, 9, 0); }
    TDateTime UtcNow() override { return At(2026, 12, 7, 20, 0); }
    TElapsed Elapsed() override { return {}; }
  } computer;
  const TTimeZone tokyo = Zone(kTokyo);
  EXPECT_EQ(Text(TZoneClock(computer, &tokyo).LocalNow()), "2026-12-08 05:00:00 wd2");
  EXPECT_EQ(SecondsOf(TZoneClock(computer, nullptr).LocalNow()), SecondsOf(At(2026, 12, 7, 9, 0)));
}

}  // namespace
