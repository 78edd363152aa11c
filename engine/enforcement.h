#pragma once
// The enforcement pass and what rides on it: before it, the report of a computer
// zone that differs from the fixed one; within it, extra time; after it, the
// warnings of time about to end. Every decision comes from engine/decision.h.
//
// Thread: the tick thread, under the module's lock. Keeps, between passes, whom
// it warned of which end and which zone difference it reported.

#include <cstdint>
#include <map>
#include <string>

#include "common/clock.h"
#include "common/log_sink.h"
#include "common/time_zone.h"
#include "engine/engine_state.h"
#include "winsys/account_api.h"
#include "winsys/registry_api.h"
#include "winsys/session_api.h"

// The platform facilities a pass reaches.
struct TEnforcementPlatform {
  TClock& Clock;
  TRegistryApi& Registry;
  TAccountApi& Accounts;
  TSessionApi& Sessions;
};

class TEnforcement {
 public:
  explicit TEnforcement(const TEnforcementPlatform& platform) : Platform(platform) {}

  // One pass over the restricted users of state, in order: each is decided, its
  // account locked or unlocked, and the computer powered off when a restricted
  // user was seen. log receives the lines; its flush writes the log before a
  // power-off.
  void Run(const TEngineState& state, TLogSink& log);

 private:
  // The time the rules use: the fixed zone's when TimeZone names one, the
  // computer's local time otherwise.
  TZoneClock RuleClock(const TConfiguration& config) const;
  // Says at level 1, once per change, that the computer's zone is not the fixed one.
  void ReportZoneDifference(const TConfiguration& config, TLogSink& log);
  // Shows the seen user at position, once per coming restricted time, that their
  // time ends at end.
  void WarnOfTimeEnding(const TEngineState& state, int position, int64_t end, TLogSink& log);

  TEnforcementPlatform Platform;
  // Per user, the start of the restricted time already warned of.
  std::map<std::string, int64_t> WarnedOf;
  // The computer's zone last reported as differing from the fixed one.
  std::string ZoneReported;
};
