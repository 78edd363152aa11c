#include "engine/week.h"

#include "engine/time_rules.h"

TWeek WeekOfRules(const std::vector<std::string>& rules) {
  TWeek week;
  for (int day = 0; day < kDaysPerWeek; ++day) {
    const std::string none;
    const std::string& rule = static_cast<size_t>(day) < rules.size() ? rules[static_cast<size_t>(day)] : none;
    for (int slot = 0; slot < kSlotsPerDay; ++slot)
      week[static_cast<size_t>(day)][static_cast<size_t>(slot)] = !RuleRestricts(rule, slot);
  }
  return week;
}

std::vector<std::string> RulesOfWeek(const TWeek& week) {
  std::vector<std::string> rules;
  for (const auto& day : week) {
    std::string rule(kSlotsPerDay, kRestrictedMark);
    for (int slot = 0; slot < kSlotsPerDay; ++slot)
      if (day[static_cast<size_t>(slot)]) rule[static_cast<size_t>(slot)] = kAllowedMark;
    rules.push_back(rule);
  }
  return rules;
}

const std::string& DayName(int day) {
  static const std::string kNames[kDaysPerWeek] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                   "Friday", "Saturday", "Sunday"};
  return kNames[day];
}

std::string ShortDayName(int day) { return DayName(day).substr(0, 2); }

std::string ClockText(int minutes) {
  const int hour = minutes / 60;
  const int minute = minutes % 60;
  std::string text;
  text += static_cast<char>('0' + hour / 10);
  text += static_cast<char>('0' + hour % 10);
  text += ':';
  text += static_cast<char>('0' + minute / 10);
  text += static_cast<char>('0' + minute % 10);
  return text;
}
