#include "engine/decision.h"

#include "common/calendar.h"
#include "common/debug_level.h"
#include "diag/messages.h"
#include "engine/time_rules.h"

namespace {
constexpr int64_t kHalfHour = 30 * 60;

const std::string& RuleOn(const TStringList& rules, int day) {
  static const std::string kNone;
  return day < rules.Count() ? rules[day] : kNone;
}

// Whether extra time lasts beyond t; Until 0 is no extra time at all.
bool ExtraTimeCovers(const TUserExtras& extras, int64_t t) {
  return extras.ExtraTime.Until != 0 && t < extras.ExtraTime.Until;
}

// Whether the user may use the computer at t: the rule allows that half hour (a
// missing character allows it), or extra time lasts beyond t.
bool AllowedAt(const TStringList& rules, const TUserExtras& extras, int64_t t) {
  if (ExtraTimeCovers(extras, t)) return true;
  const TDateTime time = DateTimeAt(t);
  return !RuleRestricts(RuleOn(rules, DayIndexOf(time)), SlotIndexOf(time));
}

// The first moment after now, at most horizon ahead, at which being allowed is
// no longer allowed. It changes only where a half hour begins or the extra time ends.
std::optional<int64_t> EndOfAllowed(const TStringList& rules, const TUserExtras& extras, int64_t now,
                                    int64_t horizon) {
  const int64_t extraEnds = extras.ExtraTime.Until;
  for (int64_t boundary = (now / kHalfHour + 1) * kHalfHour; boundary - kHalfHour <= now + horizon;
       boundary += kHalfHour) {
    if (extraEnds != 0 && extraEnds > now && extraEnds < boundary && extraEnds <= now + horizon && !AllowedAt(rules, extras, extraEnds))
      return extraEnds;
    if (boundary > now + horizon) break;
    if (!AllowedAt(rules, extras, boundary)) return boundary;
  }
  return std::nullopt;
}

// The first half hour after now, at most horizon ahead, that is allowed. Extra
// time cannot open it: restricted now means any extra time has already passed.
std::optional<int64_t> NextAllowed(const TStringList& rules, const TUserExtras& extras, int64_t now,
                                   int64_t horizon) {
  for (int64_t boundary = (now / kHalfHour + 1) * kHalfHour; boundary <= now + horizon; boundary += kHalfHour)
    if (AllowedAt(rules, extras, boundary)) return boundary;
  return std::nullopt;
}

TDecision DecideAt(const TStringList& rules, const TUserExtras& extras, const TDateTime& time, int64_t now,
                   int64_t horizon) {
  const std::string& rule = RuleOn(rules, DayIndexOf(time));
  const int slot = SlotIndexOf(time);
  TDecision decision;
  if (slot >= static_cast<int>(rule.size())) {
    decision.Reason = TDecisionReason::NoRule;
  } else if (RuleRestricts(rule, slot)) {
    decision.Allowed = ExtraTimeCovers(extras, now);
    if (decision.Allowed) decision.Reason = TDecisionReason::ExtraTime;
  }
  decision.Until = decision.Allowed ? EndOfAllowed(rules, extras, now, horizon)
                                    : NextAllowed(rules, extras, now, horizon);
  return decision;
}

}  // namespace

const TStringList& RulesOf(const TConfiguration& config, int position) {
  static const TStringList kNoRules;
  return position >= 0 && position < static_cast<int>(config.UserRules.size())
             ? config.UserRules[static_cast<size_t>(position)]
             : kNoRules;
}

const TUserExtras& ExtrasOf(const TConfiguration& config, int position) {
  static const TUserExtras kNoExtras;
  return position >= 0 && position < static_cast<int>(config.UserExtras.size())
             ? config.UserExtras[static_cast<size_t>(position)]
             : kNoExtras;
}

TDecision Decide(const TStringList& rules, const TUserExtras& extras, int64_t now, int64_t horizon) {
  return DecideAt(rules, extras, DateTimeAt(now), now, horizon);
}

TDecision DecideFor(const TConfiguration& config, int position, int64_t now, int64_t horizon) {
  return Decide(RulesOf(config, position), ExtrasOf(config, position), now, horizon);
}

TDecision DecideNow(const TConfiguration& config, const std::string& user, int position, TClock& clock,
                    TLogSink& log, int64_t horizon) {
  const TDateTime now = clock.LocalNow();
  const TStringList& rules = RulesOf(config, position);
  const int day = DayIndexOf(now);
  const int slot = SlotIndexOf(now);
  const std::string& rule = RuleOn(rules, day);
  const bool answerable = slot < static_cast<int>(rule.size());
  if (LevelAdmits(config.DebugLevel, 3)) {
    const std::string character = answerable ? std::string(1, rule[static_cast<size_t>(slot)]) : std::string();
    log.Log(kMsgCheckingUser + user);
    log.Log(kMsgTimeCheckDay + std::to_string(day) + kMsgTimeCheckPosition + std::to_string(slot) +
            kMsgTimeCheckChar + character + kMsgTimeCheckRule + rule);
  }
  // No character for this half hour: the account stays usable rather than the
  // pass ending, and the administrator learns which rule is missing or too short.
  if (!answerable && LevelAdmits(config.DebugLevel, 2))
    log.Log(kMsgNoUsableRule + user + " day=" + std::to_string(day) + " position=" + std::to_string(slot));
  return DecideAt(rules, ExtrasOf(config, position), now, SecondsOf(now), horizon);
}
