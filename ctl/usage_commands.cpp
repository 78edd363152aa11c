// nortavelctl budget and report: the daily budget in the registry, and the use
// the service has recorded in its usage file.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "common/calendar.h"
#include "common/text.h"
#include "ctl/budget.h"
#include "ctl/command_context.h"
#include "ctl/usage_error.h"

namespace {
constexpr int kDefaultReportDays = 14;
constexpr int kMinutesPerMark = 10;
constexpr size_t kTimeWidth = sizeof "23 h 59 min  " - 1;
constexpr char kDaysOption[] = "--days";
constexpr char kCsvHeader[] = "date,user,minutes\n";

std::string Padded(const std::string& text, size_t width) {
  return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}


// The --days option taken out of words: the number of days the report covers.
int TakeDays(std::vector<std::string>& words) {
  const auto option = std::find(words.begin(), words.end(), kDaysOption);
  if (option == words.end()) return kDefaultReportDays;
  if (option + 1 == words.end()) throw EUsageError("--days needs a number of days after it, from 1 to 90");
  const std::string text = *(option + 1);
  words.erase(option, option + 2);
  const int days = ParseNumber(text, kDaysOption);
  if (days < 1 || days > kUsageKeptDays) throw EUsageError("--days takes 1 to 90, not " + text);
  return days;
}

// Every configured user, then each other user the file names from first on.
std::vector<std::string> ReportedUsers(const TConfiguration& config, const TUsageBook& book, int64_t first) {
  std::vector<std::string> users = config.RestrictedUsers.Items();
  for (const TUsageRow& row : book.Rows())
    if (row.Day >= first && std::find(users.begin(), users.end(), row.User) == users.end())
      users.push_back(row.User);
  return users;
}

// The user the report is for, as the registry or else the file spells them:
// a user no longer configured still has their use in the file.
std::string ReportedUser(const TRun& run, const TConfiguration& config, const TUsageBook& book,
                         const std::string& typed) {
  const int position = config.RestrictedUsers.IndexOf(typed);
  if (position >= 0) return config.RestrictedUsers[position];
  const std::vector<std::string> known = ReportedUsers(config, book, kNoDay);
  for (const std::string& name : known)
    if (name == typed) return name;
  for (const std::string& name : known)
    if (PlatformSameText(name, typed)) return name;
  throw UnknownUser(typed + " has no rules in " + run.RestrictionsKeyText() +
                        " and no recorded use: nortavelctl show lists the configured users",
                    typed, known);
}

void PrintTable(TRun& run, const TConfiguration& config, const TUsageBook& book, const std::vector<std::string>& users,
                int64_t first, int64_t last) {
  size_t width = 4;
  for (const std::string& user : users) width = std::max(width, user.size());
  width += 2;
  run.Out << "Date        " << Padded("User", width) << Padded("Time", kTimeWidth) << "(one # for every "
          << kMinutesPerMark << " minutes begun)\n";
  for (int64_t day = first; day <= last; ++day) {
    for (const std::string& user : users) {
      const int64_t seconds = book.Used(day, user);
      const int64_t marks = (seconds / 60 + kMinutesPerMark - 1) / kMinutesPerMark;
      const std::string line = FormatDay(day) + "  " + Padded(user, width) + Padded(FormatDuration(seconds), kTimeWidth) +
                               std::string(static_cast<size_t>(marks), '#');
      run.Out << line.substr(0, line.find_last_not_of(' ') + 1) << "\n";
    }
  }
  // The week of the last day shown, Monday to that day, for users with a weekly budget.
  bool heading = false;
  for (const std::string& user : users) {
    const int position = config.RestrictedUsers.IndexOf(user);
    if (position < 0 || config.UserExtras[static_cast<size_t>(position)].WeekBudget == kNoBudget) continue;
    if (!heading) run.Out << "\nWeek from " << FormatDay(WeekOf(last)) << ":\n";
    heading = true;
    run.Out << "  " << Padded(user, width) << FormatDuration(book.UseOf(user, last).WeekSeconds) << " of "
            << FormatDuration(config.UserExtras[static_cast<size_t>(position)].WeekBudget * 60LL) << "\n";
  }
}

void PrintCsv(TRun& run, const TUsageBook& book, const std::vector<std::string>& users, int64_t first,
              int64_t last) {
  run.Out << kCsvHeader;
  for (int64_t day = first; day <= last; ++day)
    for (const std::string& user : users)
      run.Out << FormatDay(day) << "," << CsvField(user) << "," << book.Used(day, user) / 60 << "\n";
}
}  // namespace

namespace {
constexpr char kNotKeptText[] =
    "the service counts no use now: turn it on with nortavelctl keepusage on, or give a user a daily budget";
}  // namespace

namespace {
// The --week option taken out of words: the weekly budget in minutes,
// kNoBudget for "off"; nullopt without the option.
std::optional<int32_t> TakeWeek(std::vector<std::string>& words) {
  const auto option = std::find(words.begin(), words.end(), "--week");
  if (option == words.end()) return std::nullopt;
  if (option + 1 == words.end()) throw EUsageError("--week needs an amount after it, such as 10h or 12h30m, or off");
  const std::string text = *(option + 1);
  words.erase(option, option + 2);
  if (AsciiSameText(text, "off")) return kNoBudget;
  int64_t minutes = 0;
  if (!ParseHoursAndMinutes(text, minutes))
    throw EUsageError("--week takes an amount such as 10h or 12h30m, or off, not '" + text + "'");
  if (minutes > kMaxWeekBudgetMinutes) throw EUsageError("a weekly budget is at most 168h: " + text);
  return static_cast<int32_t>(minutes);
}

}  // namespace

void RunBudget(TRun& run, std::vector<std::string> words) {
  const bool clear = TakeFlag(words, "--clear");
  const std::optional<int32_t> week = TakeWeek(words);
  // --clear removes the weekly limit too: with --week, one of them would be ignored.
  if (clear && week) throw EUsageError("budget takes --clear or --week, not both");
  ExpectWords("budget", words, 1, clear || week ? 1 : SIZE_MAX);
  TBudget budget;
  budget.fill(kNoBudget);
  if (!clear && words.size() > 1) budget = ParseBudget(Joined(words, 1));
  const TConfiguration config = run.Load();
  const std::string user = ConfiguredUser(run, config, words[0], "a daily budget");
  const TUserExtras& extras = config.UserExtras[static_cast<size_t>(config.RestrictedUsers.IndexOf(user))];
  if (!clear && !week && words.size() == 1) {
    run.Out << BudgetSentence(user, extras.Budget) << "\n";
    if (extras.WeekBudget != kNoBudget) run.Out << WeekBudgetSentence(user, extras.WeekBudget) << "\n";
    return;
  }
  if (week) {
    StoreWeekBudget(run, user, *week);
    run.Out << WeekBudgetSentence(user, *week) << "\n";
  } else {
    StoreBudgets(run, user, budget);
    if (clear) StoreWeekBudget(run, user, kNoBudget);
    run.Out << BudgetSentence(user, budget) << "\n";
  }
  SayWhomTheChangeRestricts(run, config);
  RequestReload(run);
}

void RunReport(TRun& run, std::vector<std::string> words) {
  const bool csv = TakeFlag(words, "--csv");
  const int days = TakeDays(words);
  ExpectWords("report", words, 0, 1);
  const TConfiguration config = run.Load();
  const TUsageFile usage = ReadUsage(run, config);
  if (usage.Read == TWholeFile::Failed || usage.Read == TWholeFile::NotPlain)
    throw ECommandFailed(UsageProblemText(usage));
  // A clock set back counts against the latest day the service counted, which
  // the report therefore ends with.
  const int64_t last = usage.Book.UseOf(std::string(), RulesToday(run, config)).Day;
  // The days before the service counted anything would show a use of none.
  const std::vector<TUsageRow> rows = usage.Book.Rows();
  const int64_t first = std::max(last - days + 1, rows.empty() ? last : std::min(rows.front().Day, last));
  const std::vector<std::string> users = words.empty()
                                             ? ReportedUsers(config, usage.Book, first)
                                             : std::vector<std::string>{ReportedUser(run, config, usage.Book, words[0])};
  if (usage.Read == TWholeFile::Missing) {
    // A spreadsheet still gets its header; the reason goes where a person reads it.
    const std::string why = config.KeepsUsage() ? "no use has been recorded yet: there is no " + usage.Path
                                                : std::string(kNotKeptText);
    if (csv) {
      run.Out << kCsvHeader;
      run.Err << "nortavelctl: " << why << "\n";
    } else {
      run.Out << char(std::toupper(static_cast<unsigned char>(why[0]))) << why.substr(1) << ".\n";
    }
    return;
  }
  const std::string problem = UsageProblemText(usage);
  if (!problem.empty()) run.Err << "nortavelctl: " << problem << "\n";
  if (!config.KeepsUsage()) run.Err << "nortavelctl: " << kNotKeptText << "\n";
  if (csv)
    PrintCsv(run, usage.Book, users, first, last);
  else
    PrintTable(run, config, usage.Book, users, first, last);
}
