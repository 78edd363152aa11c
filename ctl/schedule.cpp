#include "ctl/schedule.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "common/text.h"
#include "ctl/usage_error.h"
#include "engine/week.h"

namespace {

using TDays = std::bitset<kDaysPerWeek>;  // bit 0 = Monday

constexpr char kAlways[] = "always";
constexpr char kNever[] = "never";
constexpr char kAll[] = "all";  // net user's "always"
constexpr char kDaily[] = "daily";
constexpr char kClauseSeparator[] = ";";
constexpr char kBlanks[] = " \t";
constexpr int kMinutesPerHour = 60;
constexpr int kSlotsPerHour = kMinutesPerHour / kMinutesPerSlot;

constexpr struct {
  const char* Word;
  unsigned long Days;
} kDayWords[] = {{kDaily, 0x7F}, {"weekdays", 0x1F}, {"weekends", 0x60}};

// net user's day letters; beside our two-letter names they never clash, so both
// syntaxes take either.
const char* const kNetUserDays[kDaysPerWeek] = {"m", "t", "w", "th", "f", "sa", "su"};

constexpr char kEmptySchedule[] =
    "the schedule is empty: give days and times such as \"Mo-Fr 07:00-20:00\", or always or never";
constexpr char kStandsAlone[] = "must stand alone: make it the whole schedule, or give days and times instead";
constexpr char kDaysAfterTimes[] = "names days after the times: start a new clause with \";\" before it";
constexpr char kEmptyWindow[] = "is empty: give an end after the start, or 00:00-24:00 for the whole day";
constexpr char kNotATime[] = "is not a time of day: use 00:00 to 24:00";
constexpr char kNotAnHour[] = "is not an hour: use 1AM to 12PM";
constexpr char kStartAtMidnight[] = "can only end a window: start at 00:00 instead";

// How one of the two syntaxes writes a clause, and how its errors put it.
struct TSyntax {
  const char* PartSeparators;  // between the days and windows of a clause
  bool NetUser;                // a lone hour ("4PM") stands for that hour
  int StepMinutes;             // the grain of its times
  const char* OffStep;
  const char* DaysHint;
  const char* NoDays;
  const char* NoWindow;
  const char* NotAWindow;
};

const TSyntax kOurSyntax = {
    " \t,", false, kMinutesPerSlot, "is not on a half hour",
    "use Mo Tu We Th Fr Sa Su or full names, ranges such as Mo-Fr, lists such as Sa,Su, daily, weekdays or weekends",
    "has no days before it: start the clause with days such as Mo-Fr",
    "has no time window: add one such as 07:00-20:00",
    "is not a time window: write HH:MM-HH:MM, such as 07:00-20:00"};
const TSyntax kNetUserSyntax = {
    ",", true, kMinutesPerHour, "is not a whole hour",
    "use M T W Th F Sa Su or full names, or ranges such as M-F",
    "has no days before it: start the clause with days such as M-F,",
    "has no hours: add some such as 8AM-5PM",
    "is not an hour range: write it as 8AM-5PM or 8:00-17:00"};

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool StartsWithDigit(std::string_view text) { return !text.empty() && IsDigit(text.front()); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "3pm to 8pm" and "Monday to Friday" as people say them: the word "to" between
// blanks becomes " -", which the readers take as a dash with blanks around it.
// The length stays, so every column still points into the text as typed.
std::string DashesForTo(std::string_view text) {
  std::string read(text);
  for (size_t at = 1; at + 2 < read.size(); ++at)
    if (IsBlank(read[at - 1]) && IsBlank(read[at + 2]) && AsciiLower(read.substr(at, 2)) == "to")
      read.replace(at, 2, " -");
  return read;
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return text.substr(text.size());
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Whether the blanks from at on lean on a dash, before or after them: people
// write "07:00 - 08:00" and "Mo - Fr", and those blanks part nothing.
bool BlanksTouchADash(std::string_view text, size_t at) {
  size_t after = at;
  while (after < text.size() && IsBlank(text[after])) ++after;
  return (after < text.size() && text[after] == '-') || (at > 0 && text[at - 1] == '-');
}

// The non-blank pieces of text between any of separators, blanks trimmed. Each
// is a view into text, so its column can be told.
std::vector<std::string_view> Pieces(std::string_view text, const char* separators) {
  const std::string_view split(separators);
  std::vector<std::string_view> pieces;
  for (size_t begin = 0; begin <= text.size();) {
    size_t end = begin;
    while (end < text.size() &&
           (split.find(text[end]) == std::string_view::npos || (IsBlank(text[end]) && BlanksTouchADash(text, end))))
      ++end;
    const std::string_view piece = Trimmed(text.substr(begin, end - begin));
    if (!piece.empty()) pieces.push_back(piece);
    begin = end + 1;
  }
  return pieces;
}

// Whether clause has net user's shape: its days, then a comma, then its hours.
// Ours parts them with a blank ("Sa,Su 09:00-12:00").
bool PartsDaysByComma(std::string_view clause) {
  const auto parts = Pieces(clause, kOurSyntax.PartSeparators);
  const auto firstTime = std::find_if(parts.begin(), parts.end(), StartsWithDigit);
  if (firstTime == parts.begin() || firstTime == parts.end()) return false;
  const std::string_view before = clause.substr(0, static_cast<size_t>(firstTime->data() - clause.data()));
  const size_t last = before.find_last_not_of(kBlanks);
  return last != std::string_view::npos && before[last] == ',';
}

// Net user writes no blanks, so a comma directly before a digit is where its
// hours begin; but ours may have one too, between two windows
// ("07:00-08:00,15:00-20:00"), so a clause must also part its days from its
// hours with a comma. A text with both was always read as net user's, and
// still is.
bool IsNetUserStyle(std::string_view text) {
  bool commaBeforeDigit = false;
  for (size_t at = 0; at + 1 < text.size(); ++at)
    if (text[at] == ',' && IsDigit(text[at + 1])) commaBeforeDigit = true;
  if (!commaBeforeDigit) return false;
  for (const auto clause : Pieces(text, kClauseSeparator))
    if (PartsDaysByComma(clause)) return true;
  return false;
}

// For "always"/"all" and "never": whether the word allows the whole week.
std::optional<bool> WholeWeekWord(std::string_view piece) {
  const std::string word = AsciiLower(piece);
  if (word == kAlways || word == kAll) return true;
  if (word == kNever) return false;
  return std::nullopt;
}

int DayOfName(std::string_view name) {
  const std::string lowerName = AsciiLower(Trimmed(name));
  for (int day = 0; day < kDaysPerWeek; ++day) {
    const std::string full = AsciiLower(DayName(day));
    if (lowerName == full || lowerName == full.substr(0, 3) || lowerName == AsciiLower(ShortDayName(day)) ||
        lowerName == kNetUserDays[day])
      return day;
  }
  return -1;
}

// A time as written: hour, optional ":MM", then what follows ("pm" from "P.M.").
struct TClockParts {
  int Hour = 0;
  int Minute = 0;
  std::string Meridiem;
};

// The number in the first fewest..most digits of text, taken off it; -1 if
// there are fewer than fewest.
int TakeDigits(std::string_view& text, size_t fewest, size_t most) {
  size_t count = 0;
  int number = 0;
  while (count < most && count < text.size() && IsDigit(text[count])) number = number * 10 + (text[count++] - '0');
  if (count < fewest) return -1;
  text.remove_prefix(count);
  return number;
}

std::optional<TClockParts> ScanClock(std::string_view text) {
  TClockParts clock;
  clock.Hour = TakeDigits(text, 1, 2);
  if (clock.Hour < 0) return std::nullopt;
  if (!text.empty() && text.front() == ':') {
    text.remove_prefix(1);
    clock.Minute = TakeDigits(text, 2, 2);
    if (clock.Minute < 0) return std::nullopt;
  }
  for (char c : text)
    if (c != '.' && c != ' ') clock.Meridiem += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return clock;
}

// Both syntaxes, and grant's "until", take a bare hour ("7"), H:MM and HH:MM,
// each with or without AM or PM.
bool IsMeridiem(const std::string& meridiem) { return meridiem.empty() || meridiem == "am" || meridiem == "pm"; }

// The minutes after midnight that clock names; -1 for an hour that AM or PM
// does not take (0am, 13pm). Minutes past 59 and times past 24:00 are the
// caller's to refuse.
int MinutesOfClock(const TClockParts& clock) {
  int hour = clock.Hour;
  if (!clock.Meridiem.empty()) {
    if (hour < 1 || hour > 12) return -1;
    hour = hour % 12 + (clock.Meridiem == "pm" ? 12 : 0);
  }
  return hour * kMinutesPerHour + clock.Minute;
}

class TScheduleReader {
 public:
  explicit TScheduleReader(std::string_view text)
      : Typed(text), Dashed(DashesForTo(text)), Text(Dashed),
        Syntax(IsNetUserStyle(Text) ? kNetUserSyntax : kOurSyntax) {}
  // For texts that give days values other than windows: our syntax always,
  // whose words for the whole week would mean nothing there.
  TScheduleReader(std::string_view text, const TSyntax& syntax)
      : Typed(text), Dashed(DashesForTo(text)), Text(Dashed), Syntax(syntax), WholeWeekWords(false) {}

  TWeek Read() {
    const auto clauses = Pieces(Text, kClauseSeparator);
    if (clauses.empty()) throw EUsageError(kEmptySchedule);
    if (clauses.size() == 1)
      if (const auto allowed = WholeWeekWord(clauses.front())) return WholeWeek(*allowed);
    for (const auto clause : clauses) ReadClause(clause);
    return Allowed;
  }

  std::vector<TDayClause> ReadDayClauses(const char* noValue, bool everyDayWithoutDays) const {
    std::vector<TDayClause> clauses;
    const auto pieces = Pieces(Text, kClauseSeparator);
    for (const auto clause : pieces) {
      TDayClause read;
      ReadClauseParts(clause, noValue, everyDayWithoutDays && pieces.size() == 1,
                      [this, &read](TDays days, std::string_view value) {
                        read.Days = days;
                        read.Values.push_back(AsTyped(value));
                      });
      clauses.push_back(read);
    }
    return clauses;
  }

 private:
  static TWeek WholeWeek(bool allowed) {
    TWeek week;
    for (auto& day : week) allowed ? day.set() : day.reset();
    return week;
  }

  // piece, a view into the text read, as it was typed.
  std::string_view AsTyped(std::string_view piece) const {
    return Typed.substr(static_cast<size_t>(piece.data() - Text.data()), piece.size());
  }

  [[noreturn]] void Fail(std::string_view piece, const std::string& problem) const {
    const auto column = piece.data() - Text.data() + 1;
    throw EUsageError("\"" + std::string(AsTyped(piece)) + "\" at column " + std::to_string(column) + " " + problem);
  }

  // Reads the days that start clause, then hands each part from the first that
  // starts with a digit on to value(days, part), in order; noValue is the
  // complaint when there is none. A clause without days names every day when
  // everyDayWithoutDays is set, and is an error otherwise.
  template <typename TValue>
  void ReadClauseParts(std::string_view clause, const char* noValue, bool everyDayWithoutDays, TValue value) const {
    const auto parts = Pieces(clause, Syntax.PartSeparators);
    const auto firstValue = std::find_if(parts.begin(), parts.end(), StartsWithDigit);
    if (firstValue == parts.begin() && !everyDayWithoutDays) Fail(parts.front(), Syntax.NoDays);
    TDays days = firstValue == parts.begin() ? TDays().set() : TDays();
    for (auto part = parts.begin(); part != firstValue; ++part) days |= ReadDays(*part);
    if (firstValue == parts.end()) Fail(clause, noValue);
    for (auto part = firstValue; part != parts.end(); ++part) {
      if (!StartsWithDigit(*part) && DaysOf(*part)) Fail(*part, kDaysAfterTimes);
      value(days, *part);
    }
  }

  void ReadClause(std::string_view clause) {
    ReadClauseParts(clause, Syntax.NoWindow, false,
                    [this](TDays days, std::string_view window) { ReadWindow(window, days); });
  }

  TDays ReadDays(std::string_view item) const {
    if (WholeWeekWords && WholeWeekWord(item)) Fail(item, kStandsAlone);
    const auto days = DaysOf(item);
    if (!days) Fail(item, std::string("is not a day: ") + Syntax.DaysHint);
    return *days;
  }

  // The days item names, or none when it is not a day item at all.
  std::optional<TDays> DaysOf(std::string_view item) const {
    const std::string name = AsciiLower(item);
    for (const auto& word : kDayWords)
      if (name == word.Word) return TDays(word.Days);
    const size_t dash = item.find('-');
    const int first = DayOfName(item.substr(0, dash));
    if (first < 0) return std::nullopt;
    if (dash == std::string_view::npos) return TDays().set(static_cast<size_t>(first));
    const int last = DayOfName(item.substr(dash + 1));
    if (last < 0) return std::nullopt;
    if (first == last) Fail(item, "runs from a day to itself: write " + ShortDayName(first) + " alone, or daily");
    TDays days;
    for (int day = first; !days[static_cast<size_t>(last)]; day = (day + 1) % kDaysPerWeek)
      days.set(static_cast<size_t>(day));
    return days;
  }

  void ReadWindow(std::string_view window, TDays days) {
    const size_t dash = window.find('-');
    if (dash == std::string_view::npos && !Syntax.NetUser) Fail(window, Syntax.NotAWindow);
    const int start = ReadTime(window.substr(0, dash), window, false);
    const int end =
        dash == std::string_view::npos ? start + kSlotsPerHour : ReadTime(window.substr(dash + 1), window, true);
    Allow(days, start, end, window);
  }

  // The slot a time of window starts (or, isEnd, ends).
  int ReadTime(std::string_view time, std::string_view window, bool isEnd) const {
    time = Trimmed(time);
    const auto clock = ScanClock(time);
    if (!clock || !IsMeridiem(clock->Meridiem)) Fail(window, Syntax.NotAWindow);
    const int minutes = MinutesOfClock(*clock);
    if (minutes < 0) Fail(time, kNotAnHour);
    return SlotOf(time, minutes, clock->Minute, isEnd);
  }

  int SlotOf(std::string_view time, int minutes, int minute, bool isEnd) const {
    if (minute >= kMinutesPerHour || minutes > kMinutesPerDay) Fail(time, kNotATime);
    if (minutes % Syntax.StepMinutes != 0) Fail(time, std::string(Syntax.OffStep) + ": use " + Neighbours(minutes, isEnd));
    if (minutes == kMinutesPerDay && !isEnd) Fail(time, kStartAtMidnight);
    return minutes / kMinutesPerSlot;
  }

  // The times on the syntax's grain either side of minutes.
  std::string Neighbours(int minutes, bool isEnd) const {
    const int below = minutes - minutes % Syntax.StepMinutes;
    const int above = below + Syntax.StepMinutes;
    if (above == kMinutesPerDay && !isEnd) return ClockText(below);
    return ClockText(below) + " or " + ClockText(above);
  }

  void Allow(TDays days, int start, int end, std::string_view window) {
    if (start == end) Fail(window, kEmptyWindow);
    for (int day = 0; day < kDaysPerWeek; ++day) {
      if (!days[static_cast<size_t>(day)]) continue;
      if (start < end) {
        AllowSlots(day, start, end);
      } else {
        AllowSlots(day, start, kSlotsPerDay);
        AllowSlots((day + 1) % kDaysPerWeek, 0, end);
      }
    }
  }

  void AllowSlots(int day, int first, int end) {
    for (int slot = first; slot < end; ++slot) Allowed[static_cast<size_t>(day)].set(static_cast<size_t>(slot));
  }

  std::string_view Typed;
  std::string Dashed;     // Typed with its dashes for "to"
  std::string_view Text;  // Dashed, into which every piece points
  const TSyntax& Syntax;
  bool WholeWeekWords = true;
  TWeek Allowed{};
};

// Calls visit(first, end) for each run of set bits, end excluded.
template <size_t N, typename TVisit>
void ForEachRun(const std::bitset<N>& bits, TVisit visit) {
  for (size_t first = 0; first < N; ++first) {
    if (!bits[first]) continue;
    size_t end = first;
    while (end < N && bits[end]) ++end;
    visit(static_cast<int>(first), static_cast<int>(end));
    first = end;
  }
}

// "daily", or runs of days: "Mo-Fr", a pair as "Sa,Su".
std::string DaysText(TDays days) {
  if (days.all()) return kDaily;
  std::string text;
  ForEachRun(days, [&text](int first, int end) {
    if (!text.empty()) text += ",";
    text += ShortDayName(first);
    if (end - first > 1) text += (end - first == 2 ? "," : "-") + ShortDayName(end - 1);
  });
  return text;
}

std::string WindowsText(const std::bitset<kSlotsPerDay>& slots) {
  std::string text;
  ForEachRun(slots, [&text](int first, int end) {
    if (!text.empty()) text += " ";
    text += ClockText(first * kMinutesPerSlot) + "-" + ClockText(end * kMinutesPerSlot);
  });
  return text;
}

bool WholeWeekIs(const TWeek& week, bool allowed) {
  return std::all_of(week.begin(), week.end(), [allowed](const auto& day) { return allowed ? day.all() : day.none(); });
}

}  // namespace

std::vector<std::string> ParseSchedule(const std::string& text) { return RulesOfWeek(TScheduleReader(text).Read()); }

std::optional<int> ParseTimeOfDay(std::string_view text) {
  const auto clock = ScanClock(Trimmed(text));
  if (!clock || !IsMeridiem(clock->Meridiem) || clock->Minute >= kMinutesPerHour) return std::nullopt;
  const int minutes = MinutesOfClock(*clock);
  if (minutes < 0 || minutes > kMinutesPerDay) return std::nullopt;
  return minutes;
}

std::vector<TDayClause> ReadDayClauses(std::string_view text, const char* noValue, bool everyDayWithoutDays) {
  return TScheduleReader(text, kOurSyntax).ReadDayClauses(noValue, everyDayWithoutDays);
}

std::string FormatSchedule(const std::vector<std::string>& rules) {
  const TWeek week = WeekOfRules(rules);
  if (WholeWeekIs(week, true)) return kAlways;
  if (WholeWeekIs(week, false)) return kNever;
  std::string text;
  TDays written;
  for (size_t day = 0; day < week.size(); ++day) {
    if (written[day] || week[day].none()) continue;
    TDays same;
    for (size_t other = day; other < week.size(); ++other) same[other] = week[other] == week[day];
    written |= same;
    if (!text.empty()) text += std::string(kClauseSeparator) + " ";
    text += DaysText(same) + " " + WindowsText(week[day]);
  }
  return text;
}
