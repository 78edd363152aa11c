#include "engine/usage.h"

#include <algorithm>

#include "common/calendar.h"
#include "common/protocol.h"

namespace {
constexpr char kLatestPrefix[] = "# latest ";
constexpr char kLatestDay[] = " UTC; day ";
// More than a year of seconds in one row is no count the service makes.
constexpr int64_t kMostSecondsInRow = 400LL * kSecondsPerDay;

std::string TwoDigits(int value) { return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10); }

bool ParseCount(const std::string& text, int64_t& value) {
  if (text.empty() || text.size() > 12) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= kMostSecondsInRow;
}

bool ParseClockTime(const std::string& text, int64_t& seconds) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return false;
  int64_t parts[3] = {};
  for (int i = 0; i < 3; ++i) {
    const char high = text[static_cast<size_t>(i * 3)];
    const char low = text[static_cast<size_t>(i * 3 + 1)];
    if (high < '0' || high > '9' || low < '0' || low > '9') return false;
    parts[i] = (high - '0') * 10 + (low - '0');
  }
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  seconds = parts[0] * 3600 + parts[1] * 60 + parts[2];
  return true;
}

// "# latest YYYY-MM-DD HH:MM:SS UTC, day YYYY-MM-DD".
bool ParseLatest(const std::string& line, int64_t& utc, int64_t& day) {
  const size_t prefix = sizeof kLatestPrefix - 1;
  const size_t dayAt = prefix + 19 + sizeof kLatestDay - 1;
  if (line.size() != dayAt + 10 || line.compare(0, prefix, kLatestPrefix) != 0 ||
      line.compare(prefix + 19, sizeof kLatestDay - 1, kLatestDay) != 0 || line[prefix + 10] != ' ')
    return false;
  int64_t date = 0;
  int64_t time = 0;
  if (!ParseDay(line.substr(prefix, 10), date) || !ParseClockTime(line.substr(prefix + 11, 8), time) ||
      !ParseDay(line.substr(dayAt), day))
    return false;
  utc = date * kSecondsPerDay + time;
  return true;
}

// One record of the file: its fields, the number of the line it starts on, and
// whether its quotes are out of place.
struct TRecord {
  std::vector<std::string> Fields;
  int Line = 0;
  bool Broken = false;
};

// Reads the record that starts at text[at] into record, moving at past it and
// line on by the breaks passed; false at the end of the text. A quoted field
// may hold commas, doubled quotes and line breaks; a record ends at LF, CR LF or
// a lone CR outside quotes. Lines without a quote, nearly every line, are cut
// at their commas in one go.
bool ReadRecord(const std::string& text, size_t& at, int& line, TRecord& record) {
  record.Fields.clear();
  record.Broken = false;
  // Lines with nothing on them are no records.
  while (at < text.size() && (text[at] == '\n' || text[at] == '\r')) {
    if (text[at] == '\n' || at + 1 >= text.size() || text[at + 1] != '\n') ++line;
    ++at;
  }
  if (at >= text.size()) return false;
  record.Line = line;
  size_t end = text.find_first_of("\r\n\"", at);
  if (end == std::string::npos) end = text.size();
  if (end == text.size() || text[end] != '"') {
    for (size_t from = at;;) {
      const size_t comma = text.find(',', from);
      const size_t stop = comma < end ? comma : end;
      record.Fields.emplace_back(text, from, stop - from);
      if (stop == end) break;
      from = stop + 1;
    }
    at = end;
    return true;
  }
  std::string field;
  bool quoted = false;
  bool wasQuoted = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (quoted) {
      if (c == '"' && at + 1 < text.size() && text[at + 1] == '"') {
        field += '"';
        ++at;
      } else if (c == '"') {
        quoted = false;
        wasQuoted = true;
      } else {
        if (c == '\n' || (c == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n'))) ++line;
        field += c;
      }
    } else if (c == '\r' || c == '\n') {
      break;
    } else if (c == ',') {
      record.Fields.push_back(field);
      field.clear();
      wasQuoted = false;
    } else if (c == '"' && field.empty() && !wasQuoted) {
      quoted = true;
    } else {
      if (wasQuoted || c == '"') record.Broken = true;
      field += c;
    }
  }
  if (quoted) record.Broken = true;
  record.Fields.push_back(field);
  return true;
}
}  // namespace

int64_t DayOf(int64_t seconds) { return seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay); }

// 1970-01-01 was a Thursday.
int WeekdayOf(int64_t day) { return static_cast<int>(((day + 3) % 7 + 7) % 7); }

std::string FormatDay(int64_t day) { return FormatMinuteStamp(day * kSecondsPerDay).substr(0, 10); }

bool ParseDay(const std::string& text, int64_t& day) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  int parts[3] = {};
  const size_t starts[3] = {0, 5, 8};
  const size_t lengths[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i)
    for (size_t k = 0; k < lengths[i]; ++k) {
      const char c = text[starts[i] + k];
      if (c < '0' || c > '9') return false;
      parts[i] = parts[i] * 10 + (c - '0');
    }
  if (parts[0] < 1970 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > DaysInMonth(parts[0], parts[1]))
    return false;
  day = DaysFromCivil(parts[0], parts[1], parts[2]);
  return true;
}

std::string FormatDuration(int64_t seconds) {
  const int64_t minutes = seconds > 0 ? seconds / 60 : 0;
  if (minutes < 60) return std::to_string(minutes) + " min";
  std::string text = std::to_string(minutes / 60) + " h";
  return minutes % 60 == 0 ? text : text + " " + std::to_string(minutes % 60) + " min";
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string FormatUtc(int64_t utc) {
  const TDateTime time = DateTimeAt(utc);
  return FormatDay(DayOf(utc)) + " " + TwoDigits(time.Hour) + ":" + TwoDigits(time.Minute) + ":" +
         TwoDigits(time.Second) + " UTC";
}

bool ParseUtc(const std::string& text, int64_t& utc) {
  int64_t day = 0;
  int64_t time = 0;
  if (text.size() != 23 || text[10] != ' ' || text.compare(19, 4, " UTC") != 0 || !ParseDay(text.substr(0, 10), day) ||
      !ParseClockTime(text.substr(11, 8), time))
    return false;
  utc = day * kSecondsPerDay + time;
  return true;
}

int64_t TUsageBook::Used(int64_t day, const std::string& user) const {
  const auto users = Days.find(day);
  if (users == Days.end()) return 0;
  const auto found = users->second.find(user);
  return found == users->second.end() ? 0 : found->second;
}

TDayUse TUsageBook::UseOf(const std::string& user, int64_t today) const {
  const int64_t day = LatestCounted != kNoDay && LatestCounted > today ? LatestCounted : today;
  TDayUse use{day, Used(day, user), 0};
  for (int64_t earlier = WeekOf(day); earlier <= day; ++earlier) use.WeekSeconds += Used(earlier, user);
  return use;
}

void TUsageBook::Add(int64_t day, const std::string& user, int64_t seconds) {
  if (seconds <= 0) return;
  Days[day][user] += seconds;
  Dirty = true;
}

void TUsageBook::Count(int64_t day, const std::vector<std::string>& present, int64_t seconds) {
  for (const std::string& user : present) Add(day, user, seconds);
}

void TUsageBook::Note(int64_t latestUtc, int64_t day) {
  if (latestUtc == Latest && day == LatestCounted) return;
  Latest = latestUtc;
  LatestCounted = day;
  Dirty = true;
}

void TUsageBook::ReturnTo(int64_t day) {
  for (auto later = Days.upper_bound(day); later != Days.end(); later = Days.erase(later))
    for (const auto& [user, seconds] : later->second) Add(day, user, seconds);
  LatestCounted = day;
  Dirty = true;
}

void TUsageBook::Add(const TUsageBook& other) {
  for (const auto& [day, users] : other.Days)
    for (const auto& [user, seconds] : users) Add(day, user, seconds);
  if (other.Latest > Latest) Latest = other.Latest;
  if (other.LatestCounted != kNoDay && (LatestCounted == kNoDay || other.LatestCounted > LatestCounted))
    LatestCounted = other.LatestCounted;
}

void TUsageBook::KeepLarger(const TUsageBook& other) {
  for (const auto& [day, users] : other.Days)
    for (const auto& [user, seconds] : users) {
      int64_t& kept = Days[day][user];
      kept = std::max(kept, seconds);
    }
  if (other.Latest > Latest) Latest = other.Latest;
  if (other.LatestCounted != kNoDay && (LatestCounted == kNoDay || other.LatestCounted > LatestCounted))
    LatestCounted = other.LatestCounted;
}

std::string TUsageBook::Format() {
  if (LatestCounted != kNoDay) {
    const int64_t oldest = LatestCounted - (kUsageKeptDays - 1);
    Days.erase(Days.begin(), Days.lower_bound(oldest));
  }
  std::string text = std::string(kUsageHeader) + "\n";
  for (const TUsageRow& row : Rows())
    text += FormatDay(row.Day) + "," + CsvField(row.User) + "," + std::to_string(row.Seconds) + "\n";
  if (LatestCounted != kNoDay) text += kLatestPrefix + FormatUtc(Latest).substr(0, 19) + kLatestDay + FormatDay(LatestCounted) + "\n";
  Dirty = false;
  return text;
}

TUsageDamage TUsageBook::Parse(const std::string& text, int64_t today) {
  *this = TUsageBook();
  TUsageDamage damage;
  auto damaged = [&damage](int line) {
    if (damage.Lines++ == 0) damage.First = line;
  };
  struct TParsedRow {
    int64_t Day;
    std::string User;
    int64_t Seconds;
    int Line;
  };
  std::vector<TParsedRow> rows;
  bool latestRecorded = false;
  TRecord record;
  size_t at = 0;
  int line = 1;
  for (bool first = true; ReadRecord(text, at, line, record); first = false) {
    if (first && record.Fields.size() == 3 && !record.Broken &&
        record.Fields[0] + "," + record.Fields[1] + "," + record.Fields[2] == kUsageHeader)
      continue;
    if (record.Fields.size() == 1 && !record.Broken && record.Fields[0].rfind('#', 0) == 0) {
      int64_t utc = 0;
      int64_t day = 0;
      if (!ParseLatest(record.Fields[0], utc, day)) {
        damaged(record.Line);
        continue;
      }
      Latest = std::max(Latest, utc);
      if (!latestRecorded || day > LatestCounted) LatestCounted = day;
      latestRecorded = true;
      continue;
    }
    int64_t day = 0;
    int64_t seconds = 0;
    if (record.Broken || record.Fields.size() != 3 || record.Fields[1].empty() || !ParseDay(record.Fields[0], day) ||
        !ParseCount(record.Fields[2], seconds)) {
      damaged(record.Line);
      continue;
    }
    rows.push_back(TParsedRow{day, record.Fields[1], seconds, record.Line});
  }
  // The service counts no day after the latest it records: such a row was
  // mistyped, or counted while the clock had jumped ahead. Without that line
  // (a file made by hand), no day the clock has not reached. The clock is not
  // asked when the line is there: set back, it would drop the day's real use.
  const int64_t lastDay = latestRecorded ? LatestCounted : today + 1;
  for (const TParsedRow& row : rows) {
    if (row.Day > lastDay) {
      if (damage.Future++ == 0) damage.FirstFuture = row.Line;
      continue;
    }
    // A day listed twice (the file edited by hand) keeps its larger count: no
    // time is lost, none is invented.
    int64_t& kept = Days[row.Day][row.User];
    kept = std::max(kept, row.Seconds);
    if (!latestRecorded && (LatestCounted == kNoDay || row.Day > LatestCounted)) LatestCounted = row.Day;
  }
  return damage;
}

std::vector<TUsageRow> TUsageBook::Rows() const {
  std::vector<TUsageRow> rows;
  for (const auto& [day, users] : Days) {
    const size_t first = rows.size();
    for (const auto& [user, seconds] : users) rows.push_back(TUsageRow{day, user, seconds});
    std::sort(rows.begin() + static_cast<std::ptrdiff_t>(first), rows.end(),
              [](const TUsageRow& a, const TUsageRow& b) { return a.User < b.User; });
  }
  return rows;
}

TUsagePlaces UsagePlaces(TLogPlatform& files) {
  TUsagePlaces places;
  const std::string common = files.CommonDataFolder();
  if (common.empty()) return places;
  places.DataFolder = common + "\\" + kDataFolderName + "\\";
  places.RecordFolder = places.DataFolder + kRecordFolderName + "\\";
  return places;
}

namespace {
// A folder that is a link may lead anywhere a user chose.
bool ThroughLink(TLogPlatform& files, const std::string& folder) {
  const uint32_t attributes = files.ReadAttributes(folder.substr(0, folder.size() - 1));
  return attributes != kInvalidFileAttributes && (attributes & kFileAttributeReparsePoint) != 0;
}

TUsageFile ReadOne(TLogPlatform& files, const std::string& folder, const std::string& name, int64_t today) {
  TUsageFile usage;
  if (folder.empty()) {
    usage.Read = TWholeFile::Failed;
    return usage;
  }
  usage.Path = folder + name;
  std::string text;
  usage.Read = ThroughLink(files, folder) ? TWholeFile::NotPlain : ReadWholeFile(files, usage.Path, text);
  if (usage.Read == TWholeFile::Done) usage.Damage = usage.Book.Parse(text, today);
  return usage;
}
}  // namespace

TUsageFile ReadUsageRecord(TLogPlatform& files, int64_t today) {
  const TUsagePlaces places = UsagePlaces(files);
  if (!places.DataFolder.empty() && ThroughLink(files, places.DataFolder)) {
    TUsageFile refused;
    refused.Path = places.RecordFolder + kUsageFileName;
    refused.Read = TWholeFile::NotPlain;
    return refused;
  }
  TUsageFile record = ReadOne(files, places.RecordFolder, kUsageFileName, today);
  if (record.Read != TWholeFile::Done && record.Read != TWholeFile::Missing) return record;
  const TUsageFile spare = ReadOne(files, places.RecordFolder, kUsageSpareName, today);
  if (spare.Read == TWholeFile::Done) {
    record.Book.KeepLarger(spare.Book);
    if (record.Read == TWholeFile::Missing) {
      record.Read = TWholeFile::Done;
      record.Damage = spare.Damage;
    }
  }
  if (record.Read == TWholeFile::Missing) {
    TUsageFile copy = ReadOne(files, places.DataFolder, kUsageFileName, today);
    if (copy.Read == TWholeFile::Done) return copy;
  }
  return record;
}

TUsageFile ReadUsageCopy(TLogPlatform& files, int64_t today) {
  return ReadOne(files, UsagePlaces(files).DataFolder, kUsageFileName, today);
}
