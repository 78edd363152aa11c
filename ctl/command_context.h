#pragma once
// What every command of nortavelctl shares within one run. Internal to ctl/.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "common/time_zone.h"
#include "ctl/ctl_platform.h"
#include "ctl/service_info.h"
#include "ctl/usage_error.h"
#include "ctl/week_grid.h"
#include "diag/whole_file.h"
#include "engine/usage.h"
#include "winsys/configuration.h"

struct TRun {
  TCtlPlatform& Platform;
  std::ostream& Out;
  std::ostream& Err;
  TConfigLocation Location;  // in the view this run uses
  bool Windows64 = false;
  TServiceInfo Service;
  TRegistryView ServiceView = TRegistryView::View32;  // the view the service reads (or would)

  // A key below the main key as regedit names it: "HKLM\SOFTWARE\WOW6432Node\Vrem\NortavelFree\<below>"
  // for the 32-bit view on 64-bit Windows, without the node elsewhere.
  std::string KeyText(const std::string& below = std::string()) const { return KeyTextIn(Location.View, below); }
  // The restrictions' key, or a user's key or value below it, as regedit names it.
  std::string RestrictionsKeyText(const std::string& below = std::string()) const {
    return KeyText(std::string(kRestrictionsKeyName) + (below.empty() ? "" : "\\" + below));
  }
  std::string KeyTextIn(TRegistryView view, const std::string& below) const;
  // "32-bit" or "64-bit" for a view of this run.
  static std::string ViewName(TRegistryView view);
  // The configuration as the service reads it; ECommandFailed for a value it would refuse.
  TConfiguration Load(TRegistryView view) const;
  TConfiguration Load() const { return Load(Location.View); }
  // The clock of the rules under config: its fixed zone's time, or the computer's.
  TZoneClock RuleClock(const TConfiguration& config) const;
};

// Takes flag out of words; whether it was there.
bool TakeFlag(std::vector<std::string>& words, const std::string& flag);
// EUsageError unless words holds least to most words and no option.
void ExpectWords(const std::string& command, const std::vector<std::string>& words, size_t least, size_t most);
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
// A moment as status shows it: "Wed 19:10".
std::string WeekdayAndClock(int64_t seconds);

void RunStatus(TRun& run);
void RunAccounts(TRun& run, std::vector<std::string> words);
void RunInstaller(TRun& run, std::vector<std::string> words);
// What set and check say of a restricted user who is an administrator.
std::string AdministratorText(const std::string& user);
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
// Run by set. For the first user of a configuration without TimeZone the
// rules keep to the computer's zone as it is now; Out says so with the undo,
// or names the zone the rules keep to anyway, each with its time now.
void SayTheRulesZone(TRun& run, bool firstUser);

// The configuration as the service reads it, or an empty one where the service
// would refuse it: before and after a change, to compare them.
TConfiguration LoadOrEmpty(const TRun& run);
// After a change: names on Out each user it restricts now who owns processes,
// and when their time ends ("USER is using the computer now: ...").
void SayWhomTheChangeRestricts(TRun& run, const TConfiguration& before);
void RunBudget(TRun& run, std::vector<std::string> words);
void RunReport(TRun& run, std::vector<std::string> words);

// The use the service kept: its record, or where this run may not read it
// (not an administrator's), the copy every user may read.
TUsageFile ReadUsage(const TRun& run, const TConfiguration& config);
// Why usage falls short of what the service counted, to follow "nortavelctl: "
// or a label; empty when it was read whole or is missing (nothing counted yet).
std::string UsageProblemText(const TUsageFile& usage);
// While the service runs and keeps use: that its record has not been saved for
// longer than kUsageStaleSeconds (the saves keep failing), to follow a label;
// empty otherwise.
inline constexpr int64_t kUsageStaleSeconds = 10 * 60;
std::string UsageSavingText(const TRun& run, const TConfiguration& config, const TUsageFile& usage);
// While the service runs and keeps use: whether its record is ahead of the
// computer's clock by more than the service lets a clock drift, so that the
// service goes by its own time.
bool ClockBehind(const TRun& run, const TConfiguration& config, const TUsageFile& usage);

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
// How to mend the service's registration, to follow "; ": repairing the
// package where it was installed by one, else the service's own /UNINSTALL and
// /INSTALL.
std::string ReinstallText(const TRun& run);
// file empty: to standard output.
void RunExport(TRun& run, const std::string& file);
