#pragma once
// Windows' own logon hours as a backstop: the week of an allowed user written to
// the account, so that Windows refuses a logon at a restricted hour while the
// service does not run (Safe Mode, a stopped service). Windows counts the hours
// in UTC from Sunday 00:00 and repeats them every week; the rules count half
// hours of their own time, so each hour is judged in the rules' time in force
// during the hour's coming instance. Portable and stateless.

#include <array>
#include <cstdint>
#include <functional>

#include "common/string_list.h"
#include "engine/usage.h"
#include "winsys/accounts.h"
#include "winsys/configuration.h"

// The coming week hour by hour: hour k begins at FirstUtc + k hours (the first
// is the hour of now); Start[k] and End[k] are the rules' time at its start and
// at its end. They differ by an hour except where the clock is changed within it.
struct TWeekClock {
  int64_t FirstUtc = 0;
  std::array<int64_t, kHoursPerWeek> Start{};
  std::array<int64_t, kHoursPerWeek> End{};
};

// The week from the hour of nowUtc (UTC seconds since 1970), with wallAt turning
// a UTC moment into the rules' time. The same for every user of a pass.
TWeekClock WeekClockFrom(int64_t nowUtc, const std::function<int64_t(int64_t)>& wallAt);

// The logon hours of a user with these day rules and extras: an hour is
// permitted when any half hour of the rules it overlaps is allowed, or extra
// time lasts into it. The hour in which the clock is changed counts with both
// offsets, so a logon is never refused that the rules allow. With a budget, the
// rest of a day whose budget use has used up, and a day whose budget is 0, are
// closed unless extra time lasts into them.
TLogonHours WeekLogonHours(const TStringList& rules, const TUserExtras& extras, const TWeekClock& week,
                           const TDayUse& use = TDayUse());
