#pragma once
// The schedule syntax of nortavelctl: the half hours in which a user MAY use the
// computer, read into the seven day rules the service stores (Time1 = Monday ..
// Time7 = Sunday, 48 characters, '0' allowed, '1' restricted) and written back.
// Pure: no platform calls; any thread.
//
// Syntax (letter case never matters):
//   schedule := "always" | "never" | clause { ";" clause }
//   clause   := days window { window }          (blanks or commas between the parts)
//   days     := item { "," item }               (blanks may stand for the commas)
//   item     := day | day "-" day | "daily" | "weekdays" | "weekends"
//   day      := Mo Tu We Th Fr Sa Su, Mon Tue .. Sun, M T W F, or the full English name
//   window   := time "-" time                   (blanks may stand around the dash)
//   time     := HH:MM, H:MM or a bare hour H, each with or without AM or PM;
//               minutes 00 or 30; 12AM is 00:00, 12PM is 12:00
// e.g. "Mo-Fr 07:00-08:00 15:00-20:00; Sa,Su 09:00-21:30", or
// "mon-fri 7-8, 3pm to 8pm; SAT,SUN 9am-9:30pm" for much the same: the word
// "to" between blanks stands for a dash, in windows and day ranges alike.
//   - A window includes its start and excludes its end; "24:00" may end one.
//     An end before the start runs past midnight into the next day (Sunday's
//     into Monday). An end equal to the start is an error: the window would be
//     empty, and 00:00-24:00 is the whole day.
//   - A day range runs forward from its first day to its last, through Sunday to
//     Monday when it has to: "Fr-Mo" is Fr,Sa,Su,Mo, and "Su-Sa" the whole week
//     (so a range reads the same in a Sunday-first week). A range from a day to
//     itself is an error.
//   - Days no clause names are restricted all day; clauses naming the same day
//     add their windows up. "always" (nothing restricted; "all" too) and "never"
//     (everything restricted) stand alone. Empty clauses (";;", a final ";") are
//     passed over.
//
// The net user /times syntax is read too, e.g. "M-F,8AM-5PM;Sa-Su,9AM-1PM": in a
// clause days and hours are separated by commas, days first; hours are whole,
// 12-hour (8AM, 12PM, 5P.M.) or 24-hour (8, 8:00, 17:00, 24:00 as an end); an
// hour range is "8AM-5PM", a single hour ("4PM") is that hour. Windows, ranges
// and the words above behave as in our syntax. A text is read in this syntax
// when one of its clauses has its shape, a comma between the days and the
// hours, and a comma somewhere is directly followed by a digit ("M,4PM");
// otherwise in ours, whose errors it then reports. A comma between two windows
// of ours ("07:00-08:00,15:00-20:00") is no such shape.

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/week.h"

// Seven rules of 48 characters ('0' allowed, '1' restricted), Monday first, for
// text. Raises EUsageError for a text it cannot read; the message quotes the
// offending piece, gives its column (1 = the text's first character) and names
// the fix, e.g.
//   "07:15" at column 7 is not on a half hour: use 07:00 or 07:30
std::vector<std::string> ParseSchedule(const std::string& text);

// rules (Time1 first, any count) written in our syntax, such that ParseSchedule
// of the result gives back rules when they are seven 48-character rules of '0'
// and '1'. Other rules are described as the service reads them: any character
// but '0' restricts, half hours beyond a shorter rule and days without a rule
// are allowed, the rest is never read. Days with the same allowed half hours
// share a clause, in the order of their first day ("Mo-Fr", "Sa,Su", "daily");
// a fully restricted day is left out; "always" and "never" stand for the whole
// week allowed or restricted. Never raises.
std::string FormatSchedule(const std::vector<std::string>& rules);

// A time of day as a schedule's window writes it, which grant's "until" takes
// too: 21:30, 9pm, 9:30pm or 21 (12am is 00:00, 12pm is 12:00, a blank may
// stand before AM or PM), at any minute. Its minutes after midnight, from 0 to
// 1440 (24:00); none for any other text.
std::optional<int> ParseTimeOfDay(std::string_view text);

// A clause of a text that gives days something other than windows, such as the
// daily budget ("Mo-Fr 2h; Sa,Su 3h30m").
struct TDayClause {
  std::bitset<kDaysPerWeek> Days;          // bit 0 = Monday
  std::vector<std::string_view> Values;    // views into the text read
};

// The clauses of text, apart by ";", in our syntax: each names days as a
// schedule's clause does (without "always" and "never"), then values, the parts
// from the first that starts with a digit on, as views into text. Empty clauses
// are passed over, so a blank text gives none. A text of one clause without days
// ("2h") names every day when everyDayWithoutDays is set. Raises EUsageError as
// ParseSchedule does, quoting the piece and its column: a clause without days
// (otherwise), a part that is not a day, days after the values, and a clause
// without values, of which noValue names the fix (e.g. "has no time: add one
// such as 2h").
std::vector<TDayClause> ReadDayClauses(std::string_view text, const char* noValue, bool everyDayWithoutDays);
