#pragma once
// The enforcement pass and what rides on it: before it, the report of a computer
// zone that differs from the fixed one; within it, extra time, the warning of a
// user who is to be switched off or signed out, and the sign-out itself; after
// it, the warnings of time about to end. Every decision comes from
// engine/decision.h.
//
// With WarnMinutes set, nobody present is switched off or signed out without
// having been warned first: a user whose time ends at a boundary is warned as it
// comes near; one whom a change (rules, extra time, zone, clock) restricts at once
// is locked and warned at once, and the end comes WarnMinutes later. Warning
// windows are measured in elapsed (UTC) time, so a daylight-saving night moves
// neither a warning nor an end.
//
// Thread: the tick thread, under the module's lock. Keeps, between passes, the
// end each user was warned of and the zone difference it reported.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/log_sink.h"
#include "common/registry_api.h"
#include "common/time_zone.h"
#include "engine/engine_state.h"
#include "engine/logon_hours.h"
#include "engine/usage.h"
#include "winsys/account_api.h"
#include "winsys/session_api.h"
#include "winsys/user_sessions.h"

// The platform facilities a pass reaches.
struct TEnforcementPlatform {
  TClock& Clock;
  TRegistryApi& Registry;
  TAccountApi& Accounts;
  TSessionApi& Sessions;
  // Called before a user's time is ended, so that the day's use is kept.
  std::function<void()> KeepUsage;
};

// The announced ends as a file keeps them: a line "YYYY-MM-DD HH:MM:SS UTC,user"
// each; and back, lines that cannot be read passed over.
std::string FormatAnnouncedEnds(const std::map<std::string, int64_t>& ends);
std::map<std::string, int64_t> ParseAnnouncedEnds(const std::string& text);

class TEnforcement {
 public:
  explicit TEnforcement(const TEnforcementPlatform& platform) : Platform(platform) {}

  // One pass over the restricted users of state, in order: each is decided, its
  // account locked or unlocked, and a present restricted user's time ended (the
  // computer powered off, or in sign-out mode the user signed out). A user with
  // a budget is judged with their use of the day in usage. log receives the
  // lines; its flush writes the log before a power-off.
  void Run(const TEngineState& state, const TUsageBook& usage, TLogSink& log);

  // The end announced to each user (UTC seconds): the module keeps them where
  // only SYSTEM and the Administrators can change them, and gives them back
  // after a restart, so that a restart never gives another grace.
  const std::map<std::string, int64_t>& AnnouncedEnds() const { return WarnedOf; }
  void RestoreAnnouncedEnds(std::map<std::string, int64_t> ends) { WarnedOf = std::move(ends); }

 private:
  struct TPass;

  // The time the rules use: the fixed zone's when TimeZone names one, the
  // computer's local time otherwise.
  TZoneClock RuleClock(const TConfiguration& config) const;
  // Says at level 1, once per change, that the computer's zone is not the fixed one.
  void ReportZoneDifference(const TConfiguration& config, TLogSink& log);
  // Reads the computer's zone for the pass, once, unless a zone is fixed.
  void ReadComputerZone(TPass& pass);
  // The coming week in the rules' time, for the backstop's logon hours.
  const TWeekClock& WeekOf(TPass& pass);
  // The first moment (UTC) within WarnMinutes of elapsed time at which the user
  // at position, allowed now, is no longer allowed.
  std::optional<int64_t> EndWithinWarning(TPass& pass, int position);
  // What the user at position has used of the day's budget, when they have one.
  TDayUse UseOf(const TPass& pass, int position) const;
  // Shows the message that time ends at endUtc in the user's sessions, and
  // remembers the end unless the user was not at the screen and retry is set.
  void Warn(TPass& pass, const std::string& user, int64_t endUtc, bool retry);
  // Signs the user out of every session (sign-out mode) or powers the computer off.
  void EndTime(TPass& pass, const std::string& user);

  TEnforcementPlatform Platform;
  // Per user, the moment (UTC seconds) they were told their time ends.
  std::map<std::string, int64_t> WarnedOf;
  // The computer's zone last reported as differing from the fixed one.
  std::string ZoneReported;
  // Per user, the day (or the week's Monday) whose budget they were last
  // logged as having used up.
  std::map<std::string, int64_t> UsedUpReported;
  std::map<std::string, int64_t> WeekUsedUpReported;
};
