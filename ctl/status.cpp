// nortavelctl status and check: the service and every configured user, now,
// and what is amiss.
#include <algorithm>
#include <iomanip>
#include <optional>

#include "common/calendar.h"
#include "common/string_list.h"
#include "common/system_error.h"
#include "ctl/command_context.h"
#include "engine/week.h"
#include "engine/decision.h"
#include "engine/time_rules.h"
#include "engine/usage.h"
#include "winsys/accounts.h"
#include "winsys/sessions.h"

namespace {
constexpr uint32_t kScActionRestart = 1;  // SC_ACTION_RESTART

std::string StartTypeName(uint32_t type) {
  static const char* const kNames[] = {"boot start", "system start", "automatic start", "manual start",
                                       "disabled"};
  return type < 5 ? kNames[type] : "start type " + std::to_string(type);
}

std::string MachineName(uint16_t machine) {
  if (machine == kMachineI386) return "32-bit";
  if (machine == kMachineAmd64) return "64-bit";
  return "bitness unknown: the file cannot be read";
}

std::string LogonHoursText(const TAccountInfo& account) {
  if (account.Locked) return "locked";
  if (account.Exists) return "unlocked";
  return account.Readable ? "no account" : "unknown";
}

std::string Column(const std::string& text, size_t width) {
  return text.size() < width ? text + std::string(width - text.size(), ' ') : text + " ";
}

// "1 h 20 min of 2 h" with a budget that day, "1 h 20 min" without.
// The day's use against its budget, and with a weekly budget the week's.
std::string TodayText(const TDayUse& use, int32_t budget, int32_t weekBudget) {
  std::string text = FormatDuration(use.Seconds) + (budget == kNoBudget ? "" : " of " + FormatDuration(budget * 60LL));
  if (weekBudget != kNoBudget)
    text += ", week " + FormatDuration(use.WeekSeconds) + " of " + FormatDuration(weekBudget * 60LL);
  return text;
}

std::string PeriodText(uint32_t seconds) {
  if (seconds == 0xFFFFFFFF) return "never";  // INFINITE
  if (seconds != 0 && seconds % 86400 == 0) return std::to_string(seconds / 86400) + (seconds == 86400 ? " day" : " days");
  if (seconds != 0 && seconds % 3600 == 0) return std::to_string(seconds / 3600) + " h";
  return std::to_string(seconds) + " s";
}

// What the control manager does when the service fails: a service that stays
// stopped protects nobody.
std::string RecoveryText(const TRun& run) {
  const TServiceInfo& service = run.Service;
  std::string delays;
  for (const TServiceAction& action : service.Recovery) {
    if (action.Type != kScActionRestart) continue;
    delays += (delays.empty() ? "" : ", ") + std::to_string(action.Delay / 1000) + " s";
  }
  if (delays.empty()) return "none: a service that fails stays stopped; " + ReinstallText(run);
  return "restart after a failure (" + delays + " later), failures counted afresh after " +
         PeriodText(service.ResetPeriod);
}

void PrintService(TRun& run) {
  const TServiceInfo& service = run.Service;
  std::ostream& out = run.Out;
  if (!service.Installed) {
    out << "Service:     "
        << (service.Error == 0 ? "not installed"
                               : "unknown (" + ErrorText(service.Error) +
                                     ": run from an administrator command prompt)")
        << "\n";
  } else {
    out << "Service:     " << ServiceStateName(service.State) << ", " << StartTypeName(service.Config.StartType)
        << ", account " << service.Config.StartName << "\n"
        << "Executable:  " << service.Executable << " (" << MachineName(service.Machine) << ")\n";
    if (service.RecoveryKnown) out << "Recovery:    " << RecoveryText(run) << "\n";
  }
  std::string whose = "the view of this tool's build: no service";
  if (service.Installed)
    whose = run.Location.View == run.ServiceView || !run.Windows64 ? "the view the service reads"
                                                                   : "NOT the view the service reads";
  out << "Registry:    " << run.KeyText() << " (" << TAdmin::ViewName(run.Location.View) << " view, " << whose
      << ")\n";
}
}  // namespace

void RunStatus(TRun& run) {
  PrintService(run);
  const TConfiguration config = run.Load();
  TZoneClock clock = run.RuleClock(config);
  const int64_t nowSeconds = SecondsOf(clock.LocalNow());
  std::ostream& out = run.Out;
  out << "Log level:   " << config.DebugLevel << "\n"
      << "Log folder:  " << (config.AppPath.empty() ? "(none: the service's current folder)" : config.AppPath)
      << "\n";
  if (!config.TimeZoneName.empty())
    out << "Time zone:   "
        << (config.FixedZone ? config.FixedZone->Name + ", whatever the computer's"
                             : config.TimeZoneName + " is unknown: the computer's is used")
        << "\n";
  if (config.WarnMinutes > 0)
    out << "Warnings:    " << config.WarnMinutes << (config.WarnMinutes == 1 ? " minute" : " minutes")
        << " before the time ends\n";
  out << "Time ends:   "
      << (config.EndAction == TEndAction::SignOut ? "the user is signed out"
          : config.EndAction == TEndAction::Lock  ? "the user's session is locked, programs stay open"
                                                  : "the computer is switched off")
      << "\n";
  if (config.LogonHoursBackstop) out << "Backstop:    Windows' logon hours hold the rules while the service is not running\n";
  out << "Now:         " << WeekdayAndClock(nowSeconds)
      << (config.FixedZone ? " in " + config.FixedZone->Name : std::string()) << "\n\n";
  if (config.RestrictedUsers.Empty()) {
    out << "No user is configured.\n";
    return;
  }
  TStringList seen;
  TKeptLog log;
  CollectSeenAccounts(seen, 0, run.Platform.Processes, log);
  const TUsageFile usage = ReadUsage(run, config);
  const int64_t today = DayOf(nowSeconds);
  struct TRow {
    std::string User, Now, Until, Today, LogonHours, Processes;
  };
  std::vector<TRow> rows;
  std::string extraTimes, usedUp;
  std::vector<std::string> locked;
  size_t todayWidth = std::string("Today").size();
  for (int i = 0; i < config.RestrictedUsers.Count(); ++i) {
    const std::string& user = config.RestrictedUsers[i];
    const TDayUse use = usage.Book.UseOf(user, today);
    const TDecision decision = DecideFor(config, i, nowSeconds, kSecondsPerWeek, use);
    const std::string until = decision.Until ? WeekdayAndClock(*decision.Until) : "all week";
    const TUserExtras& extras = config.UserExtras[static_cast<size_t>(i)];
    if (decision.Allowed && extras.ExtraTime.Until > nowSeconds)
      extraTimes += "Extra time:  " + user + " until " + extras.ExtraTime.Text + "\n";
    // The budget of the day the use counts against, which a clock set back
    // keeps at the latest day the service counted.
    const int32_t budget = extras.Budget[static_cast<size_t>(WeekdayOf(use.Day))];
    if (decision.Reason == TDecisionReason::Budget)
      usedUp += "Daily time:  " + user +
                (budget == 0 ? " may not use the computer today"
                             : " has used up today's " + FormatDuration(budget * 60LL)) +
                "\n";
    if (decision.Reason == TDecisionReason::WeekBudget)
      usedUp += "Weekly time: " + user + " has used up this week's " + FormatDuration(extras.WeekBudget * 60LL) + "\n";
    const TAccountInfo account = ReadAccount(run.Platform.Accounts, user);
    if (account.Locked) locked.push_back(user);
    TRow row{user, decision.Allowed ? "allowed" : "restricted", until, TodayText(use, budget, extras.WeekBudget), LogonHoursText(account),
             seen.IndexOf(user) >= 0 ? "yes" : "no"};
    todayWidth = std::max(todayWidth, row.Today.size());
    rows.push_back(row);
  }
  todayWidth += 2;
  out << Column("User", 16) << "Now         Until       " << Column("Today", todayWidth) << "Logon hours  Processes\n";
  for (const TRow& row : rows)
    out << Column(row.User, 16) << Column(row.Now, 12) << Column(row.Until, 12) << Column(row.Today, todayWidth)
        << Column(row.LogonHours, 13) << row.Processes << "\n";
  std::string asks;
  for (const std::string& line : OpenRequestTexts(run, config)) asks += "Asks:        " + line + "\n";
  if (!extraTimes.empty() || !usedUp.empty() || !asks.empty()) out << "\n" << extraTimes << usedUp << asks;
  const std::string problem = UsageProblemText(usage);
  if (!problem.empty()) out << "\nUsage file:  " << problem << "\n";
  const std::string saving = UsageSavingText(run, config, usage);
  if (!saving.empty()) out << "\nError:       " << saving << "\n";
  if (ClockBehind(run, config, usage))
    out << "\nThe computer's clock is behind: the service keeps its own time until it catches up\n";
  const std::string lockedText = LockedWithoutServiceText(run.Service, locked);
  if (!lockedText.empty()) out << "\nWarning:     " << lockedText << "\n";
}

bool RunCheck(TRun& run) {
  int errors = 0, warnings = 0;
  for (const TFinding& finding : CheckFindings(run)) {
    run.Out << (finding.Error ? "error: " : "warning: ") << finding.Text << "\n";
    ++(finding.Error ? errors : warnings);
  }
  if (errors == 0 && warnings == 0)
    run.Out << "No problems found.\n";
  else
    run.Out << errors << " error(s), " << warnings << " warning(s).\n";
  return errors > 0;
}
