#pragma once
// The week at a glance for the console: plain ASCII, no line longer than 76
// columns, so cmd.exe's 80-column window shows it unwrapped. Pure; any thread.

#include <optional>
#include <string>
#include <vector>

// A half hour of the week: Day 0 = Monday .. 6 = Sunday, Slot 0 = 00:00-00:29 ..
// 47 = 23:30-23:59.
struct TWeekSlot {
  int Day = 0;
  int Slot = 0;
};

// rules (Time1 first, any count) as the service reads them (see WeekOfRules):
// a header of the hours 0 to 23, then a row a day, Monday first, of 48 cells,
// "#" restricted and "." allowed, two cells an hour and a blank between hours.
// When now names a half hour of the week, ">" stands before its day and a line
// under the grid has "^" under its cell; a now out of range marks nothing. Last,
// a legend. Every line ends in "\n". E.g. with now on Tuesday 01:30:
//        0  1  2  3 ...
//    Mon ## ## ## ## ...
//   >Tue ## ## ## ## ...
//    ...
//    Sun ## ## ## ## ...
//            ^
//   # restricted  . allowed  > ^ now: Tue 01:30
std::string FormatWeekGrid(const std::vector<std::string>& rules, std::optional<TWeekSlot> now);
