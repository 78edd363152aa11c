#include "ctl/budget.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <vector>

#include "common/text.h"
#include "ctl/schedule.h"
#include "ctl/usage_error.h"
#include "engine/usage.h"
#include "winsys/configuration.h"

namespace {
constexpr int kMostDigits = 4;
constexpr int64_t kMinutesPerHour = 60;

// The words of the units, as written after a number ("2h", "2 hours").
constexpr const char* kHourWords[] = {"h", "hr", "hrs", "hour", "hours"};
constexpr const char* kMinuteWords[] = {"m", "min", "mins", "minute", "minutes"};

template <size_t N>
bool IsOneOf(const std::string& word, const char* const (&words)[N]) {
  return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

size_t SkipBlanks(const std::string& text, size_t at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  return at;
}

constexpr char kNoAmount[] = "has no time: add one such as 2h, 3h30m, 45m or 0";
constexpr char kEmptyBudget[] =
    "the budget is empty: give days and times such as \"Mo-Fr 2h; Sa,Su 3h30m\", or --clear to remove it";

using TDays = std::bitset<kDaysPerWeek>;

// The minutes of an amount as written, blanks and commas between its pieces
// left out; written is its span in text, for the complaints.
int32_t ReadAmount(std::string_view text, std::string_view written, const std::string& amount) {
  int64_t minutes = 0;
  if (amount != "0" && !ParseHoursAndMinutes(amount, minutes))
    throw EUsageError("\"" + std::string(written) + "\" at column " + std::to_string(written.data() - text.data() + 1) +
                      " is not a time: write it as 2h, 3h30m, 45m or 0");
  if (minutes > kMaxBudgetMinutes) throw EUsageError("a budget is at most 24h: " + std::string(written));
  return static_cast<int32_t>(minutes);
}

std::string ThreeLetterName(int day) { return DayName(day).substr(0, 3); }

// "Mon-Fri", "Sat-Sun", "Mon,Wed-Fri": runs of days, as a range when longer than one.
std::string DaysText(const TDays& days) {
  std::string text;
  for (int first = 0; first < kDaysPerWeek; ++first) {
    if (!days[static_cast<size_t>(first)]) continue;
    int last = first;
    while (last + 1 < kDaysPerWeek && days[static_cast<size_t>(last + 1)]) ++last;
    text += (text.empty() ? "" : ",") + ThreeLetterName(first) + (last > first ? "-" + ThreeLetterName(last) : "");
    first = last;
  }
  return text;
}

struct TGroup {
  int32_t Minutes;
  TDays Days;
};

// The days of each amount, in the order of each amount's first day.
std::vector<TGroup> GroupsOf(const TBudget& budget) {
  std::vector<TGroup> groups;
  for (int day = 0; day < kDaysPerWeek; ++day) {
    const int32_t minutes = budget[static_cast<size_t>(day)];
    if (minutes == kNoBudget) continue;
    auto group = groups.begin();
    while (group != groups.end() && group->Minutes != minutes) ++group;
    if (group == groups.end()) group = groups.insert(groups.end(), TGroup{minutes, TDays()});
    group->Days.set(static_cast<size_t>(day));
  }
  return groups;
}
}  // namespace

bool ParseHoursAndMinutes(const std::string& text, int64_t& minutes) {
  minutes = 0;
  bool hours = false, anyMinutes = false;
  size_t at = SkipBlanks(text, 0);
  while (at < text.size()) {
    size_t digits = at;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])) != 0) ++digits;
    if (digits == at || digits - at > kMostDigits) return false;
    const int64_t number = std::stoll(text.substr(at, digits - at));
    const size_t unitStart = SkipBlanks(text, digits);
    size_t unitEnd = unitStart;
    while (unitEnd < text.size() && std::isalpha(static_cast<unsigned char>(text[unitEnd])) != 0) ++unitEnd;
    const std::string unit = AsciiLower(text.substr(unitStart, unitEnd - unitStart));
    if (IsOneOf(unit, kHourWords) && !hours && !anyMinutes) {
      hours = true;
      minutes += number * kMinutesPerHour;
    } else if (IsOneOf(unit, kMinuteWords) && !anyMinutes) {
      anyMinutes = true;
      minutes += number;
    } else {
      return false;
    }
    at = SkipBlanks(text, unitEnd);
  }
  return hours || anyMinutes;
}

TBudget ParseBudget(const std::string& text) {
  TBudget budget;
  budget.fill(kNoBudget);
  const std::vector<TDayClause> clauses = ReadDayClauses(text, kNoAmount, true);
  if (clauses.empty()) throw EUsageError(kEmptyBudget);
  for (const TDayClause& clause : clauses) {
    const std::string_view first = clause.Values.front();
    const std::string_view last = clause.Values.back();
    const std::string_view written(first.data(), static_cast<size_t>(last.data() + last.size() - first.data()));
    std::string amount;
    for (const std::string_view piece : clause.Values) amount += piece;
    const int32_t minutes = ReadAmount(text, written, amount);
    for (int day = 0; day < kDaysPerWeek; ++day) {
      if (!clause.Days[static_cast<size_t>(day)]) continue;
      if (budget[static_cast<size_t>(day)] != kNoBudget)
        throw EUsageError(DayName(day) + " is named twice: give each day one time");
      budget[static_cast<size_t>(day)] = minutes;
    }
  }
  return budget;
}

std::string BudgetSentence(const std::string& user, const TBudget& budget) {
  const std::vector<TGroup> groups = GroupsOf(budget);
  if (groups.empty()) return user + " has no daily budget: they may use the computer whenever the rules allow.";
  std::vector<TGroup> some;
  TDays none, limited;
  for (const TGroup& group : groups) {
    limited |= group.Days;
    if (group.Minutes == 0)
      none = group.Days;
    else
      some.push_back(group);
  }
  const TDays unlimited = ~limited;
  std::string text = user + " may ";
  if (some.empty()) {
    text += "not use the computer" + (none.all() ? std::string(" at all") : " on " + DaysText(none));
  } else {
    text += "use the computer ";
    for (size_t i = 0; i < some.size(); ++i) {
      text += i == 0 ? "" : i + 1 == some.size() ? " and " : ", ";
      text += FormatDuration(some[i].Minutes * 60LL) + (i == 0 ? " a day" : "");
      if (!some[i].Days.all()) text += " " + DaysText(some[i].Days);
    }
    if (none.any()) text += ", and not at all on " + DaysText(none);
  }
  if (unlimited.any()) text += "; no daily limit on " + DaysText(unlimited);
  return text + ".";
}

std::string WeekBudgetSentence(const std::string& user, int32_t minutes) {
  if (minutes == kNoBudget) return user + " has no weekly limit.";
  if (minutes == 0) return user + " may not use the computer this week or any other.";
  return user + " may use the computer " + FormatDuration(minutes * 60LL) + " a week, Monday to Sunday.";
}
