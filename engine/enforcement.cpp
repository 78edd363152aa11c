#include "engine/enforcement.h"

#include <optional>
#include <vector>

#include "common/calendar.h"
#include "common/debug_level.h"
#include "common/text.h"
#include "diag/messages.h"
#include "engine/decision.h"
#include "winsys/accounts.h"
#include "winsys/time_zones.h"
#include "winsys/user_messages.h"

void TEnforcement::Run(const TEngineState& state, TLogSink& log) {
  ReportZoneDifference(state, log);
  // Looking ahead costs time per user; only the warnings need it.
  const int64_t horizon = int64_t{state.WarnMinutes} * 60;
  // The ends of allowed time that a warning may concern, by position.
  std::vector<std::optional<int64_t>> ends;
  // The count is read again before each user: the loop never caches it.
  for (int i = 0; i < state.RestrictedUsers.Count(); ++i) {
    const std::string user = state.RestrictedUsers[i];
    TZoneClock clock = RuleClock(state);
    const TDecision decision = DecideNow(state, user, i, clock, log, horizon);
    if (decision.Reason == TDecisionReason::ExtraTime && LevelAdmits(state.DebugLevel, 2))
      log.Log(kMsgExtraTime + user + kMsgExtraTimeUntil + state.UserExtras[static_cast<size_t>(i)].ExtraTime.Text);
    const bool restricted = !decision.Allowed;
    bool seen = false;
    if (restricted) {
      if (LevelAdmits(state.DebugLevel, 2)) log.Log(kMsgFoundRestrictedUser + user);
      if (state.SeenAccounts.IndexOf(user) >= 0) {
        if (LevelAdmits(state.DebugLevel, 1)) log.Log(kMsgUserLoggedIn);
        seen = true;
      }
    }
    SetAccountLogonHours(state.DebugLevel, Platform.Accounts, log, user, restricted);
    if (seen) ShutdownComputer(state.DebugLevel, Platform.Accounts, log);
    if (horizon > 0) ends.push_back(decision.Allowed ? decision.Until : std::nullopt);
  }
  for (size_t i = 0; i < ends.size(); ++i)
    if (ends[i]) WarnOfTimeEnding(state, static_cast<int>(i), *ends[i], log);
}

TZoneClock TEnforcement::RuleClock(const TConfiguration& config) const {
  return TZoneClock(Platform.Clock, config.FixedZone ? &*config.FixedZone : nullptr);
}

void TEnforcement::WarnOfTimeEnding(const TEngineState& state, int position, int64_t end, TLogSink& log) {
  const std::string& user = state.RestrictedUsers[position];
  if (state.SeenAccounts.IndexOf(user) < 0) return;
  const auto warned = WarnedOf.find(user);
  if (warned != WarnedOf.end() && warned->second == end) return;
  const TMessageOutcome outcome =
      ShowUserMessage(state.DebugLevel, Platform.Sessions, log, user, kMsgWarningCaption,
                      kMsgTimeEndsPrefix + FormatClockTime(end) + kMsgTimeEndsSuffix);
  // Not at the screen: the next pass tries again, as long as the time is near.
  // Sessions that cannot be listed were logged, and are not tried every pass.
  if (outcome.Listed && outcome.Sessions == 0) return;
  WarnedOf[user] = end;
  if (outcome.Shown > 0 && LevelAdmits(state.DebugLevel, 2)) log.Log(kMsgWarningSent + user);
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
