// What a change of the configuration means for the users at the computer now:
// nobody should learn from the computer going off that a parent's change
// restricted them.
#include <algorithm>

#include "common/calendar.h"
#include "common/protocol.h"
#include "ctl/command_context.h"
#include "ctl/usage_error.h"
#include "engine/decision.h"
#include "winsys/sessions.h"

namespace {
constexpr int64_t kMinute = 60;

bool AllowedNow(const TRun& run, const TConfiguration& config, int position, const TUsageBook& usage) {
  const int64_t now = SecondsOf(run.RuleClock(config).LocalNow());
  const TDayUse use = usage.UseOf(config.RestrictedUsers[position], DayOf(now));
  return DecideFor(config, position, now, 0, use).Allowed;
}

bool AnyBudget(const TConfiguration& config) {
  return std::any_of(config.UserExtras.begin(), config.UserExtras.end(),
                     [](const TUserExtras& extras) { return extras.HasBudget(); });
}
}  // namespace

void SayWhomTheChangeRestricts(TRun& run, const TConfiguration& before) {
  const TConfiguration after = LoadOrEmpty(run);
  // Without a budget the day's use decides nothing, and the file is left alone.
  const TUsageBook usage = AnyBudget(before) || AnyBudget(after) ? ReadUsage(run, after).Book : TUsageBook();
  TStringList owners;
  bool listed = false;
  for (int i = 0; i < after.RestrictedUsers.Count(); ++i) {
    const std::string& user = after.RestrictedUsers[i];
    if (AllowedNow(run, after, i, usage)) continue;
    const int was = before.RestrictedUsers.IndexOf(user);
    if (was >= 0 && !AllowedNow(run, before, was, usage)) continue;
    if (!listed) {
      TKeptLog log;
      CollectSeenAccounts(owners, 0, run.Platform.Processes, log);
      listed = true;
    }
    if (owners.IndexOf(user) < 0) continue;
    const std::string ends = after.EndAction == TEndAction::Lock      ? "locked out (their programs stay open)"
                             : after.EndAction == TEndAction::SignOut ? "signed out"
                                                                      : "switched off";
    run.Out << user << " is using the computer now: they are ";
    if (after.WarnMinutes > 0) {
      // The service warns at its next pass and ends the time WarnMinutes later,
      // to the minute; that moment shown in the rules' time.
      const int64_t utc = SecondsOf(run.Platform.Clock.UtcNow());
      const int64_t end = (utc + after.WarnMinutes * kMinute + kMinute - 1) / kMinute * kMinute;
      const int64_t wall = SecondsOf(run.RuleClock(after).LocalNow()) + (end - utc);
      run.Out << "warned and " << ends << " at " << FormatClockTime(wall) << "\n";
    } else {
      run.Out << ends << " within " << kPassPeriodMs / 1000 << " seconds\n";
    }
  }
}
