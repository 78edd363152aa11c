#include "common/time_zone.h"

#include "common/calendar.h"
#include "common/little_endian.h"

namespace {
int32_t Int32At(const std::string& data, size_t at) { return static_cast<int32_t>(LittleEndian(&data[at], 4)); }

TDateTime SystemTimeAt(const std::string& data, size_t at) {
  uint16_t fields[8];
  for (size_t i = 0; i < 8; ++i) fields[i] = static_cast<uint16_t>(LittleEndian(&data[at + 2 * i], 2));
  return TDateTime{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]};
}

const TZoneRules& RulesOfYear(const TTimeZone& zone, int year) {
  if (zone.Years.empty()) return zone.Rules;
  if (year <= zone.Years.begin()->first) return zone.Years.begin()->second;
  if (year >= zone.Years.rbegin()->first) return zone.Years.rbegin()->second;
  const auto found = zone.Years.find(year);
  return found != zone.Years.end() ? found->second : zone.Rules;
}

constexpr int32_t kMostBiasMinutes = 24 * 60;

bool UsableDate(const TDateTime& date) {
  if (date.Month == 0) return true;  // no change
  if (date.Month > 12) return false;
  if (date.Year != 0) return date.Day >= 1 && date.Day <= DaysInMonth(date.Year, date.Month) && date.Hour <= 23;
  return date.Day >= 1 && date.Day <= 5 && date.DayOfWeek <= 6 && date.Hour <= 23 && date.Minute <= 59 &&
         date.Second <= 59 && date.Milliseconds <= 999;
}

// The wall-clock seconds of a change in year: the week-th weekday of the month
// (the 5th meaning the last). Windows writes "end of day" as 23:59:59.999, which
// counts as the next second.
int64_t ChangeIn(int year, const TDateTime& date) {
  TDateTime at = date;
  if (date.Year == 0) {
    const int firstWeekday = DateTimeAt(DaysFromCivil(year, date.Month, 1) * 86400).DayOfWeek;
    int day = 1 + (date.DayOfWeek - firstWeekday + 7) % 7 + (date.Day - 1) * 7;
    while (day > DaysInMonth(year, date.Month)) day -= 7;
    at.Year = static_cast<uint16_t>(year);
    at.Day = static_cast<uint16_t>(day);
  }
  return SecondsOf(at) + (at.Milliseconds > 0 ? 1 : 0);
}

// Whether utc lies in daylight time under rules, both changes taken in the
// standard year that holds utc.
bool InDaylightTime(const TZoneRules& rules, int64_t utc, int year) {
  if (rules.StandardDate.Month == 0 || rules.DaylightDate.Month == 0) return false;
  // A change on a fixed date happens in that year only.
  for (const TDateTime* date : {&rules.StandardDate, &rules.DaylightDate})
    if (date->Year != 0 && date->Year != year) return false;
  // Each change is given in the local time in force before it.
  const int64_t daylightStarts = ChangeIn(year, rules.DaylightDate) + (int64_t{rules.Bias} + rules.StandardBias) * 60;
  const int64_t daylightEnds = ChangeIn(year, rules.StandardDate) + (int64_t{rules.Bias} + rules.DaylightBias) * 60;
  if (daylightStarts < daylightEnds) return utc >= daylightStarts && utc < daylightEnds;
  // The southern hemisphere: daylight time spans the new year.
  return utc >= daylightStarts || utc < daylightEnds;
}
}  // namespace

bool ParseZoneRules(const std::string& data, TZoneRules& rules) {
  if (data.size() < 44) return false;
  rules.Bias = Int32At(data, 0);
  rules.StandardBias = Int32At(data, 4);
  rules.DaylightBias = Int32At(data, 8);
  rules.StandardDate = SystemTimeAt(data, 12);
  rules.DaylightDate = SystemTimeAt(data, 28);
  for (const int32_t bias : {rules.Bias, rules.StandardBias, rules.DaylightBias})
    if (bias < -kMostBiasMinutes || bias > kMostBiasMinutes) return false;
  return UsableDate(rules.StandardDate) && UsableDate(rules.DaylightDate);
}

TDateTime ZoneTime(const TTimeZone& zone, const TDateTime& utc) {
  const int64_t seconds = SecondsOf(utc);
  const TZoneRules& base = RulesOfYear(zone, utc.Year);
  const int year = DateTimeAt(seconds - int64_t{base.Bias} * 60).Year;
  const TZoneRules& rules = RulesOfYear(zone, year);
  const int64_t bias =
      int64_t{rules.Bias} + (InDaylightTime(rules, seconds, year) ? rules.DaylightBias : rules.StandardBias);
  TDateTime local = DateTimeAt(seconds - bias * 60);
  local.Milliseconds = utc.Milliseconds;
  return local;
}
