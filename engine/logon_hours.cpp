#include "engine/logon_hours.h"

#include "engine/decision.h"

namespace {
constexpr int64_t kHour = 3600;
constexpr int64_t kHalfHour = 1800;
// 1970-01-01 00:00 UTC was a Thursday: four days after the week's start.
constexpr int64_t kEpochHourOfWeek = 4 * 24;

// Whether any half hour of the rules that overlaps [from, to) is allowed.
bool AnyAllowed(const TStringList& rules, const TUserExtras& extras, int64_t from, int64_t to) {
  if (Decide(rules, extras, from, 0).Allowed) return true;
  for (int64_t boundary = (from / kHalfHour + 1) * kHalfHour; boundary < to; boundary += kHalfHour)
    if (Decide(rules, extras, boundary, 0).Allowed) return true;
  return false;
}
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

TLogonHours WeekLogonHours(const TStringList& rules, const TUserExtras& extras, const TWeekClock& week) {
  TLogonHours hours{};
  for (int k = 0; k < kHoursPerWeek; ++k) {
    const int64_t start = week.Start[static_cast<size_t>(k)];
    const int64_t end = week.End[static_cast<size_t>(k)];
    const bool allowed = AnyAllowed(rules, extras, start, start + kHour) ||
                         (end - start != kHour && AnyAllowed(rules, extras, end - kHour, end));
    if (!allowed) continue;
    const int64_t n = (week.FirstUtc / kHour + k + kEpochHourOfWeek) % kHoursPerWeek;
    hours[static_cast<size_t>(n / 8)] |= static_cast<uint8_t>(1u << (n % 8));
  }
  return hours;
}
