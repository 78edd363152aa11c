#include "diag/timestamp.h"

namespace {

std::string TwoDigits(unsigned value) {
  return std::string{static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

std::string Number(unsigned value, bool leadingZero) {
  return leadingZero && value < 10 ? TwoDigits(value) : std::to_string(value);
}

// Monday = 0 .. Sunday = 6, from the date itself: the platform's formatter
// ignores the day-of-week field, so a wrong one must not reach the text.
unsigned MondayFirstWeekday(unsigned year, unsigned month, unsigned day) {
  static const unsigned offsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 1 || month > 12) return 0;
  if (month < 3) --year;
  const unsigned sundayFirst = (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7;
  return (sundayFirst + 6) % 7;
}

const std::string& Pick(const std::string* names, size_t count, unsigned index) {
  static const std::string none;
  return index < count ? names[index] : none;
}

std::string DatePart(char letter, size_t run, const TDateTime& t, const TLocaleFormats& f) {
  switch (letter) {
    case 'd':
      if (run == 1) return std::to_string(t.Day);
      if (run == 2) return TwoDigits(t.Day);
      return Pick(run == 3 ? f.ShortDayNames.data() : f.DayNames.data(), 7, MondayFirstWeekday(t.Year, t.Month, t.Day));
    case 'M':
      if (run == 1) return std::to_string(t.Month);
      if (run == 2) return TwoDigits(t.Month);
      return Pick(run == 3 ? f.ShortMonthNames.data() : f.MonthNames.data(), 12, t.Month - 1u);
    case 'y':
      // "y" is documented as the last digit of the year alone.
      if (run == 1) return std::to_string(t.Year % 10);
      if (run == 2) return TwoDigits(t.Year % 100);
      return std::to_string(t.Year);
    default:  // 'g': the era is not written for the Gregorian calendar of the log
      return std::string();
  }
}

}  // namespace

TLocaleFormats ReadLocaleFormats(TLogPlatform& platform, uint32_t locale) {
  TLocaleFormats f;
  auto text = [&](uint32_t type, std::string& into) {
    std::string value = platform.ReadLocaleInfo(locale, type);
    if (!value.empty()) into = std::move(value);
  };
  auto flag = [&](uint32_t type, bool& into) {
    const std::string value = platform.ReadLocaleInfo(locale, type);
    if (!value.empty()) into = value == "1";
  };
  text(kLocaleShortDate, f.ShortDate);
  text(kLocaleTimeSeparator, f.TimeSeparator);
  flag(kLocaleHourLeadingZero, f.HourLeadingZero);
  bool twentyFourHour = !f.TwelveHour;
  flag(kLocaleTwentyFourHour, twentyFourHour);
  f.TwelveHour = !twentyFourHour;
  // Designators are taken as they are: a 12-hour locale may have none.
  f.AmDesignator = platform.ReadLocaleInfo(locale, kLocaleAmDesignator);
  f.PmDesignator = platform.ReadLocaleInfo(locale, kLocalePmDesignator);
  flag(kLocaleDesignatorFirst, f.DesignatorFirst);
  for (uint32_t i = 0; i < 7; ++i) {
    text(kLocaleDayName1 + i, f.DayNames[i]);
    text(kLocaleShortDayName1 + i, f.ShortDayNames[i]);
  }
  for (uint32_t i = 0; i < 12; ++i) {
    text(kLocaleMonthName1 + i, f.MonthNames[i]);
    text(kLocaleShortMonthName1 + i, f.ShortMonthNames[i]);
  }
  return f;
}

std::string FormatDate(const TDateTime& time, const TLocaleFormats& formats) {
  const std::string& picture = formats.ShortDate;
  std::string out;
  for (size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    if (c == '\'') {
      // Quoted text; a doubled quote inside it is one quote; an unclosed quote
      // runs to the end of the picture.
      for (++i; i < picture.size(); ++i) {
        if (picture[i] != '\'') {
          out += picture[i];
        } else if (i + 1 < picture.size() && picture[i + 1] == '\'') {
          out += '\'';
          ++i;
        } else {
          ++i;
          break;
        }
      }
      continue;
    }
    if (c == 'd' || c == 'M' || c == 'y' || c == 'g') {
      size_t run = 1;
      while (i + run < picture.size() && picture[i + run] == c) ++run;
      out += DatePart(c, run, time, formats);
      i += run;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

std::string FormatTime(const TDateTime& time, const TLocaleFormats& formats) {
  unsigned hour = time.Hour;
  if (formats.TwelveHour) {
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  std::string clock = Number(hour, formats.HourLeadingZero) + formats.TimeSeparator + TwoDigits(time.Minute) +
                      formats.TimeSeparator + TwoDigits(time.Second);
  if (!formats.TwelveHour) return clock;
  const std::string& designator = time.Hour < 12 ? formats.AmDesignator : formats.PmDesignator;
  if (designator.empty()) return clock;
  return formats.DesignatorFirst ? designator + ' ' + clock : clock + ' ' + designator;
}

std::string FormatTimestamp(const TDateTime& time, const TLocaleFormats& formats) {
  std::string stamp = FormatDate(time, formats);
  if (time.Hour == 0 && time.Minute == 0 && time.Second == 0) return stamp;
  stamp += ' ';
  stamp += FormatTime(time, formats);
  return stamp;
}
