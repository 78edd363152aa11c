// The backstop's logon hours: which hours of Windows' UTC week an allowed
// user's account keeps, across zones with half-hour offsets, a daylight-saving
// week and extra time.

#include <gtest/gtest.h>

#include <vector>

#include "common/calendar.h"
#include "common/time_zone.h"
#include "engine/logon_hours.h"
#include "tests/fakes/fake_clock.h"

namespace {

constexpr int64_t kMinute = 60;
constexpr int64_t kHour = 3600;

// Seven day rules (Monday first) restricting everything but the half hours
// given as (day, slot), day 0 Monday.
TStringList RulesAllowing(const std::vector<std::pair<int, int>>& allowed) {
  TStringList rules;
  for (int day = 0; day < 7; ++day) {
    std::string rule(48, '1');
    for (const auto& [d, slot] : allowed)
      if (d == day) rule[static_cast<size_t>(slot)] = '0';
    rules.Add(rule);
  }
  return rules;
}

// The hours of the week (0 = Sunday 00:00 UTC) that hours permits.
std::vector<int> Permitted(const TLogonHours& hours) {
  std::vector<int> permitted;
  for (int n = 0; n < kHoursPerWeek; ++n)
    if ((hours[static_cast<size_t>(n / 8)] >> (n % 8) & 1) != 0) permitted.push_back(n);
  return permitted;
}

const int64_t kMondayNoonUtc = SecondsOf(DateTimeOf(2026, 12, 7, 12, 0, 0));

struct TOffsetCase {
  const char* Name;
  int OffsetMinutes;  // rules' time = UTC + offset
  std::vector<std::pair<int, int>> Allowed;
  std::vector<int> Hours;
};

TEST(LogonHoursTest, EachHourOverlappingAnAllowedHalfHourIsPermittedInUtc) {
  constexpr int kMonday = 24;  // Monday 00:00 UTC, in hours of Windows' week
  const TOffsetCase cases[] = {
      {"UTC, Monday 10:00-10:30", 0, {{0, 20}}, {kMonday + 10}},
      {"UTC, a whole day allowed ends at midnight", 0, {{0, 46}, {0, 47}}, {kMonday + 23}},
      {"India +5:30, Monday 10:00-10:30 is 04:30 UTC", 330, {{0, 20}}, {kMonday + 4}},
      {"India +5:30, Monday 10:30-11:00 is 05:00 UTC", 330, {{0, 21}}, {kMonday + 5}},
      {"Nepal +5:45, Monday 10:30-11:00 spans 04:45-05:15 UTC", 345, {{0, 21}}, {kMonday + 4, kMonday + 5}},
      {"Newfoundland -3:30, Monday 10:00-10:30 is 13:30 UTC", -210, {{0, 20}}, {kMonday + 13}},
      {"Kiritimati +14, Monday 10:00 is Sunday 20:00 UTC", 840, {{0, 20}}, {20}},
      {"-12, Sunday 23:30 is Monday 11:30 UTC", -720, {{6, 47}}, {kMonday + 11}},
      {"+14, Monday 00:00 wraps to Sunday 10:00 UTC", 840, {{0, 0}}, {10}},
      {"-11, Sunday 13:00 wraps past Saturday to Monday 00:00 UTC", -660, {{6, 26}}, {kMonday + 0}},
  };
  for (const TOffsetCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const int64_t offset = c.OffsetMinutes * kMinute;
    const TWeekClock week = WeekClockFrom(kMondayNoonUtc, [offset](int64_t utc) { return utc + offset; });
    EXPECT_EQ(Permitted(WeekLogonHours(RulesAllowing(c.Allowed), TUserExtras(), week)), c.Hours);
  }
}

TEST(LogonHoursTest, RulesWithoutACharacterForAnHourPermitIt) {
  TStringList rules;
  rules.Add(std::string(48, '1'));  // Monday only: every other day has no rule
  const TWeekClock week = WeekClockFrom(kMondayNoonUtc, [](int64_t utc) { return utc; });
  const std::vector<int> permitted = Permitted(WeekLogonHours(rules, TUserExtras(), week));
  EXPECT_EQ(permitted.size(), 144u);
  EXPECT_EQ(permitted[23], 23);  // Sunday's last hour
  EXPECT_EQ(permitted[24], 48);  // Tuesday's first
}

TEST(LogonHoursTest, EachDayKeepsTheOffsetInForceOnItsComingInstance) {
  // West Europe: UTC + 1 h, + 2 h from Sunday 2027-03-28 01:00 UTC. From Friday
  // noon the coming Saturday is still in winter time, every other day already
  // in summer time; 07:00-07:30 local is therefore 06:00 UTC on Saturday only.
  auto bytes = [](const std::string& hex) {
    std::string data;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) data += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return data;
  };
  TTimeZone zone;
  ASSERT_TRUE(ParseZoneRules(
      bytes("C4FFFFFF00000000C4FFFFFF00000A0000000500030000000000000000000300000005000200000000000000"), zone.Rules));
  const int64_t fridayNoon = SecondsOf(DateTimeOf(2027, 3, 26, 12, 0, 0));
  const TWeekClock week =
      WeekClockFrom(fridayNoon, [&zone](int64_t utc) { return SecondsOf(ZoneTime(zone, DateTimeAt(utc))); });
  std::vector<std::pair<int, int>> morning;
  for (int day = 0; day < 7; ++day) morning.emplace_back(day, 14);
  EXPECT_EQ(Permitted(WeekLogonHours(RulesAllowing(morning), TUserExtras(), week)),
            (std::vector<int>{5, 29, 53, 77, 101, 125, 150}));
}

TEST(LogonHoursTest, AnHourInWhichTheClockChangesCountsWithBothOffsets) {
  // A clock put forward half an hour at Monday 13:30 UTC: the hour 13:00-14:00
  // UTC shows 13:00-13:30 and then 14:00-14:30 of the rules' time.
  const int64_t change = kMondayNoonUtc + kHour + 30 * kMinute;
  const TWeekClock week = WeekClockFrom(kMondayNoonUtc, [change](int64_t utc) {
    return utc < change ? utc : utc + 30 * kMinute;
  });
  EXPECT_EQ(week.End[1] - week.Start[1], 90 * kMinute);
  EXPECT_EQ(Permitted(WeekLogonHours(RulesAllowing({{0, 28}}), TUserExtras(), week)), (std::vector<int>{24 + 13}));
}

TEST(LogonHoursTest, ExtraTimePermitsEveryHourItReaches) {
  TUserExtras extras;
  ASSERT_TRUE(ParseMinuteStamp("2026-12-07 14:15", extras.ExtraTime.Until));
  const TWeekClock week = WeekClockFrom(kMondayNoonUtc + 50 * kMinute, [](int64_t utc) { return utc; });
  EXPECT_EQ(Permitted(WeekLogonHours(RulesAllowing({}), extras, week)), (std::vector<int>{24 + 12, 24 + 13, 24 + 14}));
}

}  // namespace
