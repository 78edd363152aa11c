#include "engine/time_rules.h"

#include "common/calendar.h"
#include "common/debug_level.h"
#include "diag/messages.h"

int DayIndexOf(const TDateTime& time) {
  // Weekdays counted 1 = Sunday .. 7 = Saturday, less 2, with Sunday wrapping to 6.
  const int weekday = time.DayOfWeek + 1;
  return weekday == 1 ? 6 : weekday - 2;
}

int SlotIndexOf(const TDateTime& time) { return time.Minute / 30 + time.Hour * 2; }

std::string RuleOfTheDay(const TConfiguration& state, const std::string& user, int dayIndex) {
  const int position = state.RestrictedUsers.IndexOf(user);
  if (position < 0 || position >= static_cast<int>(state.UserRules.size())) return {};
  const TStringList& rules = state.UserRules[static_cast<size_t>(position)];
  if (dayIndex >= rules.Count()) return {};
  return rules[dayIndex];
}

bool RuleRestricts(const std::string& rule, int slot) {
  return slot >= 0 && slot < static_cast<int>(rule.size()) && rule[static_cast<size_t>(slot)] != '0';
}

bool IsRestrictedNow(const TConfiguration& state, TClock& clock, TLogSink& log, const std::string& user) {
  const TDateTime now = clock.LocalNow();
  const int slot = SlotIndexOf(now);
  const int day = DayIndexOf(now);
  const std::string rule = RuleOfTheDay(state, user, day);
  const bool answerable = slot < static_cast<int>(rule.size());
  const std::string character = answerable ? std::string(1, rule[static_cast<size_t>(slot)]) : std::string();

  if (LevelAdmits(state.DebugLevel, 3)) {
    log.Log(kMsgCheckingUser + user);
    log.Log(kMsgTimeCheckDay + std::to_string(day) + kMsgTimeCheckPosition + std::to_string(slot) +
            kMsgTimeCheckChar + character + kMsgTimeCheckRule + rule);
  }
  if (!answerable) {
    // No character for this half hour: leave the account usable rather than end
    // the pass, and tell the administrator which rule is missing or too short.
    if (LevelAdmits(state.DebugLevel, 2))
      log.Log(kMsgNoUsableRule + user + " day=" + std::to_string(day) + " position=" + std::to_string(slot));
    return false;
  }
  return RuleRestricts(rule, slot);
}

TExtraTime ExtraTimeOf(const TConfiguration& state, const std::string& user) {
  const int position = state.RestrictedUsers.IndexOf(user);
  if (position < 0 || position >= static_cast<int>(state.ExtraTime.size())) return {};
  return state.ExtraTime[static_cast<size_t>(position)];
}

bool AllowedAt(const TConfiguration& state, const std::string& user, int64_t t) {
  if (t < ExtraTimeOf(state, user).Until) return true;
  const TDateTime time = DateTimeAt(t);
  return !RuleRestricts(RuleOfTheDay(state, user, DayIndexOf(time)), SlotIndexOf(time));
}

std::optional<int64_t> AllowedTimeEnd(const TConfiguration& state, const std::string& user, int64_t now,
                                      int64_t horizon) {
  constexpr int64_t kHalfHour = 30 * 60;
  if (!AllowedAt(state, user, now)) return std::nullopt;
  // Being allowed changes only where a half hour begins or the extra time ends.
  const int64_t extraEnds = ExtraTimeOf(state, user).Until;
  for (int64_t boundary = (now / kHalfHour + 1) * kHalfHour; boundary - kHalfHour <= now + horizon;
       boundary += kHalfHour) {
    if (extraEnds > now && extraEnds < boundary && extraEnds <= now + horizon && !AllowedAt(state, user, extraEnds))
      return extraEnds;
    if (boundary > now + horizon) break;
    if (!AllowedAt(state, user, boundary)) return boundary;
  }
  return std::nullopt;
}
