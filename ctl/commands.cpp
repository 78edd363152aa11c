#include "ctl/commands.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "common/calendar.h"
#include "common/string_list.h"
#include "ctl/budget.h"
#include "ctl/command_context.h"
#include "ctl/schedule.h"
#include "ctl/usage_error.h"
#include "engine/week.h"
#include "diag/diagnostic_log.h"
#include "diag/messages.h"
#include "engine/time_rules.h"
#include "winsys/accounts.h"
#include "winsys/registry.h"

#ifndef NF_VERSION
#define NF_VERSION "0.0.0"
#endif

namespace {
constexpr uint32_t kErrorAccessDenied = 5;
constexpr int kDefaultLogLines = 20;
constexpr uint32_t kFollowPauseMs = 1000;
// Long enough for the service's next tick to have reloaded.
constexpr uint32_t kReloadWait = kTickPeriodMs + 1000;

// What a command does with the words after its name.
using TCommandHandler = void (*)(TRun& run, std::vector<std::string> words);

struct TCommand {
  const char* Name;
  const char* Synopsis;
  const char* Summary;
  const char* Details;
  TCommandHandler Run;  // none for help, which needs neither the registry view nor the service
};

// The row named name, in any letter case; null for none.
const TCommand* FindCommand(const std::string& name);

// The command line: the command, its words and the options of every command.
struct TCommandLine {
  std::string Command;
  std::vector<std::string> Words;
  std::optional<TRegistryView> View;
  bool Version = false;
};

TRegistryView ParseView(const std::string& text) {
  if (text == "32") return TRegistryView::View32;
  if (text == "64") return TRegistryView::View64;
  throw EUsageError("--view takes 32 or 64, not '" + text + "'");
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine line;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--view") {
      if (i + 1 == args.size()) throw EUsageError("--view needs 32 or 64 after it");
      line.View = ParseView(args[++i]);
    } else if (arg.rfind("--view=", 0) == 0) {
      line.View = ParseView(arg.substr(7));
    } else if (arg == "--version") {
      line.Version = true;
    } else if (line.Command.empty() && (arg == "--help" || arg == "-h" || arg == "/?")) {
      line.Command = "help";
    } else if (line.Command.empty()) {
      line.Command = arg;
    } else {
      line.Words.push_back(arg);
    }
  }
  return line;
}

}  // namespace

// Takes flag out of words; whether it was there.
std::string Joined(const std::vector<std::string>& words, size_t first) {
  std::string text;
  for (size_t i = first; i < words.size(); ++i) text += (i > first ? " " : "") + words[i];
  return text;
}

bool TakeFlag(std::vector<std::string>& words, const std::string& flag) {
  bool found = false;
  for (auto it = words.begin(); it != words.end();) {
    if (*it == flag) {
      found = true;
      it = words.erase(it);
    } else {
      ++it;
    }
  }
  return found;
}

void ExpectWords(const std::string& command, const std::vector<std::string>& words, size_t least, size_t most) {
  for (const std::string& word : words)
    if (word.size() > 1 && word[0] == '-' && command != "set")
      throw EUsageError(command + " has no option " + word + ": run nortavelctl help " + command);
  if (words.size() < least || words.size() > most) {
    const TCommand* row = FindCommand(command);
    const std::string synopsis = row != nullptr ? row->Synopsis : "";
    throw EUsageError("usage: nortavelctl " + synopsis + " (run nortavelctl help " + command + ")");
  }
}

int ParseNumber(const std::string& text, const std::string& what) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    throw EUsageError(what + " takes a number, not '" + text + "'");
  return std::stoi(text);
}

namespace {
// Optimal string alignment: insertions, deletions, substitutions and swaps of
// neighbours, the slips a hurried typist makes.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}
}  // namespace

std::vector<std::string> NearestNames(const std::string& typed, const std::vector<std::string>& names) {
  constexpr size_t kMostEdits = 2;
  std::vector<std::string> nearest;
  size_t best = kMostEdits + 1;
  for (const std::string& name : names) {
    const size_t distance = EditDistance(AsciiLower(typed), AsciiLower(name));
    if (distance > kMostEdits || 2 * distance >= std::max(typed.size(), name.size()) || distance > best) continue;
    if (distance < best) nearest.clear();
    best = distance;
    nearest.push_back(name);
  }
  return nearest;
}

std::string DidYouMean(const std::string& typed, const std::vector<std::string>& names) {
  const std::vector<std::string> nearest = NearestNames(typed, names);
  if (nearest.empty()) return "";
  std::string text = "did you mean ";
  for (size_t i = 0; i < nearest.size(); ++i)
    text += (i == 0 ? "" : i + 1 == nearest.size() ? " or " : ", ") + nearest[i];
  return text + "?";
}

// message, and the configured users nearest to user after it.
EUsageError UnknownUser(const std::string& message, const std::string& user, const std::vector<std::string>& users) {
  const std::string suggestion = DidYouMean(user, users);
  return EUsageError(message + (suggestion.empty() ? "" : "; " + suggestion));
}

namespace {
void EnsureAccount(TRun& run, const std::string& user, const TAccountInfo& account) {
  if (!account.Readable)
    throw ECommandFailed("cannot tell whether " + user + " is a local account (" + ErrorText(account.Status) +
                         "): check the name, or add --force to store the rules anyway");
  if (account.Exists) return;
  // A child's Microsoft account shows its owner's name on the sign-in screen,
  // not the account's.
  const std::string suggestion = AccountSuggestion(run, user);
  throw ECommandFailed("there is no local account named " + user + ": " +
                       (suggestion.empty() ? "check the name (nortavelctl accounts lists the accounts), or"
                                           : suggestion + " nortavelctl accounts lists the accounts;") +
                       " add --force for an account made later");
}

void RunSet(TRun& run, std::vector<std::string> words) {
  const bool force = TakeFlag(words, "--force");
  ExpectWords("set", words, 2, SIZE_MAX);
  const std::string user = words[0];
  const std::vector<std::string> rules = ParseSchedule(Joined(words, 1));
  const TAccountInfo account = ReadAccount(run.Platform.Accounts, user);
  if (!force) EnsureAccount(run, user, account);
  const TConfiguration before = LoadOrEmpty(run);
  const bool firstUser = StoreRules(run, user, rules);
  // Stored all the same: the parent may make the account a standard one next.
  if (account.Administrator) run.Err << "nortavelctl: " << AdministratorText(user) << "\n";
  // The grid marks now in the rules' time zone; a configuration the service
  // would refuse has none, and the computer's time marks it.
  const TConfiguration config = LoadOrEmpty(run);
  TZoneClock clock = run.RuleClock(config);
  run.Out << "Stored in " << run.RestrictionsKeyText(user) << ":\n"
          << FormatWeekGrid(rules, SlotNow(clock)) << "Schedule: " << FormatSchedule(rules) << "\n"
          << "When " << user << "'s time ends, " << EndActionWords(config.EndAction) << ".\n";
  SayTheRulesZone(run, KeepRulesToComputerZone(run, firstUser));
  SayWhomTheChangeRestricts(run, before);
  RequestReload(run);
}

void RunShow(TRun& run, std::vector<std::string> words) {
  ExpectWords("show", words, 0, 1);
  const TConfiguration config = run.Load();
  TZoneClock clock = run.RuleClock(config);
  const TWeekSlot now = SlotNow(clock);
  if (!words.empty() && config.RestrictedUsers.IndexOf(words[0]) < 0)
    throw UnknownUser(words[0] + " has no rules in " + run.RestrictionsKeyText() + ": add them with nortavelctl set " +
                          words[0] + " SCHEDULE",
                      words[0], config.RestrictedUsers.Items());
  if (config.RestrictedUsers.Empty()) {
    run.Out << "No user is configured in " << run.RestrictionsKeyText() << ".\n";
    return;
  }
  bool first = true;
  for (int i = 0; i < config.RestrictedUsers.Count(); ++i) {
    const std::string& user = config.RestrictedUsers[i];
    if (!words.empty() && !PlatformSameText(user, words[0])) continue;
    const std::vector<std::string>& rules = config.UserRules[static_cast<size_t>(i)].Items();
    const TUserExtras& extras = config.UserExtras[static_cast<size_t>(i)];
    run.Out << (first ? "" : "\n") << user << ": " << FormatSchedule(rules) << "\n"
            << FormatWeekGrid(rules, now) << BudgetSentence(user, extras.Budget) << "\n";
    if (extras.WeekBudget != kNoBudget) run.Out << WeekBudgetSentence(user, extras.WeekBudget) << "\n";
    first = false;
  }
}

enum class TUnlock { Done, NoAccount, Failed };

std::string NoAccountText(const std::string& user) {
  return "there is no local account named " + user +
         ": nothing to unlock; check the name (net user lists the accounts)";
}

// Gives user every logon hour back. Failed is said on err; NoAccount is left to
// the caller, for whom it may be no fault.
TUnlock Unlock(TRun& run, const std::string& user) {
  const TAccountInfo account = ReadAccount(run.Platform.Accounts, user);
  if (account.Readable && !account.Exists) return TUnlock::NoAccount;
  TKeptLog log;
  SetAccountLogonHours(2, run.Platform.Accounts, log, user, false);
  for (const std::string& line : log.Lines) {
    if (line.rfind(kMsgSetUserFailed, 0) == 0) {
      run.Err << "nortavelctl: cannot give " << user
              << " the logon hours back: run from an administrator command prompt\n";
      return TUnlock::Failed;
    }
  }
  run.Out << user << " may log on at any hour again.\n";
  return TUnlock::Done;
}

void RunUnlock(TRun& run, std::vector<std::string> words) {
  const bool all = TakeFlag(words, "--all");
  ExpectWords("unlock", words, all ? 0 : 1, all ? 0 : 1);
  std::vector<std::string> users = words;
  if (all) {
    // The users' keys alone: a value of the wrong type elsewhere, which makes
    // the service refuse the configuration, must not keep anyone locked.
    users = ConfiguredUsers(run);
    if (users.empty()) run.Out << "No user is configured in " << run.RestrictionsKeyText() << ".\n";
  }
  bool unlocked = true;
  for (const std::string& user : users) {
    const TUnlock result = Unlock(run, user);
    if (result == TUnlock::NoAccount) {
      // Neither an account nor a configured user: most likely a slip.
      const std::vector<std::string> configured = ConfiguredUsers(run);
      if (!all && std::none_of(configured.begin(), configured.end(),
                               [&user](const std::string& name) { return PlatformSameText(name, user); }))
        throw UnknownUser(NoAccountText(user), user, configured);
      run.Err << "nortavelctl: " << NoAccountText(user) << "\n";
    }
    unlocked = result == TUnlock::Done && unlocked;
  }
  if (!unlocked) throw ECommandFailed("");
}

void RunRemove(TRun& run, std::vector<std::string> words) {
  ExpectWords("remove", words, 1, 1);
  const std::string& user = words[0];
  if (!RemoveRules(run, user))
    throw UnknownUser(user + " has no rules in " + run.RestrictionsKeyText() +
                          ": nothing removed; nortavelctl show lists the configured users",
                      user, ConfiguredUsers(run));
  run.Out << "Removed " << run.RestrictionsKeyText(user) << ".\n";
  // A running service must drop the user before the hours come back: a pass
  // with the old rules would take them away again, and nothing would return
  // them afterwards. The service reloads at its next tick, every 2 seconds.
  if (RequestReload(run)) run.Platform.Tool.Pause(kReloadWait);
  const TUnlock result = Unlock(run, user);
  // The rules of an account deleted earlier are what remove is for.
  if (result == TUnlock::NoAccount)
    run.Out << "There is no local account named " << user << ": no logon hours to give back.\n";
  if (result == TUnlock::Failed) throw ECommandFailed("");
}

void RunLevel(TRun& run, std::vector<std::string> words) {
  ExpectWords("level", words, 1, 1);
  const int level = ParseNumber(words[0], "level");
  if (level > kMaxLevel) throw EUsageError("level " + words[0] + " does not exist: use 0 to 4");
  StoreLevel(run, level);
  run.Out << "Log level set to " << level << " in " << run.KeyText() << ".\n";
  RequestReload(run);
}

void RunLogDir(TRun& run, std::vector<std::string> words) {
  ExpectWords("logdir", words, 1, 1);
  std::string folder = words[0];
  // No path holds a quote: a trailing one is the closing backslash of
  // "D:\Logs\", which the command line's rules read as an escaped quote (the
  // package hands LOGDIR over so).
  if (!folder.empty() && folder.back() == '"') folder.back() = '\\';
  folder = StoreLogFolder(run, folder, [&run](const std::string& made) {
    run.Out << "Created " << made << " (only SYSTEM and the Administrators may write there).\n";
  });
  run.Out << "Log folder set to " << folder << " in " << run.KeyText() << ".\n";
  RequestReload(run);
}

// The log's lines from offset on, CR LF or LF ended; offset moves past them.
std::vector<std::string> ReadLogLines(const std::string& path, std::streamoff& offset) {
  std::vector<std::string> lines;
  std::ifstream file(path, std::ios::binary);
  if (!file) return lines;
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < offset) offset = 0;  // trimmed meanwhile: the kept lines are new to the reader
  file.seekg(offset);
  std::string line;
  while (std::getline(file, line)) {
    if (file.eof()) break;  // a line still being written
    offset += static_cast<std::streamoff>(line.size()) + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void RunLog(TRun& run, std::vector<std::string> words) {
  const bool follow = TakeFlag(words, "-f");
  int count = kDefaultLogLines;
  for (auto it = words.begin(); it != words.end(); ++it) {
    if (*it != "-n") continue;
    if (it + 1 == words.end()) throw EUsageError("-n needs a number of lines after it");
    count = ParseNumber(*(it + 1), "-n");
    words.erase(it, it + 2);
    break;
  }
  ExpectWords("log", words, 0, 0);
  const TConfiguration config = run.Load();
  if (config.AppPath.empty())
    throw ECommandFailed("no log folder is set in " + run.KeyText() + ": set one with nortavelctl logdir DIR");
  const std::string path = config.AppPath + kLogFileName;
  std::streamoff offset = 0;
  std::vector<std::string> lines = ReadLogLines(path, offset);
  if (!std::ifstream(path))
    throw ECommandFailed("cannot read " + path +
                         ": the service has not written it yet (is the level 0?), or run from an administrator "
                         "command prompt");
  const size_t first = lines.size() > static_cast<size_t>(count) ? lines.size() - static_cast<size_t>(count) : 0;
  for (size_t i = first; i < lines.size(); ++i) run.Out << lines[i] << "\n";
  while (follow) {
    run.Out.flush();
    run.Platform.Tool.Pause(kFollowPauseMs);
    for (const std::string& line : ReadLogLines(path, offset)) run.Out << line << "\n";
  }
}

std::string FixFor(uint32_t code) {
  if (code == kErrorAccessDenied) return ": run from an administrator command prompt";
  return "";
}

// One row per command, in the order of the help listing; the help texts, the
// usage complaints and the dispatch all read it, so they cannot disagree.
const TCommand kCommands[] = {
    {"set", "set USER SCHEDULE [--force]", "store when USER may use the computer",
     "Stores the week of USER (Time1 = Monday .. Time7 = Sunday, one character per\n"
     "half hour, '0' allowed, '1' restricted) and shows it. The schedule names the\n"
     "half hours in which USER MAY use the computer, e.g.\n"
     "  nortavelctl set child \"Mo-Fr 07:00-08:00 15:00-20:00; Sa,Su 09:00-21:30\"\n"
     "USER must be a local account; --force stores the rules of an account made\n"
     "later. A running service reads the change within a few seconds.\n"
     "See \"nortavelctl help schedule\" for the syntax.\n",
     RunSet},
    {"show", "show [USER]", "the week of every configured user, or of one",
     "Shows each configured user's week as a grid (# restricted, . allowed, the\n"
     "current half hour marked) and as a schedule that \"set\" accepts. Rules that\n"
     "are not 48 characters long are shown as the service reads them.\n",
     RunShow},
    {"status", "status", "the service, and who is allowed now",
     "Shows whether the service is installed and running, its start type,\n"
     "account, executable and bitness, the registry view it reads, the log level\n"
     "and folder, and per user: allowed or restricted now and until when, whether\n"
     "the account's logon hours are locked, whether the user runs processes now,\n"
     "and the requests for more time that wait for an answer.\n",
     [](TRun& run, std::vector<std::string> words) {
       ExpectWords("status", words, 0, 0);
       RunStatus(run);
     }},
    {"check", "check", "find mistakes in the configuration and the installation",
     "Prints every finding on a line of its own, starting with \"error:\" or\n"
     "\"warning:\", naming the key or value concerned and the fix. Exits with 1\n"
     "when it found an error. The local accounts are checked too: a restricted\n"
     "user who is an administrator is an error; an enabled Guest account and\n"
     "enabled standard accounts without rules are warnings.\n",
     [](TRun& run, std::vector<std::string> words) {
       ExpectWords("check", words, 0, 0);
       if (RunCheck(run)) throw ECommandFailed("");
     }},
    {"accounts", "accounts", "the local accounts, and the name set needs for each",
     "Lists the local accounts: the name set and the other commands take, the full\n"
     "name the sign-in screen shows, whether it is an administrator's, the\n"
     "Microsoft account it signs in with, and whether it has rules. A child who\n"
     "signs in with a Microsoft account has a local account of another name.\n",
     RunAccounts},
    {"remove", "remove USER", "delete USER's rules and give back all logon hours",
     "Deletes the key of USER and gives the account every logon hour back.\n",
     RunRemove},
    {"unlock", "unlock USER | unlock --all", "give back all logon hours",
     "Gives the account (or every configured one) every logon hour back. The\n"
     "service locks it again when the rules restrict it.\n",
     RunUnlock},
    {"level", "level N", "set the log level (0 to 4)",
     "0 no log, 1 power-off decisions, 2 configuration and lock results, 3\n"
     "service events and rule traces, 4 per-process failures. 2 is the level to\n"
     "choose, and the one the installer sets; without a Debug value the service\n"
     "logs at level 1 only (status shows the level in force, check warns).\n",
     RunLevel},
    {"logdir", "logdir DIR", "set the folder of the log file",
     "Sets the folder of debug_free.log. A missing folder is created with rights\n"
     "for SYSTEM and the Administrators only, so a restricted user cannot touch\n"
     "the log.\n",
     RunLogDir},
    {"log", "log [-n N] [-f]", "the last lines of the log",
     "Prints the last N lines (20) of the service's log; -f goes on printing what\n"
     "the service adds, until Ctrl-C.\n",
     RunLog},
    {"grant", "grant USER 30m|2h|until HH:MM|--clear", "extra time for USER, today",
     "Lets USER use the computer longer than the rules allow: 30m or 2h (or 1h30m,\n"
     "90 minutes, at most 24h) added to the end of the time USER has now, or until\n"
     "the next 21:30 (or 9pm, 9:30pm, 21; tomorrow's only within 12 hours, e.g.\n"
     "until 00:30 late at night).\n"
     "Stored as AllowUntil in USER's key; --clear takes it back. Once it has\n"
     "passed, the rules apply again.\n",
     RunGrant},
    {"requests", "requests", "the requests for more time that wait for an answer",
     "Lists the requests children made today at their clock (\"Ask for more time\")\n"
     "that nobody has answered yet: who, how long and when. Answer them with approve\n"
     "or deny; a request left open ends with its day.\n",
     RunRequests},
    {"approve", "approve USER [AMOUNT]", "give USER the time they asked for",
     "Gives USER the time of their open request, or AMOUNT (30m, 2h, 1h30m, at most\n"
     "24h) instead, as grant does, and closes the request: USER's clock shows the\n"
     "new end within a second. Needs the running service.\n",
     RunApprove},
    {"deny", "deny USER", "say no to USER's request for more time",
     "Closes USER's open request: their clock says that the answer is no. Needs\n"
     "the running service.\n",
     RunDeny},
    {"pin", "pin [--stdin | --clear]", "the parent's PIN, to approve at the child's screen",
     "Asks twice for a PIN of 4 to 12 digits, without showing it, and stores it\n"
     "protected (a salted hash that only SYSTEM and the Administrators may read).\n"
     "A parent who types it into the child's clock approves the child's request\n"
     "there; five wrong PINs in a row close PIN entry for 15 minutes. --stdin reads\n"
     "the PIN from one line of standard input instead; --clear removes it, and then\n"
     "only approve answers requests.\n",
     RunPin},
    {"budget", "budget USER [BUDGET | --week AMOUNT | --clear]", "the most time USER may use the computer each day",
     "Stores how long USER may use the computer each day, within the times the\n"
     "rules allow, e.g.\n"
     "  nortavelctl budget child \"Mo-Fr 2h; Sa,Su 3h30m\"\n"
     "Days as a schedule names them, each with 2h, 3h30m, 45m, 90 minutes or 0 (no\n"
     "time that day), at most 24h; without days (budget child 2h) every day has\n"
     "it. The budget replaces the whole one before: days it does not name have no\n"
     "daily limit. Stored as Budget1 (Monday) .. Budget7 in USER's key\n"
     "(minutes). --week AMOUNT (10h, 12h30m; off removes it) sets the most time a\n"
     "week, Monday to Sunday, as BudgetWeek; a day ends at whichever runs out\n"
     "first. --clear removes them all. Without BUDGET, shows the budget. Use counts\n"
     "while USER is at an unlocked screen; status shows today's and this week's,\n"
     "report the days before.\n",
     RunBudget},
    {"report", "report [USER] [--days N] [--csv]", "the time each user used the computer, day by day",
     "Shows for each of the last N days (14; at most 90) and each user the time\n"
     "the service counted (1 h 20 min), with a bar of one # for every 10 minutes\n"
     "begun, oldest day first, from the first day it counted: every configured\n"
     "user, and any other the usage file names, or USER alone. --csv writes\n"
     "date,user,minutes lines for a spreadsheet instead.\n"
     "The service counts use for users with a daily budget, and for every user\n"
     "with nortavelctl keepusage on, and keeps it in C:\\ProgramData\\NortavelFree.\n",
     RunReport},
    {"warn", "warn MINUTES", "warn users before their time ends (0 to 60)",
     "Shows a restricted user at the screen, MINUTES before their computer time\n"
     "ends, that the computer will be switched off then. 0 turns the warning off.\n",
     [](TRun& run, std::vector<std::string> words) { RunWarn(run, words); }},
    {"timezone", "timezone [NAME | --current | --clear]", "keep the rules to one time zone",
     "The rules follow the computer's time zone, which any user may change. With\n"
     "NAME (a Windows time zone, e.g. \"W. Europe Standard Time\"; tzutil /l lists\n"
     "them) or --current (the zone the computer has now) they keep to that zone,\n"
     "daylight saving included, whatever the computer's zone. --clear goes back to\n"
     "the computer's zone; without arguments, shows the setting.\n",
     RunTimeZone},
    {"endaction", "endaction [lock | signout | poweroff]", "what happens when a user's time ends",
     "lock (what the package sets) locks the sessions of a restricted user whose\n"
     "time ends: Windows shows the sign-in screen, their programs stay open, and\n"
     "their logon hours keep them out until their time comes again. signout signs\n"
     "them out instead; poweroff (without a setting) switches the computer off,\n"
     "ending everybody's work. With lock or signout only a user with a session\n"
     "counts as using the computer. Without an argument, shows the setting.\n",
     RunEndAction},
    {"backstop", "backstop [on | off]", "let Windows refuse restricted hours without the service",
     "on writes each restricted user's week into their Windows account (its logon\n"
     "hours) while they are allowed, so that Windows itself refuses them at a\n"
     "restricted hour when the service is not running, for example in Safe Mode.\n"
     "Windows counts whole hours: an hour that is partly allowed stays open. off\n"
     "opens every hour while a user is allowed. Without an argument, shows the\n"
     "setting.\n",
     RunBackstop},
    {"keepusage", "keepusage [on | off]", "count every restricted user's time, for the report",
     "on makes the service count and keep the time each restricted user uses the\n"
     "computer, so that nortavelctl report shows it; off keeps it only for users\n"
     "with a daily budget, and without any the service keeps no record. The\n"
     "package turns it on. Without an argument, shows the setting.\n",
     RunKeepUsage},
    {"installer", "installer begin | rollback | commit", "what the installer package runs around its settings",
     "The package runs these, so that an install that fails leaves the settings\n"
     "as they were. begin keeps a copy of the main key's values beside it;\n"
     "rollback puts them back as copied (a value written since is removed) and\n"
     "removes the folders logdir made since, with the service's log in them;\n"
     "commit drops the copy. The users' rules are never touched.\n",
     RunInstaller},
    {"export", "export [FILE]", "the configuration as a .reg file",
     "Writes the whole configuration as a .reg file (Windows Registry Editor\n"
     "Version 5.00) that \"reg import\" reads on another computer; to standard\n"
     "output without FILE.\n",
     [](TRun& run, std::vector<std::string> words) {
       ExpectWords("export", words, 0, 1);
       RunExport(run, words.empty() ? "" : words[0]);
     }},
    {"help", "help [COMMAND]", "this text, or the details of one command", "Run \"nortavelctl help COMMAND\".\n",
     nullptr},
};

const TCommand* FindCommand(const std::string& name) {
  for (const TCommand& command : kCommands)
    if (AsciiSameText(name, command.Name)) return &command;
  return nullptr;
}

constexpr char kScheduleTopic[] = "schedule";

// The command names, and what else help explains when asked for.
std::vector<std::string> CommandNames(bool helpTopics) {
  std::vector<std::string> names;
  for (const TCommand& command : kCommands) names.push_back(command.Name);
  if (helpTopics) names.push_back(kScheduleTopic);
  return names;
}

const char kScheduleHelp[] =
    "A schedule names the half hours in which the user MAY use the computer:\n"
    "  always | never | DAYS WINDOW [WINDOW...] [; DAYS WINDOW...]\n"
    "DAYS: Mo, Mon or Monday (any letter case), ranges (Mo-Fr, mon-fri), lists\n"
    "(Sa,Su), daily, weekdays, weekends. WINDOW: START-END, blanks allowed around\n"
    "the dash (3pm to 8pm reads as 3pm-8pm), windows apart by blanks or commas. A\n"
    "time is 07:00, 7 or 7am (also 9:30pm; 12am is 00:00, 12pm is 12:00), on the\n"
    "hour or half hour. The end is excluded, 24:00 may end a day, an end before\n"
    "the start runs past midnight. Days no clause names are restricted. The net\n"
    "user /times syntax (\"M-F,8AM-5PM;Sa-Su,9AM-1PM\") is read too. set prints\n"
    "the schedule back as show writes it.\n"
    "  nortavelctl set child \"Mo-Fr 07:00-08:00 15:00-20:00; Sa,Su 09:00-21:30\"\n"
    "  nortavelctl set child \"mon-fri 7-8, 3pm to 8pm; sat,sun 9am-9:30pm\"\n";

void PrintHelp(std::ostream& out) {
  out << "nortavelctl " NF_VERSION " - administers the weekly time restrictions of NortavelFree\n\n"
         "Usage: nortavelctl [--view 32|64] COMMAND [ARGUMENTS]\n\nCommands:\n";
  for (const TCommand& command : kCommands) {
    std::string synopsis = command.Synopsis;
    // A long synopsis puts its summary on a line of its own, in the same column.
    synopsis = synopsis.size() < 30 ? synopsis + std::string(30 - synopsis.size(), ' ')
                                    : synopsis + "\n" + std::string(32, ' ');
    out << "  " << synopsis << command.Summary << "\n";
  }
  out << "  --version                     the version\n\n"
         "By default the tool uses the registry view the installed service reads (the\n"
         "32-bit view for the 32-bit service on 64-bit Windows); without a service,\n"
         "that of its own build. --view 32 or --view 64 chooses one.\n"
         "Exit codes: 0 success, 1 failed (or check found an error), 2 usage error.\n"
         "\"nortavelctl help COMMAND\" explains a command, \"nortavelctl help schedule\"\n"
         "the schedule syntax.\n";
}

void PrintCommandHelp(std::ostream& out, const std::string& name) {
  if (AsciiSameText(name, kScheduleTopic)) {
    out << kScheduleHelp;
    return;
  }
  const TCommand* command = FindCommand(name);
  if (command == nullptr) {
    const std::string suggestion = DidYouMean(name, CommandNames(true));
    throw EUsageError("there is no command '" + name + "': " +
                      (suggestion.empty() ? "run nortavelctl help for the list" : suggestion));
  }
  out << "Usage: nortavelctl " << command->Synopsis << "\n\n" << command->Details;
}

void Dispatch(TRun& run, const TCommandLine& line) {
  const TCommand* command = FindCommand(line.Command);
  if (command == nullptr || command->Run == nullptr) {
    const std::string suggestion = DidYouMean(line.Command, CommandNames(false));
    throw EUsageError("unknown command '" + line.Command + "': " +
                      (suggestion.empty() ? "run nortavelctl help for the list of commands" : suggestion));
  }
  command->Run(run, line.Words);
}
}  // namespace

TWeekSlot SlotNow(TClock& clock) {
  const TDateTime now = clock.LocalNow();
  return TWeekSlot{DayIndexOf(now), SlotIndexOf(now)};
}

bool RequestReload(TRun& run) {
  const TReloadAnswer answer = AskToReload(run.Platform.Tool);
  switch (answer.Kind) {
    case TReloadAnswer::Taken:
      run.Out << "The service reads the change within a few seconds.\n";
      return true;
    case TReloadAnswer::NotInstalled:
      run.Out << "The service is not installed: it reads the change when it starts.\n";
      break;
    case TReloadAnswer::NotRunning:
      run.Out << "The service is not running: it reads the change when it starts.\n";
      break;
    case TReloadAnswer::Unreachable:
      run.Err << "nortavelctl: cannot reach the service (" << ErrorText(answer.Error)
              << "): it reads the change within two minutes, or run from an administrator command prompt\n";
      break;
    case TReloadAnswer::Refused:
      if (answer.Error == 0)
        run.Err << "nortavelctl: the service did not answer the reload request; it reads the change within two "
                   "minutes\n";
      else
        run.Err << "nortavelctl: the service refused the reload request (" << ErrorText(answer.Error)
                << "): it reads the change within two minutes, or restart it with net stop " << kServiceName
                << " and net start " << kServiceName << "\n";
      break;
  }
  return false;
}

int RunCtl(const std::vector<std::string>& args, TCtlPlatform& platform, std::ostream& out, std::ostream& err) {
  try {
    const TCommandLine line = ParseCommandLine(args);
    if (line.Version) {
      out << "nortavelctl " NF_VERSION "\n";
      return kExitSuccess;
    }
    if (line.Command.empty() || AsciiSameText(line.Command, "help")) {
      ExpectWords("help", line.Words, 0, 1);
      if (line.Words.empty())
        PrintHelp(out);
      else
        PrintCommandHelp(out, line.Words[0]);
      return kExitSuccess;
    }
    TRun run{OpenAdmin(platform, line.View), out, err};
    Dispatch(run, line);
    return kExitSuccess;
  } catch (const EUsageError& error) {
    err << "nortavelctl: " << error.Message() << "\n";
    return kExitUsage;
  } catch (const ECommandFailed& error) {
    if (!error.Message().empty()) err << "nortavelctl: " << error.Message() << "\n";
  } catch (const EOSError& error) {
    err << "nortavelctl: " << error.Message() << FixFor(error.ErrorCode) << "\n";
  }
  return kExitFailed;
}
