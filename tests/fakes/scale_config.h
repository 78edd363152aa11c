#pragma once
// The large configuration of the scale test and benchmark: 1,000 restricted
// users, each with seven day rules of 64 KiB, in an in-memory registry. Every
// rule is generated from its user and day, so a test can regenerate what it
// expects instead of keeping a second copy.

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>

#include "tests/fakes/fake_registry.h"

namespace scale_config {

constexpr int kUsers = 1000;
constexpr int kDays = 7;
constexpr size_t kRuleBytes = 64 * 1024;
constexpr size_t kSlots = 48;

inline std::string UserName(int user) {
  char name[16];
  std::snprintf(name, sizeof name, "kid%04d", user);
  return name;
}

// About one slot in three is restricted, differently for each user and day.
inline bool IsRestrictedSlot(int user, int dayIndex, int slot) { return (user + 5 * dayIndex + slot) % 3 == 0; }

// The first 48 characters decide ("0" allowed, any of "1x #" restricted); the
// rest (up to ruleBytes) names its user and day, so that a rule handed to the
// wrong user shows.
inline std::string DayRule(int user, int dayIndex, size_t ruleBytes = kRuleBytes) {
  std::string rule(std::max(ruleBytes, kSlots), '\0');
  for (size_t slot = 0; slot < kSlots; ++slot)
    rule[slot] = IsRestrictedSlot(user, dayIndex, static_cast<int>(slot)) ? "1x #"[(user + slot) % 4] : '0';
  const std::string filler = "|" + UserName(user) + " Time" + std::to_string(dayIndex + 1);
  std::copy_n(filler.begin(), std::min(filler.size(), rule.size() - kSlots), rule.begin() + kSlots);
  // Doubling copies: the rules are generated again for every check.
  for (size_t done = filler.size(); kSlots + done < rule.size(); done *= 2)
    std::copy_n(rule.begin() + kSlots, std::min(done, rule.size() - kSlots - done), rule.begin() + kSlots + done);
  return rule;
}

// The main key (Debug 2, Path C:\Logs) and every user with its seven rules,
// users created in order, which is the order the fake enumerates them.
inline void FillRegistry(TFakeRegistry& registry, size_t ruleBytes = kRuleBytes) {
  const std::string main = "SOFTWARE\\Vrem\\NortavelFree";
  registry.SetDword(main, "Debug", 2);
  registry.SetString(main, "Path", "C:\\Logs");
  for (int user = 0; user < kUsers; ++user) {
    const std::string key = main + "\\Time_restrictions\\" + UserName(user);
    for (int day = 0; day < kDays; ++day) registry.SetString(key, "Time" + std::to_string(day + 1), DayRule(user, day, ruleBytes));
  }
}

}  // namespace scale_config
