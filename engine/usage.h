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
inline constexpr int64_t kNoDay = INT64_MIN;
// A clock that reads more than this behind the latest time the service saw was
// set back: the service then keeps its own time (engine/service_time.h).
inline constexpr int64_t kClockSetBackTolerance = 10 * 60;

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
// "YYYY-MM-DD HH:MM:SS UTC" of UTC seconds since 1970, and back (strict).
std::string FormatUtc(int64_t utc);
bool ParseUtc(const std::string& text, int64_t& utc);
// A field as a spreadsheet writes it: quoted, with quotes doubled, when it
// holds a comma, a quote or a line break; as it is otherwise.
std::string CsvField(const std::string& text);

// What a user has used of the day their budget counts against, and of its week
// (Monday to that day, the day included).
struct TDayUse {
  int64_t Day = kNoDay;  // kNoDay: the day of the moment decided, nothing used yet
  int64_t Seconds = 0;
  int64_t WeekSeconds = 0;
};

// The Monday of the week day is in.
inline int64_t WeekOf(int64_t day) { return day - WeekdayOf(day); }

struct TUsageRow {
  int64_t Day = 0;
  std::string User;
  int64_t Seconds = 0;
};

// Lines a parse skipped: how many were damaged, and the number (from 1) of the
// first; how many were dated after the latest day the file recorded, or more
// than a day after the clock (one wrong digit would otherwise become the day
// that the file's history is cut back from), and the first of them.
struct TUsageDamage {
  int Lines = 0;
  int First = 0;
  int Future = 0;
  int FirstFuture = 0;
};

class TUsageBook {
 public:
  // Seconds user used on day (the name as counted: letter case counts).
  int64_t Used(int64_t day, const std::string& user) const;
  // The day the budget counts against when the rules' day is today, and the
  // user's use of it and of its week: a clock set back counts against the
  // latest day seen.
  TDayUse UseOf(const std::string& user, int64_t today) const;
  void Add(int64_t day, const std::string& user, int64_t seconds);

  // Gives each user in present seconds of use on day, the day the service
  // counts (its own time's day in the rules' time).
  void Count(int64_t day, const std::vector<std::string>& present, int64_t seconds);
  // The latest moment the service vouches for (UTC) and its day: what the
  // file's last line records, and what the kept days are counted back from.
  void Note(int64_t latestUtc, int64_t day);
  // The clock came back from a jump ahead to day: the use counted on later days
  // is moved onto it, and day is the latest day again.
  void ReturnTo(int64_t day);
  // Adds what other counted to this book (the use counted while the file could
  // not be read, once it is read).
  void Add(const TUsageBook& other);
  // Takes, for every day and user, the larger count of this book and other, and
  // the later latest moment (two copies of the same record).
  void KeepLarger(const TUsageBook& other);

  // Whether anything changed since the last Format.
  bool Changed() const { return Dirty; }
  // The file's text. Days more than kUsageKeptDays before the latest day
  // are dropped first, from the book too.
  std::string Format();
  // Replaces the book with what text holds; damaged lines are skipped, and so
  // are days after the latest day it records or, without that line, after
  // today + 1 (today: the rules' day by the clock).
  TUsageDamage Parse(const std::string& text, int64_t today);

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
  bool Dirty = false;
};

// Where use is kept (common/protocol.h): the data folder, which every user may
// read, and its folder for the service's record. Both end in a backslash; both
// are empty when Windows names no common application data folder.
struct TUsagePlaces {
  std::string DataFolder;
  std::string RecordFolder;
};
TUsagePlaces UsagePlaces(TLogPlatform& files);

// A usage file as a program finds it.
struct TUsageFile {
  std::string Path;  // the file read; empty when there is no common data folder
  TWholeFile Read = TWholeFile::Missing;
  TUsageBook Book;  // what the file holds; empty unless Read is Done
  TUsageDamage Damage;
};
// The service's record and its spare, the larger of each day's counts; where
// neither exists, the copy in the data folder, which older versions kept as
// their record. A folder that is a link or reparse point is not read through
// (NotPlain); Failed without a common data folder. today: the rules' day by the
// clock. Never raises.
TUsageFile ReadUsageRecord(TLogPlatform& files, int64_t today);
// The copy every user may read, likewise.
TUsageFile ReadUsageCopy(TLogPlatform& files, int64_t today);
