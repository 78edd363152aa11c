#pragma once
// The one answer to "may this user use the computer now, until when, and why".
// The enforcement pass, its warnings and every program of the product ask here,
// so that the service, nortavelctl and what the user sees never disagree.
// Portable and stateless.

#include <cstdint>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/log_sink.h"
#include "common/string_list.h"
#include "engine/rules_time.h"
#include "engine/usage.h"
#include "winsys/configuration.h"

enum class TDecisionReason {
  Rule,       // the day rule's character for now
  NoRule,     // no character for now (rule missing or too short): allowed
  ExtraTime,  // the rule or the budget restricts, AllowUntil lasts beyond now
  Budget,     // the rule allows, the day's budget is used up
  WeekBudget, // the rule allows, the week's budget is used up
};

struct TDecision {
  bool Allowed = true;
  TDecisionReason Reason = TDecisionReason::Rule;
  // When Allowed, the moment the allowed time ends; otherwise the moment it
  // opens again. Seconds of the rules' time (common/calendar.h); nullopt when
  // nothing changes within the horizon asked for.
  std::optional<int64_t> Until;
};

// The decision for a user with these day rules (Time1 first) and extras at now,
// seconds of the rules' time, having used use of the day's budget. Looks at most
// horizon seconds ahead for Until; 0 looks no further than now, which costs
// nothing beyond the answer. Ahead, a budget is taken to run while the user
// stays: its end is now plus what is left (midnight plus the budget on a later
// day).
// use is required: a caller that knows none says so with TDayUse().
TDecision Decide(const TStringList& rules, const TUserExtras& extras, int64_t now, int64_t horizon,
                 const TDayUse& use);

// The seconds left of the budgets of the day use counts against and of its
// week, the smaller (0 once used up); nullopt when neither has a budget.
std::optional<int64_t> BudgetLeft(const TUserExtras& extras, const TDayUse& use);

// The day rules and the extras of the user at position of config; a position the
// lists do not reach has none.
const TStringList& RulesOf(const TConfiguration& config, int position);
const TUserExtras& ExtrasOf(const TConfiguration& config, int position);

// The decision for the user at position of config; a position the lists do not
// reach has no rules and no extras.
TDecision DecideFor(const TConfiguration& config, int position, int64_t now, int64_t horizon, const TDayUse& use);

// The decision for user at position of config at the time clock reads (once),
// logging as the design's rule evaluation does: at level 3 "Checking user:" and
// the trace line of the half hour, at level 2 a rule that cannot answer. user is
// the name as the caller spells it. usage holds the day's use for a user with
// a budget.
TDecision DecideNow(const TConfiguration& config, const std::string& user, int position, TClock& clock,
                    TLogSink& log, int64_t horizon, const TUsageBook& usage);

// The first moment (UTC) from fromUtc (not before time.NowUtc) to lastUtc at
// which the user at position of config, allowed until then, is no longer
// allowed, the rules read in the rules' time that time gives for each moment.
// The rules change only where a minute of the rules' time begins, and every
// zone's offset is whole minutes, so each minute is probed, and the second at
// which a budget runs out (taken to run on while the user stays). nullopt when
// none comes.
std::optional<int64_t> EndBetween(const TConfiguration& config, int position, const TRulesTime& time,
                                  const TDayUse& use, int64_t fromUtc, int64_t lastUtc);

// When the allowed time of the user at position ends as the service ends it
// (UTC), if the decision at time.NowWall finds an end within horizon: found in
// elapsed time within a clock shift of where the rules' time puts it.
std::optional<int64_t> ElapsedEnd(const TConfiguration& config, int position, const TRulesTime& time,
                                  const TDayUse& use, int64_t horizon);

// The end of extra time of seconds given to the user at position at now (the
// rules' time), to the minute: added to the end of the time they have anyway,
// or to now when they are restricted now (by the rules, or a budget used up).
int64_t ExtraTimeUntil(const TConfiguration& config, int position, int64_t now, const TDayUse& use, int64_t seconds);

// Whether the user may not use the computer now: the decision at the time the
// clock reads once, with its log lines. At level 3 and up logs "Checking user:"
// and the trace line; a rule too short to answer (or missing) answers "not
// restricted" and logs that gap at level 2, where the configuration read is
// logged too.
bool IsRestrictedNow(const TConfiguration& state, TClock& clock, TLogSink& log, const std::string& user);

inline constexpr int64_t kSecondsPerWeek = 7 * 24 * 60 * 60;
