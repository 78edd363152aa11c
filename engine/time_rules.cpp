#include "engine/time_rules.h"

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
