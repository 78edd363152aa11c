#include "engine/decision.h"

#include <algorithm>
#include <utility>

#include "common/calendar.h"
#include "common/debug_level.h"
#include "diag/messages.h"
#include "engine/time_rules.h"

namespace {
constexpr int64_t kHalfHour = 30 * 60;
constexpr int64_t kMinute = 60;

const std::string& RuleOn(const TStringList& rules, int day) {
  static const std::string kNone;
  return day < rules.Count() ? rules[day] : kNone;
}

// Whether extra time lasts beyond t; Until 0 is no extra time at all.
bool ExtraTimeCovers(const TUserExtras& extras, int64_t t) {
  return extras.ExtraTime.Until != 0 && t < extras.ExtraTime.Until;
}

// One user's rules, extras and use of the day, decided from now: everything a
// moment's answer needs.
struct TJudge {
  const TStringList& Rules;
  const TUserExtras& Extras;
  int64_t Now;
  TDayUse Use;

  bool Budgeted;

  TJudge(const TStringList& rules, const TUserExtras& extras, int64_t now, const TDayUse& use)
      : Rules(rules), Extras(extras), Now(now), Use(use), Budgeted(extras.HasBudget()) {
    if (Use.Day == kNoDay) Use = TDayUse{DayOf(now), 0, 0};
  }

  // The budget of the day whose use t counts towards: the later of t's day and
  // the day used so far (a clock set back counts against the latest day).
  int64_t CountedDay(int64_t t) const { return std::max(DayOf(t), Use.Day); }
  int32_t BudgetOn(int64_t day) const { return Extras.Budget[static_cast<size_t>(WeekdayOf(day))]; }

  // The moment the budget of the day counted at t runs out, were the user to
  // stay from now on (from midnight on a later day); nullopt without a budget.
  std::optional<int64_t> DayBudgetEnd(int64_t t) const {
    const int64_t day = CountedDay(t);
    const int32_t minutes = BudgetOn(day);
    if (minutes == kNoBudget) return std::nullopt;
    if (day == Use.Day) return Now + std::max<int64_t>(minutes * kMinute - Use.Seconds, 0);
    return day * kSecondsPerDay + minutes * kMinute;
  }

  // Likewise for the week's budget (from Monday 00:00 in a later week).
  std::optional<int64_t> WeekBudgetEnd(int64_t t) const {
    if (Extras.WeekBudget == kNoBudget) return std::nullopt;
    const int64_t week = WeekOf(CountedDay(t));
    if (week == WeekOf(Use.Day)) return Now + std::max<int64_t>(Extras.WeekBudget * kMinute - Use.WeekSeconds, 0);
    return week * kSecondsPerDay + Extras.WeekBudget * kMinute;
  }

  // The first of the two ends.
  std::optional<int64_t> BudgetEnd(int64_t t) const {
    const std::optional<int64_t> day = DayBudgetEnd(t);
    const std::optional<int64_t> week = WeekBudgetEnd(t);
    if (!day || (week && *week < *day)) return week;
    return day;
  }

  // Which budget is used up at t, if one is. Looking for when a restricted user
  // may come back, nothing more is used until then: the day and the week
  // counted now keep what is left, and a later day's or week's budget is whole
  // when it opens.
  std::optional<TDecisionReason> BudgetSpent(int64_t t, bool reopening = false) const {
    if (!Budgeted) return std::nullopt;
    if (reopening) {
      const int64_t day = CountedDay(t);
      const int32_t minutes = BudgetOn(day);
      if (minutes != kNoBudget && (day == Use.Day ? Use.Seconds : 0) >= minutes * kMinute)
        return TDecisionReason::Budget;
      const bool thisWeek = WeekOf(day) == WeekOf(Use.Day);
      if (Extras.WeekBudget != kNoBudget && (thisWeek ? Use.WeekSeconds : 0) >= Extras.WeekBudget * kMinute)
        return TDecisionReason::WeekBudget;
      return std::nullopt;
    }
    const std::optional<int64_t> day = DayBudgetEnd(t);
    if (day && t >= *day) return TDecisionReason::Budget;
    const std::optional<int64_t> week = WeekBudgetEnd(t);
    if (week && t >= *week) return TDecisionReason::WeekBudget;
    return std::nullopt;
  }

  // Whether the user may use the computer at t: the rule allows that half hour
  // (a missing character allows it) and the day's budget lasts, or extra time
  // lasts beyond t.
  bool AllowedAt(int64_t t, bool reopening = false) const {
    if (ExtraTimeCovers(Extras, t)) return true;
    const TDateTime time = DateTimeAt(t);
    return !RuleRestricts(RuleOn(Rules, DayIndexOf(time)), SlotIndexOf(time)) && !BudgetSpent(t, reopening);
  }

  // The first moment after now, at most horizon ahead, at which being allowed
  // is no longer allowed. It changes only where a half hour begins, the extra
  // time ends or a budget runs out; a half hour never spans midnight, so each
  // holds at most one budget's end.
  std::optional<int64_t> EndOfAllowed(int64_t horizon) const {
    const int64_t last = Now + horizon;
    for (int64_t boundary = (Now / kHalfHour + 1) * kHalfHour; boundary - kHalfHour <= last; boundary += kHalfHour) {
      const int64_t from = std::max(Now, boundary - kHalfHour);
      std::optional<int64_t> inside[2] = {Extras.ExtraTime.Until != 0 ? std::optional<int64_t>(Extras.ExtraTime.Until)
                                                                     : std::nullopt,
                                          Budgeted ? BudgetEnd(from) : std::nullopt};
      if (inside[0] && inside[1] && *inside[1] < *inside[0]) std::swap(inside[0], inside[1]);
      for (const std::optional<int64_t>& t : inside)
        if (t && *t > from && *t < boundary && *t <= last && !AllowedAt(*t)) return *t;
      if (boundary > last) break;
      if (!AllowedAt(boundary)) return boundary;
    }
    return std::nullopt;
  }

  // The first half hour after now, at most horizon ahead, that is allowed.
  // Extra time cannot open it: restricted now means any extra time has already
  // passed; a budget opens only at midnight, itself a half hour's start.
  std::optional<int64_t> NextAllowed(int64_t horizon) const {
    for (int64_t boundary = (Now / kHalfHour + 1) * kHalfHour; boundary <= Now + horizon; boundary += kHalfHour)
      if (AllowedAt(boundary, true)) return boundary;
    return std::nullopt;
  }

  TDecision DecideAt(const TDateTime& time, int64_t horizon) const {
    const std::string& rule = RuleOn(Rules, DayIndexOf(time));
    const int slot = SlotIndexOf(time);
    TDecision decision;
    bool ruleRestricts = false;
    if (slot >= static_cast<int>(rule.size())) {
      decision.Reason = TDecisionReason::NoRule;
    } else {
      ruleRestricts = RuleRestricts(rule, slot);
    }
    const std::optional<TDecisionReason> spent = BudgetSpent(Now);
    if (ruleRestricts || spent) {
      decision.Allowed = ExtraTimeCovers(Extras, Now);
      decision.Reason = decision.Allowed ? TDecisionReason::ExtraTime : ruleRestricts ? TDecisionReason::Rule : *spent;
    }
    decision.Until = decision.Allowed ? EndOfAllowed(horizon) : NextAllowed(horizon);
    return decision;
  }
};

}  // namespace

std::optional<int64_t> BudgetLeft(const TUserExtras& extras, const TDayUse& use) {
  if (use.Day == kNoDay) return std::nullopt;
  std::optional<int64_t> left;
  const int32_t minutes = extras.Budget[static_cast<size_t>(WeekdayOf(use.Day))];
  if (minutes != kNoBudget) left = std::max<int64_t>(minutes * kMinute - use.Seconds, 0);
  if (extras.WeekBudget != kNoBudget) {
    const int64_t week = std::max<int64_t>(extras.WeekBudget * kMinute - use.WeekSeconds, 0);
    if (!left || week < *left) left = week;
  }
  return left;
}

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

TDecision Decide(const TStringList& rules, const TUserExtras& extras, int64_t now, int64_t horizon,
                 const TDayUse& use) {
  return TJudge(rules, extras, now, use).DecideAt(DateTimeAt(now), horizon);
}

TDecision DecideFor(const TConfiguration& config, int position, int64_t now, int64_t horizon, const TDayUse& use) {
  return Decide(RulesOf(config, position), ExtrasOf(config, position), now, horizon, use);
}

TDecision DecideNow(const TConfiguration& config, const std::string& user, int position, TClock& clock,
                    TLogSink& log, int64_t horizon, const TUsageBook& usage) {
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
  const TUserExtras& extras = ExtrasOf(config, position);
  const int64_t seconds = SecondsOf(now);
  const TDayUse use = extras.HasBudget() ? usage.UseOf(user, DayOf(seconds)) : TDayUse();
  return TJudge(rules, extras, seconds, use).DecideAt(now, horizon);
}

std::optional<int64_t> EndBetween(const TConfiguration& config, int position, const TRulesTime& time,
                                  const TDayUse& use, int64_t fromUtc, int64_t lastUtc) {
  auto allowedAt = [&](int64_t utc) {
    const int64_t more = utc - time.NowUtc;
    const TDayUse then = use.Day == kNoDay ? use : TDayUse{use.Day, use.Seconds + more, use.WeekSeconds + more};
    return DecideFor(config, position, time.WallAt(utc), 0, then).Allowed;
  };
  std::optional<int64_t> end;
  for (int64_t utc = (std::max(fromUtc, time.NowUtc) + kMinute - 1) / kMinute * kMinute; utc <= lastUtc;
       utc += kMinute)
    if (!allowedAt(utc)) {
      end = utc;
      break;
    }
  const std::optional<int64_t> left = BudgetLeft(ExtrasOf(config, position), use);
  if (left && time.NowUtc + *left <= lastUtc && (!end || time.NowUtc + *left < *end) &&
      !allowedAt(time.NowUtc + *left))
    end = time.NowUtc + *left;
  return end;
}

std::optional<int64_t> ElapsedEnd(const TConfiguration& config, int position, const TRulesTime& time,
                                  const TDayUse& use, int64_t horizon) {
  const TDecision decision = DecideFor(config, position, time.NowWall, horizon, use);
  if (!decision.Allowed || !decision.Until) return std::nullopt;
  // Until then the rules' time stays before the end, however its clock jumps.
  const int64_t near = time.NowUtc + (*decision.Until - time.NowWall);
  const std::optional<int64_t> end =
      EndBetween(config, position, time, use, near - kMostClockShift, near + kMostClockShift);
  return end ? end : near;
}

int64_t ExtraTimeUntil(const TConfiguration& config, int position, int64_t now, const TDayUse& use, int64_t seconds) {
  const TDecision decision = DecideFor(config, position, now, kSecondsPerWeek, use);
  const int64_t from = decision.Allowed ? decision.Until.value_or(now) : now;
  return (from + seconds + kMinute - 1) / kMinute * kMinute;
}

bool IsRestrictedNow(const TConfiguration& state, TClock& clock, TLogSink& log, const std::string& user) {
  return !DecideNow(state, user, state.RestrictedUsers.IndexOf(user), clock, log, 0, TUsageBook()).Allowed;
}
