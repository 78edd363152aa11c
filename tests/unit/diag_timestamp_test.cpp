#include <gtest/gtest.h>

#include <algorithm>

#include "diag/timestamp.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_log_platform.h"

namespace {

TDateTime At(int year, int month, int day, int hour, int minute, int second, int dayOfWeek = 0) {
  return DateTimeOf(year, month, day, hour, minute, second, dayOfWeek);
}

TLocaleFormats German() { return TLocaleFormats{}; }  // dd.MM.yyyy, 24 h, leading zero

TLocaleFormats UnitedStates() {
  TLocaleFormats f;
  f.ShortDate = "M/d/yyyy";
  f.TwelveHour = true;
  f.HourLeadingZero = false;
  return f;
}

TLocaleFormats Korean() {  // designator before the time
  TLocaleFormats f;
  f.ShortDate = "yyyy. M. d.";
  f.TwelveHour = true;
  f.HourLeadingZero = false;
  f.AmDesignator = "AM";
  f.PmDesignator = "PM";
  f.DesignatorFirst = true;
  return f;
}

struct TStampCase {
  const char* Name;
  TLocaleFormats Formats;
  TDateTime Time;
  const char* Expected;
};

TLocaleFormats With(TLocaleFormats f, void (*change)(TLocaleFormats&)) {
  change(f);
  return f;
}

TEST(TimestampTest, FollowsTheLocaleAndLeavesOutMidnight) {
  const TStampCase cases[] = {
      {"day first", German(), At(2026, 12, 6, 11, 6, 27), "06.12.2026 11:06:27"},
      {"midnight: date alone", German(), At(2026, 12, 7, 0, 0, 0), "07.12.2026"},
      {"one second past midnight", German(), At(2026, 12, 7, 0, 0, 1), "07.12.2026 00:00:01"},
      {"one minute past midnight", German(), At(2026, 12, 7, 0, 1, 0), "07.12.2026 00:01:00"},
      {"month first, PM after", UnitedStates(), At(2026, 12, 6, 13, 5, 7), "12/6/2026 1:05:07 PM"},
      {"12-hour midnight hour", UnitedStates(), At(2026, 1, 9, 0, 30, 0), "1/9/2026 12:30:00 AM"},
      {"12-hour noon", UnitedStates(), At(2026, 1, 9, 12, 0, 0), "1/9/2026 12:00:00 PM"},
      {"12-hour midnight: date alone", UnitedStates(), At(2026, 1, 9, 0, 0, 0), "1/9/2026"},
      {"designator first", Korean(), At(2026, 12, 6, 9, 5, 7), "2026. 12. 6. AM 9:05:07"},
      {"12-hour leading zero", With(UnitedStates(), [](TLocaleFormats& f) { f.HourLeadingZero = true; }),
       At(2026, 12, 6, 13, 5, 7), "12/6/2026 01:05:07 PM"},
      {"24-hour without leading zero", With(German(), [](TLocaleFormats& f) { f.HourLeadingZero = false; }),
       At(2026, 12, 6, 7, 5, 7), "06.12.2026 7:05:07"},
      {"own separator", With(German(), [](TLocaleFormats& f) { f.TimeSeparator = "."; }),
       At(2026, 12, 6, 23, 59, 59), "06.12.2026 23.59.59"},
      {"no designator", With(UnitedStates(), [](TLocaleFormats& f) { f.PmDesignator.clear(); }),
       At(2026, 12, 6, 13, 5, 7), "12/6/2026 1:05:07"},
      // The weekday comes from the date, not from the clock's day-of-week field.
      {"names and quotes",
       With(German(), [](TLocaleFormats& f) { f.ShortDate = "dddd, d 'de' MMMM 'it''s' yy ddd MMM"; }),
       At(2026, 12, 6, 11, 6, 27, 3), "Sunday, 6 de December it's 26 Sun Dec 11:06:27"},
      {"unclosed quote runs to the end", With(German(), [](TLocaleFormats& f) { f.ShortDate = "yyyy'-d"; }),
       At(2007, 3, 4, 0, 0, 0), "2007-d"},
      {"leap day weekday", With(German(), [](TLocaleFormats& f) { f.ShortDate = "ddd d.M.yyyyy"; }),
       At(2024, 2, 29, 0, 0, 0), "Thu 29.2.2024"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatTimestamp(c.Time, c.Formats), c.Expected) << c.Name;
}

TEST(TimestampTest, ReadsTheUserDefaultLocaleAndKeepsDefaultsForMissingAnswers) {
  TFakeLogPlatform platform;
  platform.Locale = {{kLocaleShortDate, "d/M/yy"},   {kLocaleTimeSeparator, "-"}, {kLocaleTwentyFourHour, "0"},
                     {kLocaleHourLeadingZero, "1"}, {kLocaleAmDesignator, "vm"}, {kLocalePmDesignator, "nm"},
                     {kLocaleDesignatorFirst, "1"}, {kLocaleMonthName1 + 11, "desember"}};
  const TLocaleFormats f = ReadLocaleFormats(platform, kLocaleUserDefault);
  EXPECT_EQ(FormatTimestamp(At(2026, 12, 6, 21, 4, 5), f), "6/12/26 nm 09-04-05");
  EXPECT_EQ(f.MonthNames[11], "desember");
  EXPECT_EQ(f.MonthNames[0], "January");
  // Every question went to the user-default locale, with the documented types.
  for (uint32_t type : {kLocaleShortDate, kLocaleTimeSeparator, kLocaleTwentyFourHour, kLocaleHourLeadingZero,
                        kLocaleAmDesignator, kLocalePmDesignator, kLocaleDesignatorFirst, kLocaleDayName1 + 6,
                        kLocaleShortDayName1, kLocaleMonthName1 + 11, kLocaleShortMonthName1 + 11})
    EXPECT_EQ(std::count(platform.Calls.begin(), platform.Calls.end(), "locale 1024 " + std::to_string(type)), 1)
        << type;
  EXPECT_EQ(platform.Count("locale "), platform.Count("locale 1024 "));
}

}  // namespace
