#pragma once
// TNortavelFree: the service module. It owns the engine's state and its timer,
// receives every event of the service (start, execute, stop, shutdown, destroy)
// and every tick, and drives the subsystems from the tick cycle.
//
// Threads: constructed and destroyed on the main thread, which also runs every
// tick; ServiceStart/Execute/Stop/Shutdown run on the service thread. ModuleLock
// serialises a tick against the stop, shutdown and destroy handlers; nothing
// holds it while waiting for another thread.

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "common/clock.h"
#include "common/log_sink.h"
#include "common/time_zone.h"
#include "diag/diagnostic_log.h"
#include "engine/engine_state.h"
#include "svcmgr/service.h"
#include "svcmgr/timer.h"
#include "winsys/account_api.h"
#include "winsys/configuration.h"
#include "winsys/process_api.h"
#include "winsys/registry_api.h"
#include "winsys/session_api.h"

// Every platform facility the module reaches, one seam each.
struct TNortavelFreePlatform {
  TClock& Clock;
  TLogPlatform& LogFiles;
  TRegistryApi& Registry;
  TProcessApi& Processes;
  TAccountApi& Accounts;
  TSessionApi& Sessions;
  TServiceRuntimeApi& ServiceRuntime;
  TTimerApi& Timers;
};

class TNortavelFree : public TService, public TEngineState, public TLogSink {
 public:
  explicit TNortavelFree(const TNortavelFreePlatform& platform);
  ~TNortavelFree() override;

  TTimer Timer1;
  // Owns the log's line buffer (DiagLog.LogLines).
  TDiagnosticLog DiagLog;
  // Where the configuration is read: the design's key in the process's own view.
  TConfigLocation ConfigLocation;

  // Handlers bound to the service and the timer.
  void ServiceCreate(TComponent* Sender);
  void ServiceStart(TService* Sender, bool& Started);
  void ServiceExecute(TService* Sender);
  void Timer1Timer(TComponent* Sender);
  void ServiceStop(TService* Sender, bool& Stopped);
  void ServiceShutdown(TService* Sender);
  void ServiceDestroy(TComponent* Sender);

  TServiceControlEntry GetControlEntry() override;

  // The subsystems' operations on this module's state. Virtual so that tests can
  // count and order them; each runs under ModuleLock, taken by its caller.
  virtual bool LoadConfiguration();
  virtual void CollectSeenAccounts();
  virtual void EnforceRestrictions();
  virtual bool IsRestrictedNow(const std::string& user);
  virtual void SetAccountLogonHours(const std::string& user, bool block);
  virtual bool ShutdownComputer();
  void Log(const std::string& message) override;
  void FlushLog() override;
  virtual void TrimLogFile();

  // True once the shutdown or destroy handler has released the lists; a late
  // tick and a later handler then leave them alone.
  bool ListsReleased() const { return Released; }

 protected:
  // Service thread: kControlReloadConfiguration asks the next tick to reload; other
  // user-defined controls do nothing.
  bool HandleCustomControl(uint32_t controlCode) override;

  TNortavelFreePlatform Platform;
  std::mutex ModuleLock;

 private:
  void FlushAndTrim();
  void ReleaseLists();
  // The time the rules use: the fixed zone's when TimeZone names one, the
  // computer's local time otherwise.
  TZoneClock RuleClock();
  // Whether the extra time of the user at position lets them use the computer
  // now (logged at level 2).
  bool InExtraTime(int position);
  // Shows each restricted user at the screen, once per coming restricted time,
  // that their time ends within WarnMinutes.
  void WarnOfTimeEnding();
  // Says at level 1, once per change, that the computer's zone is not the fixed one.
  void ReportZoneDifference();
  // Warns, in the log at level 1 and in the event log, of what lets the
  // restrictions be escaped: 64-bit programs a 32-bit service cannot see, a log
  // folder that others may write.
  void WarnOfWeakSpots();
  void Warn(const std::string& text);
  // Reports a log file refused as a link in the event log, once per start.
  void ReportRefusedLink();
  bool Released = false;
  bool LinkReported = false;
  // Per user, the start of the restricted time already warned of.
  std::map<std::string, int64_t> WarnedOf;
  // The computer's zone last reported as differing from the fixed one.
  std::string ZoneReported;
  // Set on the service thread, taken by the next tick on the main thread.
  std::atomic<bool> ReloadRequested{false};
};

// The one module of the process, created by the program entry.
extern TNortavelFree* NortavelFree;
