#pragma once
// What every command of nortavelctl shares within one run. Internal to ctl/.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "admin/admin.h"
#include "admin/check.h"
#include "admin/operations.h"
#include "admin/usage_record.h"
#include "common/log_sink.h"
#include "common/time_zone.h"
#include "ctl/usage_error.h"
#include "ctl/week_grid.h"
#include "diag/whole_file.h"
#include "engine/usage.h"
#include "winsys/configuration.h"

// One run: the administration it acts on, and the streams it says things to.
struct TRun : TAdmin {
  std::ostream& Out;
  std::ostream& Err;
};

// Takes flag out of words; whether it was there.
bool TakeFlag(std::vector<std::string>& words, const std::string& flag);
// EUsageError unless words holds least to most words and no option.
void ExpectWords(const std::string& command, const std::vector<std::string>& words, size_t least, size_t most);
// words from the first on, apart by blanks: "1 hour 30 minutes" is three words.
std::string Joined(const std::vector<std::string>& words, size_t first);
// A number of up to six digits; EUsageError naming what otherwise.
int ParseNumber(const std::string& text, const std::string& what);

// The names nearest to typed by edit distance (letter case ignored, two
// neighbours swapped count as one edit), when they are near enough to be a slip
// of the fingers: at most 2 edits, and fewer than half as many as the longer of
// the two has letters. Ties are all given, in the order of names.
std::vector<std::string> NearestNames(const std::string& typed, const std::vector<std::string>& names);
// "did you mean anna?", "did you mean anna or anne?" for NearestNames; empty when
// none is near.
std::string DidYouMean(const std::string& typed, const std::vector<std::string>& names);
// user as the registry spells them, when configured; otherwise raises
// UnknownUser saying that what ("extra time") is for restricted users.
std::string ConfiguredUser(const TRun& run, const TConfiguration& config, const std::string& user,
                           const std::string& what);
// message, and the configured users nearest to user after it.
EUsageError UnknownUser(const std::string& message, const std::string& user, const std::vector<std::string>& users);

// A log sink that keeps the lines, for the calls of winsys that only log.
class TKeptLog : public TLogSink {
 public:
  std::vector<std::string> Lines;
  void Log(const std::string& message) override { Lines.push_back(message); }
  void FlushLog() override {}
};

// The half hour of the week now: Day 0 = Monday.
TWeekSlot SlotNow(TClock& clock);
// Asks the running service to reload and says on Out what happens next; a
// request not taken is reported on Err (with its remedy). True when the
// running service took it.
bool RequestReload(TRun& run);

void RunStatus(TRun& run);
void RunAccounts(TRun& run, std::vector<std::string> words);
void RunInstaller(TRun& run, std::vector<std::string> words);
// For a name that is no local account: "did you mean annas (Anna Smith)?" for
// the accounts the sign-in screen shows by that name (full name, its first word,
// Microsoft account), else DidYouMean over the accounts' names; empty for none.
std::string AccountSuggestion(TRun& run, const std::string& typed);
void RunGrant(TRun& run, std::vector<std::string> words);
void RunTimeZone(TRun& run, std::vector<std::string> words);
void RunWarn(TRun& run, const std::vector<std::string>& words);
void RunEndAction(TRun& run, std::vector<std::string> words);
// What happens when a user's time ends, to follow "When USER's time ends, ".
std::string EndActionWords(TEndAction action);
void RunBackstop(TRun& run, std::vector<std::string> words);
void RunKeepUsage(TRun& run, std::vector<std::string> words);
// Run by set. pinned: the zone KeepRulesToComputerZone kept the rules to;
// Out says so with the undo, or names the zone the rules keep to anyway, each
// with its time now.
void SayTheRulesZone(TRun& run, const std::string& pinned);
// After a change: names on Out each user it restricts now who owns processes,
// and when their time ends ("USER is using the computer now: ...").
void SayWhomTheChangeRestricts(TRun& run, const TConfiguration& before);
void RunBudget(TRun& run, std::vector<std::string> words);
void RunReport(TRun& run, std::vector<std::string> words);

// The parent's side of a child asking for more time.
void RunPin(TRun& run, std::vector<std::string> words);
void RunRequests(TRun& run, std::vector<std::string> words);
void RunApprove(TRun& run, std::vector<std::string> words);
void RunDeny(TRun& run, std::vector<std::string> words);
// "child asks for 30 min, 18:05" for each request open today, by the rules'
// clock; none where the service's file cannot be read, and then unreadable
// (when given) names it.
std::vector<std::string> OpenRequestTexts(const TRun& run, const TConfiguration& config,
                                          std::string* unreadable = nullptr);

// True when an error was found.
bool RunCheck(TRun& run);
// file empty: to standard output.
void RunExport(TRun& run, const std::string& file);
