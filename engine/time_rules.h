#pragma once
// Evaluation of day rules: one character per half hour from 00:00, "0" allowed,
// anything else restricted; Time1 (index 0) is Monday, Time7 (index 6) Sunday.

#include <cstdint>
#include <string>

#include "common/clock.h"
#include "winsys/configuration.h"

// 0 = Monday .. 6 = Sunday.
int DayIndexOf(const TDateTime& time);
// hour * 2 + minute / 30: 0..47.
int SlotIndexOf(const TDateTime& time);

// The rule of the user's day: empty when the user is not listed or has no rule
// for that day.
std::string RuleOfTheDay(const TConfiguration& state, const std::string& user, int dayIndex);

// Whether rule restricts half hour slot: its character there is not "0". A
// rule too short to have one does not restrict it.
bool RuleRestricts(const std::string& rule, int slot);
