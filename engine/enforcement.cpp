#include "engine/enforcement.h"

#include <utility>

#include "common/calendar.h"
#include "common/debug_level.h"
#include "common/system_error.h"
#include "common/text.h"
#include "diag/messages.h"
#include "engine/decision.h"
#include "engine/logon_hours.h"
#include "winsys/accounts.h"
#include "winsys/time_zones.h"
#include "winsys/user_messages.h"
#include "winsys/user_sessions.h"

namespace {
constexpr int64_t kMinute = 60;
}  // namespace

// What one pass knows beyond the state: the time once, in UTC and in the rules'
// time, and who has a session now (read only when it is needed).
struct TEnforcement::TPass {
  TPass(const TEngineState& state, const TUsageBook& usage, TLogSink& log) : State(state), Usage(usage), Log(log) {}

  const TEngineState& State;
  const TUsageBook& Usage;
  TLogSink& Log;
  int64_t WarnSeconds = 0;
  // Now, and the rules that turn a later UTC moment into the rules' time: the
  // fixed zone's, or the computer's zone as the registry describes it.
  TRulesTime Time;
  std::optional<TTimeZone> ComputerZone;
  bool ComputerZoneRead = false;
  // The backstop's week, the same for every user: made once, when first needed.
  std::optional<TWeekClock> Week;
  // Sign-out and lock modes: each session and its user; when they cannot be
  // listed, presence falls back to having been seen.
  TUserSessions Sessions;

  bool SignOut() const { return State.EndAction == TEndAction::SignOut; }
  bool Lock() const { return State.EndAction == TEndAction::Lock; }
  bool BySession() const { return SignOut() || Lock(); }

  // Present: in sign-out mode, having a session now; in lock mode, an active
  // one (locked or not, but not one switched away from); otherwise, as
  // designed, having been seen owning a process since the service started.
  bool Present(const std::string& user) const {
    if (BySession() && Sessions.Listed) return Sessions.Has(user, Lock());
    return State.SeenAccounts.IndexOf(user) >= 0;
  }
};

std::string FormatAnnouncedEnds(const std::map<std::string, int64_t>& ends) {
  std::string text;
  for (const auto& [user, end] : ends) text += FormatUtc(end) + "," + user + "\n";
  return text;
}

std::map<std::string, int64_t> ParseAnnouncedEnds(const std::string& text) {
  std::map<std::string, int64_t> ends;
  for (const std::string& line : TextLines(text)) {
    int64_t end = 0;
    const size_t comma = line.find(',');
    if (comma != std::string::npos && comma + 1 < line.size() && ParseUtc(line.substr(0, comma), end))
      ends[line.substr(comma + 1)] = end;
  }
  return ends;
}

void TEnforcement::Run(const TEngineState& state, const TUsageBook& usage, TLogSink& log) {
  ReportZoneDifference(state, log);
  TPass pass(state, usage, log);
  pass.WarnSeconds = int64_t{state.WarnMinutes} * kMinute;
  if (pass.WarnSeconds > 0 || state.LogonHoursBackstop) {
    pass.Time.NowUtc = SecondsOf(Platform.Clock.UtcNow());
    pass.Time.NowWall = SecondsOf(RuleClock(state).LocalNow());
    pass.Time.FixedZone = state.FixedZone ? &*state.FixedZone : nullptr;
  }
  if (pass.BySession()) pass.Sessions = ReadUserSessions(Platform.Sessions, false);
  // Looking ahead costs time per user; only the warnings need it.
  const int64_t horizon = pass.WarnSeconds > 0 ? pass.WarnSeconds + kMostClockShift : 0;
  // The allowed users whose time may end within the warning's window.
  std::vector<int> nearEnd;
  // The count is read again before each user: the loop never caches it.
  for (int i = 0; i < state.RestrictedUsers.Count(); ++i) {
    const std::string user = state.RestrictedUsers[i];
    TZoneClock clock = RuleClock(state);
    const TDecision decision = DecideNow(state, user, i, clock, log, horizon, usage);
    if (decision.Reason == TDecisionReason::ExtraTime && LevelAdmits(state.DebugLevel, 2))
      log.Log(kMsgExtraTime + user + kMsgExtraTimeUntil + state.UserExtras[static_cast<size_t>(i)].ExtraTime.Text);
    if (decision.Reason == TDecisionReason::Budget || decision.Reason == TDecisionReason::WeekBudget) {
      // Said once per user and day, or week (by its Monday).
      const bool week = decision.Reason == TDecisionReason::WeekBudget;
      const int64_t day = usage.UseOf(user, DayOf(SecondsOf(clock.LocalNow()))).Day;
      const int64_t period = week ? ::WeekOf(day) : day;
      std::map<std::string, int64_t>& reported = week ? WeekUsedUpReported : UsedUpReported;
      const auto said = reported.find(user);
      if (said == reported.end() || said->second != period) {
        reported[user] = period;
        if (LevelAdmits(state.DebugLevel, 2)) log.Log((week ? kMsgWeekBudgetUsedUp : kMsgBudgetUsedUp) + user);
      }
    }
    const bool restricted = !decision.Allowed;
    bool present = false;
    bool ending = false;
    if (restricted) {
      if (LevelAdmits(state.DebugLevel, 2)) log.Log(kMsgFoundRestrictedUser + user);
      present = pass.Present(user);
      if (present) {
        const auto warned = WarnedOf.find(user);
        ending = pass.WarnSeconds == 0 || (warned != WarnedOf.end() && pass.Time.NowUtc >= warned->second);
        if (ending && !pass.BySession() && LevelAdmits(state.DebugLevel, 1)) log.Log(kMsgUserLoggedIn);
      }
    }
    if (decision.Allowed && state.LogonHoursBackstop)
      SetAccountLogonHours(state.DebugLevel, Platform.Accounts, log, user,
                           WeekLogonHours(RulesOf(state, i), ExtrasOf(state, i), WeekOf(pass), UseOf(pass, i)));
    else
      SetAccountLogonHours(state.DebugLevel, Platform.Accounts, log, user, restricted);
    if (ending) {
      EndTime(pass, user);
    } else if (present) {
      // Restricted by a change: the time ends WarnMinutes from now, to the
      // minute. An end already given that comes no later stands, so a second
      // change never moves it; one further off gives way to the nearer end.
      const int64_t end = (pass.Time.NowUtc + pass.WarnSeconds + kMinute - 1) / kMinute * kMinute;
      const auto warned = WarnedOf.find(user);
      if (warned == WarnedOf.end() || warned->second > end) Warn(pass, user, end, false);
    }
    if (decision.Allowed && pass.WarnSeconds > 0) {
      if (decision.Until)
        nearEnd.push_back(i);
      else
        WarnedOf.erase(user);
    }
  }
  for (const int i : nearEnd) {
    const std::string& user = state.RestrictedUsers[i];
    const std::optional<int64_t> end = EndWithinWarning(pass, i);
    if (!end) {
      WarnedOf.erase(user);
      continue;
    }
    const auto warned = WarnedOf.find(user);
    if (pass.Present(user) && (warned == WarnedOf.end() || warned->second != *end)) Warn(pass, user, *end, true);
  }
}

TZoneClock TEnforcement::RuleClock(const TConfiguration& config) const {
  return TZoneClock(Platform.Clock, config.FixedZone ? &*config.FixedZone : nullptr);
}

void TEnforcement::ReadComputerZone(TPass& pass) {
  if (pass.State.FixedZone || pass.ComputerZoneRead) return;
  // Only the computer's zone says when its clock jumps; without it, the
  // clock is taken to run on as it does now.
  pass.ComputerZoneRead = true;
  TTimeZone zone;
  const std::string name = ReadComputerTimeZone(Platform.Registry);
  if (!name.empty() && ReadTimeZone(Platform.Registry, 0, name, zone)) pass.ComputerZone = std::move(zone);
  pass.Time.ComputerZone = pass.ComputerZone ? &*pass.ComputerZone : nullptr;
}

const TWeekClock& TEnforcement::WeekOf(TPass& pass) {
  if (!pass.Week) {
    ReadComputerZone(pass);
    pass.Week = WeekClockFrom(pass.Time.NowUtc, [&pass](int64_t utc) { return pass.Time.WallAt(utc); });
  }
  return *pass.Week;
}

std::optional<int64_t> TEnforcement::EndWithinWarning(TPass& pass, int position) {
  ReadComputerZone(pass);
  return EndBetween(pass.State, position, pass.Time, UseOf(pass, position), pass.Time.NowUtc,
                    pass.Time.NowUtc + pass.WarnSeconds);
}

TDayUse TEnforcement::UseOf(const TPass& pass, int position) const {
  if (!ExtrasOf(pass.State, position).HasBudget()) return TDayUse();
  return pass.Usage.UseOf(pass.State.RestrictedUsers[position], DayOf(pass.Time.NowWall));
}

void TEnforcement::Warn(TPass& pass, const std::string& user, int64_t endUtc, bool retry) {
  const TEngineState& state = pass.State;
  const std::string text = kMsgTimeEndsPrefix + FormatClockTime(pass.Time.WallAt(endUtc)) +
                           (pass.Lock() ? kMsgTimeEndsLockSuffix
                                        : pass.SignOut() ? kMsgTimeEndsSignOutSuffix : kMsgTimeEndsSuffix);
  const TMessageOutcome outcome =
      ShowUserMessage(state.DebugLevel, Platform.Sessions, pass.Log, user, kMsgWarningCaption, text);
  // Not at the screen: the next pass tries again, as long as the time is near.
  // Sessions that cannot be listed were logged, and are not tried every pass.
  if (retry && outcome.Listed && outcome.Sessions == 0) return;
  WarnedOf[user] = endUtc;
  if (outcome.Shown > 0 && LevelAdmits(state.DebugLevel, 2)) pass.Log.Log(kMsgWarningSent + user);
}

void TEnforcement::EndTime(TPass& pass, const std::string& user) {
  const TEngineState& state = pass.State;
  if (Platform.KeepUsage) Platform.KeepUsage();
  // Time always ends: a lock that fails signs the user out, a sign-out that
  // fails powers the computer off.
  if (pass.Lock()) {
    if (LevelAdmits(state.DebugLevel, 2)) pass.Log.Log(kMsgLockingSession + user);
    bool locked = pass.Sessions.Listed;
    for (const TUserSession& session : pass.Sessions.Sessions)
      if (session.Active && PlatformSameText(session.User, user) && Platform.Sessions.DisconnectSession(session.Id) != 0)
        locked = false;
    if (locked) return;
    if (LevelAdmits(state.DebugLevel, 1)) pass.Log.Log(kMsgLockFailed + user);
  }
  if (pass.BySession()) {
    if (LevelAdmits(state.DebugLevel, 2)) pass.Log.Log(kMsgSigningOut + user);
    bool signedOut = pass.Sessions.Listed;
    for (const TUserSession& session : pass.Sessions.Sessions)
      if (PlatformSameText(session.User, user) && Platform.Sessions.LogoffSession(session.Id) != 0) signedOut = false;
    if (signedOut) return;
    if (LevelAdmits(state.DebugLevel, 1)) pass.Log.Log(kMsgSignOutFailed + user);
  }
  ShutdownComputer(state.DebugLevel, Platform.Accounts, pass.Log);
}

void TEnforcement::ReportZoneDifference(const TConfiguration& config, TLogSink& log) {
  if (!config.FixedZone) return;
  const std::string computer = ReadComputerTimeZone(Platform.Registry);
  if (computer.empty() || PlatformSameText(computer, config.FixedZone->Name)) {
    ZoneReported.clear();
    return;
  }
  const std::string reported = computer + kMsgZoneDiffersFixed + config.FixedZone->Name;
  if (reported == ZoneReported) return;
  ZoneReported = reported;
  if (LevelAdmits(config.DebugLevel, 1)) log.Log(kMsgZoneDiffers + reported);
}
