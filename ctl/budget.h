#pragma once
// The daily budget as nortavelctl reads and says it: a text such as
// "Mo-Fr 2h; Sa,Su 3h30m" into the minutes of Budget1 (Monday) .. Budget7, and
// back into plain English. Pure: no platform calls; any thread.

#include <array>
#include <cstdint>
#include <string>

#include "engine/week.h"

// Minutes per day, Monday first; kNoBudget (winsys/configuration.h) for a day
// without a budget.
using TBudget = std::array<int32_t, kDaysPerWeek>;

// A length written as "30m", "2h" or "1h30m", or in words, "2 hours", "90
// minutes", "1 hour 30 minutes" (hours before minutes, one to four digits each;
// h, hr, hrs, hour, hours and m, min, mins, minute, minutes in any letter case;
// blanks anywhere between the pieces): its minutes, which may be 0. False for
// any other text, a bare number included.
bool ParseHoursAndMinutes(const std::string& text, int64_t& minutes);

// The budget text names: clauses apart by ";", each the days as a schedule
// names them and one amount, "2h", "3h30m", "45m", "90 minutes" or "0" (no time
// that day), at most 24h; blanks may stand inside an amount ("2h 30m"). A text
// of one amount without days ("2h") names every day. Days no clause names have
// no budget. Raises EUsageError naming the fix for an empty text, a day
// named twice, an amount it cannot read (quoted with its column, as the schedule
// quotes its errors) and one beyond 24h ("a budget is at most 24h: 25h").
TBudget ParseBudget(const std::string& text);

// One sentence saying what budget lets user do, e.g.
//   "anna may use the computer 2 h a day Mon-Fri and 3 h 30 min Sat-Sun."
// Days are grouped by their amount, in the order of each group's first day;
// days without a budget are named as having no daily limit.
std::string BudgetSentence(const std::string& user, const TBudget& budget);
// The weekly budget of user in one sentence: "anna may use the computer 10 h a
// week, Monday to Sunday.", or that there is none (kNoBudget).
std::string WeekBudgetSentence(const std::string& user, int32_t minutes);
