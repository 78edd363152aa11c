#pragma once
// The week as the service reads a user's day rules (Time1 = Monday .. Time7 =
// Sunday, one character per half hour from 00:00), and the names the tool and
// the tray show for days and times. Pure: no platform calls.

#include <array>
#include <bitset>
#include <string>
#include <vector>

constexpr int kDaysPerWeek = 7;      // day 0 = Monday .. 6 = Sunday
constexpr int kSlotsPerDay = 48;     // slot 0 = 00:00-00:29 .. 47 = 23:30-23:59
constexpr int kMinutesPerSlot = 30;
constexpr int kMinutesPerDay = kSlotsPerDay * kMinutesPerSlot;
constexpr char kAllowedMark = '0';   // any other character restricts
constexpr char kRestrictedMark = '1';

// The allowed half hours of each day, Monday first.
using TWeek = std::array<std::bitset<kSlotsPerDay>, kDaysPerWeek>;

// What the service allows under rules (Time1 first, any count), judged by its
// own RuleRestricts: a half hour is allowed where its character is '0' or where
// the rule has none (a shorter rule, a missing day). Characters beyond the 48th
// and rules beyond the seventh are never read.
TWeek WeekOfRules(const std::vector<std::string>& rules);

// Seven rules of 48 characters: kAllowedMark where week allows, kRestrictedMark
// elsewhere.
std::vector<std::string> RulesOfWeek(const TWeek& week);

// "Monday" for day 0 .. "Sunday" for day 6.
const std::string& DayName(int day);

// "Mo" for day 0 .. "Su" for day 6: how the schedule names days.
std::string ShortDayName(int day);

// "HH:MM" for minutes since midnight, 0 to kMinutesPerDay ("24:00").
std::string ClockText(int minutes);
