#pragma once
// What every command of nortavelctl shares within one run. Internal to ctl/.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "common/time_zone.h"
#include "ctl/commands.h"
#include "ctl/service_info.h"
#include "ctl/week_grid.h"
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

// A log sink that keeps the lines, for the calls of winsys that only log.
class TKeptLog : public TLogSink {
 public:
  std::vector<std::string> Lines;
  void Log(const std::string& message) override { Lines.push_back(message); }
  void FlushLog() override {}
};

// The half hour of the week now: Day 0 = Monday.

TWeekSlot SlotNow(TClock& clock);

// A half hour of the week as "Wed 07:30".
std::string SlotText(int day, int slot);

void RunStatus(TRun& run);
void RunGrant(TRun& run, std::vector<std::string> words);
void RunTimeZone(TRun& run, std::vector<std::string> words);
void RunWarn(TRun& run, const std::vector<std::string>& words);
// True when an error was found.
bool RunCheck(TRun& run);
// file empty: to standard output.
void RunExport(TRun& run, const std::string& file);
