#include "engine/logon_hours.h"

#include "engine/decision.h"

namespace {
constexpr int64_t kHour = 3600;
constexpr int64_t kHalfHour = 1800;
// 1970-01-01 00:00 UTC was a Thursday: four days after the week's start.
constexpr int64_t kEpochHourOfWeek = 4 * 24;

// The budget as Windows can hold it: a day whose budget is used up (the day now
// counts against, or an earlier one while the clock is set back) or is 0
// is closed whole. Any other day is left to the rules: how long the user will
// stay is not known in advance.
struct TWeekJudge {
  const TStringList& Rules;
  const TUserExtras& Extras;
  TUserExtras WithoutBudget;
  TDayUse Use;

  TWeekJudge(const TStringList& rules, const TUserExtras& extras, const TDayUse& use)
      : Rules(rules), Extras(extras), WithoutBudget(extras), Use(use) {
    WithoutBudget.Budget.fill(kNoBudget);
    WithoutBudget.WeekBudget = kNoBudget;
  }

  // The day's budget, or its week's, used up (or 0).
  bool DayClosed(int64_t t) const {
    const int64_t day = Use.Day != kNoDay && Use.Day > DayOf(t) ? Use.Day : DayOf(t);
    const int32_t minutes = Extras.Budget[static_cast<size_t>(WeekdayOf(day))];
    if (minutes != kNoBudget && (day == Use.Day ? Use.Seconds >= int64_t{minutes} * 60 : minutes == 0)) return true;
    if (Extras.WeekBudget == kNoBudget) return false;
    return Use.Day != kNoDay && WeekOf(day) == WeekOf(Use.Day) ? Use.WeekSeconds >= int64_t{Extras.WeekBudget} * 60
                                                                : Extras.WeekBudget == 0;
  }

  bool AllowedAt(int64_t t) const {
    return Decide(Rules, WithoutBudget, t, 0, TDayUse()).Allowed &&
           (!DayClosed(t) || (Extras.ExtraTime.Until != 0 && t < Extras.ExtraTime.Until));
  }

  // Whether any half hour of the rules that overlaps [from, to) is allowed.
  bool AnyAllowed(int64_t from, int64_t to) const {
    if (AllowedAt(from)) return true;
    for (int64_t boundary = (from / kHalfHour + 1) * kHalfHour; boundary < to; boundary += kHalfHour)
      if (AllowedAt(boundary)) return true;
    return false;
  }
};
}  // namespace

TWeekClock WeekClockFrom(int64_t nowUtc, const std::function<int64_t(int64_t)>& wallAt) {
  TWeekClock week;
  week.FirstUtc = nowUtc / kHour * kHour;
  for (int k = 0; k < kHoursPerWeek; ++k) {
    const int64_t start = week.FirstUtc + k * kHour;
    week.Start[static_cast<size_t>(k)] = wallAt(start);
    week.End[static_cast<size_t>(k)] = wallAt(start + kHour - 1) + 1;
  }
  return week;
}

TLogonHours WeekLogonHours(const TStringList& rules, const TUserExtras& extras, const TWeekClock& week,
                           const TDayUse& use) {
  const TWeekJudge judge(rules, extras, use);
  TLogonHours hours{};
  for (int k = 0; k < kHoursPerWeek; ++k) {
    const int64_t start = week.Start[static_cast<size_t>(k)];
    const int64_t end = week.End[static_cast<size_t>(k)];
    const bool allowed =
        judge.AnyAllowed(start, start + kHour) || (end - start != kHour && judge.AnyAllowed(end - kHour, end));
    if (!allowed) continue;
    const int64_t n = (week.FirstUtc / kHour + k + kEpochHourOfWeek) % kHoursPerWeek;
    hours[static_cast<size_t>(n / 8)] |= static_cast<uint8_t>(1u << (n % 8));
  }
  return hours;
}
