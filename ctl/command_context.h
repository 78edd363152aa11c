#pragma once
// What every command of nortavelctl shares within one run. Internal to ctl/.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/log_sink.h"
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
  std::string KeyTextIn(TRegistryView view, const std::string& below) const;
  // "32-bit" or "64-bit" for a view of this run.
  static std::string ViewName(TRegistryView view);
  // The configuration as the service reads it; ECommandFailed for a value it would refuse.
  TConfiguration Load(TRegistryView view) const;
  TConfiguration Load() const { return Load(Location.View); }
};

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
// True when an error was found.
bool RunCheck(TRun& run);
// file empty: to standard output.
void RunExport(TRun& run, const std::string& file);
