#include "common/calendar.h"

#include <cstdio>

namespace {
constexpr int64_t kSecondsPerDay = 86400;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0); }

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Reads count digits at text[at]; false if any is not a digit.
bool Digits(const std::string& text, size_t at, size_t count, int& value) {
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}
}  // namespace

int64_t DaysFromCivil(int year, int month, int day) {
  // Counting years from March puts the leap day at the end of the year.
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = FloorDiv(y, 400);
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int64_t SecondsOf(const TDateTime& time) {
  return DaysFromCivil(time.Year, time.Month, time.Day) * kSecondsPerDay + time.Hour * 3600 + time.Minute * 60 +
         time.Second;
}

TDateTime DateTimeAt(int64_t seconds) {
  const int64_t days = FloorDiv(seconds, kSecondsPerDay);
  const int64_t inDay = seconds - days * kSecondsPerDay;
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t month = mp + (mp < 10 ? 3 : -9);
  TDateTime time;
  time.Year = static_cast<uint16_t>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  time.Month = static_cast<uint16_t>(month);
  time.Day = static_cast<uint16_t>(dayOfYear - (153 * mp + 2) / 5 + 1);
  // 1970-01-01 was a Thursday (4, counting Sunday as 0).
  time.DayOfWeek = static_cast<uint16_t>(((days + 4) % 7 + 7) % 7);
  time.Hour = static_cast<uint16_t>(inDay / 3600);
  time.Minute = static_cast<uint16_t>(inDay / 60 % 60);
  time.Second = static_cast<uint16_t>(inDay % 60);
  return time;
}

bool ParseMinuteStamp(const std::string& text, int64_t& seconds) {
  if (text.size() != 16 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':') return false;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
      !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute))
    return false;
  if (year < 1601 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59) return false;
  seconds = DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60;
  return true;
}

std::string FormatMinuteStamp(int64_t seconds) {
  const TDateTime t = DateTimeAt(seconds);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", t.Year, t.Month, t.Day, t.Hour, t.Minute);
  return text;
}

std::string FormatClockTime(int64_t seconds) {
  const TDateTime t = DateTimeAt(seconds);
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u", t.Hour, t.Minute);
  return text;
}
