#pragma once
// The time each restricted user spends at the computer, per day of the rules'
// time: counted by the service tick by tick, kept in the usage file and read
// back by the service at its start and by the tool. The daily budget is judged
// against it. Portable; not thread-safe (the service holds its lock).
//
// The file: the header "date,user,seconds", then a line per day and user
// ("2026-12-08,anna,4320"; a name holding a comma or a quote is quoted as a
// spreadsheet does), oldest day first, then one line of the clock:
// "# latest 2026-12-08 17:05:09 UTC; day 2026-12-08", the latest time the
// service has seen and the latest day it counted. That line keeps a clock set
// back while the service was not running from opening a new day's budget.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "diag/log_platform.h"
#include "diag/whole_file.h"

inline constexpr char kUsageHeader[] = "date,user,seconds";
inline constexpr int64_t kSecondsPerDay = 24 * 60 * 60;
// Sleep and hibernation stop the ticks but not the clock: no gap between two
// ticks counts for more than this.
inline constexpr int64_t kMostCountedPerTick = 10;
// A clock that reads more than this before the latest time seen was set back.
inline constexpr int64_t kClockSetBackTolerance = 10 * 60;
inline constexpr int64_t kNoDay = INT64_MIN;

// A day: days since 1970-01-01 of the rules' time.
int64_t DayOf(int64_t seconds);
// 0 = Monday .. 6 = Sunday of a day, as BudgetN and TimeN count them.
int WeekdayOf(int64_t day);
// "YYYY-MM-DD" of a day, and back (strict: digits and dashes exactly there, a
// date that exists).
std::string FormatDay(int64_t day);
bool ParseDay(const std::string& text, int64_t& day);
// A span of use as people say it, minutes rounded down: "0 min", "45 min",
// "1 h", "1 h 20 min".
std::string FormatDuration(int64_t seconds);
// "YYYY-MM-DD HH:MM:SS UTC" of UTC seconds since 1970.
std::string FormatUtc(int64_t utc);
// A field as a spreadsheet writes it: quoted, with quotes doubled, when it
// holds a comma, a quote or a line break; as it is otherwise.
std::string CsvField(const std::string& text);

// What a user has used of the day their budget counts against.
struct TDayUse {
  int64_t Day = kNoDay;  // kNoDay: the day of the moment decided, nothing used yet
  int64_t Seconds = 0;
};

struct TUsageRow {
  int64_t Day = 0;
  std::string User;
  int64_t Seconds = 0;
};

// A clock found set back: the latest time seen and the time it reads now (UTC).
struct TClockSetBack {
  int64_t From = 0;
  int64_t To = 0;
};

// Damaged lines a parse skipped: how many, and the number (from 1) of the first.
struct TUsageDamage {
  int Lines = 0;
  int First = 0;
};

class TUsageBook {
 public:
  // Seconds user used on day (the name as counted: letter case counts).
  int64_t Used(int64_t day, const std::string& user) const;
  // The day the budget counts against when the rules' day is today, and the
  // user's use of it: a clock set back counts against the latest day seen.
  TDayUse UseOf(const std::string& user, int64_t today) const;
  void Add(int64_t day, const std::string& user, int64_t seconds);

  // One tick at nowUtc, today being the rules' day then: each user in present
  // is given the time since the last tick, at most kMostCountedPerTick and none
  // at the first tick or when the clock went back. Answers a clock that reads
  // more than kClockSetBackTolerance before the latest time seen, once until
  // the clock has passed that time again.
  std::optional<TClockSetBack> Tick(int64_t nowUtc, int64_t today, const std::vector<std::string>& present);

  // Whether anything changed since the last Format.
  bool Changed() const { return Dirty; }
  // The file's text. Days more than kUsageKeptDays before the latest day
  // counted are dropped first, from the book too.
  std::string Format();
  // Replaces the book with what text holds; damaged lines are skipped. The
  // ticks start afresh: the first counts nothing.
  TUsageDamage Parse(const std::string& text);

  // Every row, oldest day first, then by name.
  std::vector<TUsageRow> Rows() const;
  int64_t LatestUtc() const { return Latest; }
  int64_t LatestDay() const { return LatestCounted; }

 private:
  // Per day, each user's seconds: the pass looks up a thousand users among
  // ninety days of them, so the day is found first and the name hashed.
  std::map<int64_t, std::unordered_map<std::string, int64_t>> Days;
  int64_t Latest = 0;
  int64_t LatestCounted = kNoDay;
  std::optional<int64_t> LastTick;
  bool SetBackReported = false;
  bool Dirty = false;
};

// The usage file as a program finds it in the common application data folder.
struct TUsageFile {
  std::string Folder;  // ending in a backslash; empty when Windows names no common data folder
  std::string Path;    // Folder + kUsageFileName; empty with Folder
  TWholeFile Read = TWholeFile::Missing;
  TUsageBook Book;  // what the file holds; empty unless Read is Done
  TUsageDamage Damage;
};
// Reads the usage file (Read Failed without a common data folder). Never raises.
TUsageFile ReadUsageFile(TLogPlatform& files);
