#pragma once
// Calendar arithmetic on the fields of TDateTime, read as a wall-clock time
// without a zone: a count of seconds since 1970-01-01 00:00 serves to compare,
// add and step through half hours, and the weekday falls out of the date.

#include <cstdint>
#include <string>

#include "common/clock.h"

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int year, int month, int day);
int DaysInMonth(int year, int month);

// Seconds since 1970-01-01 00:00 of time's date and time (DayOfWeek and
// Milliseconds are not read).
int64_t SecondsOf(const TDateTime& time);
// The date and time seconds after 1970-01-01 00:00, DayOfWeek included.
TDateTime DateTimeAt(int64_t seconds);

// "YYYY-MM-DD HH:MM", the form extra time is stored in. Parsing is strict: the
// digits and separators exactly there, and a date and time that exist.
bool ParseMinuteStamp(const std::string& text, int64_t& seconds);
std::string FormatMinuteStamp(int64_t seconds);
// "HH:MM" of seconds.
std::string FormatClockTime(int64_t seconds);
