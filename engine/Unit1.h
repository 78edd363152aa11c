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
#include "common/protocol.h"
#include "common/registry_api.h"
#include "diag/diagnostic_log.h"
#include "engine/enforcement.h"
#include "engine/engine_state.h"
#include "engine/pipe_server.h"
#include "engine/requests.h"
#include "engine/service_time.h"
#include "engine/usage.h"
#include "svcmgr/service.h"
#include "svcmgr/timer.h"
#include "winsys/account_api.h"
#include "winsys/configuration.h"
#include "winsys/crypto_api.h"
#include "winsys/pipe_api.h"
#include "winsys/process_api.h"
#include "winsys/session_api.h"
#include "winsys/sessions.h"

// The control manager's answer to a service that ends without being stopped:
// a restart 10 s later, for the first three failures of a day.
inline constexpr uint32_t kRestartDelayMs = 10000;
inline constexpr uint32_t kFailureResetSeconds = 24 * 60 * 60;
// The usage file is written at most once a minute, so that a crash loses at
// most a minute of the day's use.
inline constexpr int kUsageSaveEveryTicks = 30;

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
  TPipeServerApi& Pipe;
  TCryptoApi& Crypto;
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
  // Each restricted user's use of the computer per day, counted while use is
  // kept (a budget, or KeepUsage), and where it is kept.
  TUsageBook Usage;
  TUsagePlaces UsageFolders;

  // Handlers bound to the service and the timer.
  void ServiceCreate(TComponent* Sender);
  void ServiceStart(TService* Sender, bool& Started);
  void ServiceExecute(TService* Sender);
  void Timer1Timer(TComponent* Sender);
  void ServiceStop(TService* Sender, bool& Stopped);
  void ServiceShutdown(TService* Sender);
  void ServiceDestroy(TComponent* Sender);
  // /UNINSTALL: every configured user's logon hours given back.
  void ServiceBeforeUninstall(TService* Sender);

  TServiceControlEntry GetControlEntry() override;

  // The subsystems' operations on this module's state; each runs under
  // ModuleLock, taken by its caller.
  bool LoadConfiguration();
  void CollectSeenAccounts();
  // While use is kept: moves the service's time on by the clock and the
  // elapsed time, and gives each restricted user present now the time awake
  // since the last tick; writes the usage file when a minute has passed.
  void CountUsage(const TDateTime& utc, const TElapsed& elapsed);
  // Writes the record, its copy for readers, or where the record cannot be
  // replaced the spare, when anything changed since it was last written.
  void SaveUsage();
  // The enforcement pass (engine/enforcement.h); then the ends it announced
  // are written when they changed.
  void EnforceRestrictions();
  // At the start, with warnings: the ends announced before, given back to the pass.
  void ReadAnnouncedEnds();
  // The pipe's thread: the answer to one request of client (engine/requests.h).
  // Takes ModuleLock, but never for a PIN's derivation.
  std::string AnswerRequest(const TPipeClient& client, const std::string& request);
  // The children's requests for more time and the parents' answers.
  TRequestBook Requests;
  void Log(const std::string& message) override;
  void FlushLog() override;
  void TrimLogFile();

  // True once the shutdown or destroy handler has released the lists; a late
  // tick and a later handler then leave them alone.
  bool ListsReleased() const { return Released; }

 protected:
  // Service thread: kControlReloadConfiguration asks for a reload at the next
  // tick that has a credit for it (kReloadBurst at the start, one more every
  // kRequestedReloadGapTicks); other user-defined controls do nothing.
  bool HandleCustomControl(uint32_t controlCode) override;

  TNortavelFreePlatform Platform;
  std::mutex ModuleLock;

 private:
  void FlushAndTrim();
  void ReleaseLists();
  // Warns, in the log at level 1 and in the event log.
  void Warn(const std::string& text);
  // Reports a log file refused as a link in the event log, once per start.
  void ReportRefusedLink();
  // Makes the data folder and the service's folder in it private, once per
  // start; false (logged once) when they cannot be.
  bool PrepareFolders();
  // Once use is kept: the folders made private, and the record read unless it
  // was read already.
  void PrepareUsage();
  void ReadUsageRecord();
  // Moves a usage file that is no plain file out of the way; true when its name
  // is free again.
  bool SetAside(const std::string& path);
  // Writes folder + name whole, setting aside once what is there if it is no plain file.
  TWholeFile ReplaceOrSetAside(const std::string& folder, const char* name, const std::string& text);
  // Reads one of the service's files whole, where its folder exists already.
  bool ReadServiceFile(const char* name, std::string& text);
  void ClockSetBack(const std::optional<TClockSetBack>& setBack);
  // The restricted users whose time counts for the interval that ends now.
  std::vector<std::string> PresentUsers();
  // Requests: read at the start, written whenever they change.
  void ReadRequests();
  void SaveRequests();
  // Under the lock: the rules' time now, its day, and the user's use of it.
  int64_t RulesNow();
  // Under the lock: grants user minutes as grant does, closes their request and
  // asks for a reload; the answer "OK until HH:MM".
  std::string ApproveRequest(const std::string& user, int32_t minutes);
  std::string AnswerPin(const std::string& user, const std::string& pin);
  std::string StateOf(const std::string& user);
  // Logs a failure of the usage file once, until it is written again.
  void UsageFailed(const std::string& message);
  TServiceClock ServiceClock;  // the clock that decisions and counting read
  TEnforcement Enforcement;
  TStringList OwnersNow;  // owners of the processes of the last listing
  TSlowProcesses SlowProcesses;  // processes not examined again
  bool SlowTickReported = false;
  TServiceTime Time;      // the service's own time, while use is kept
  TPipeServer PipeServer;  // its thread answers the pipe
  TPinGuard PinGuard;
  bool KeepingUse = false;     // the configuration asks for use to be kept
  bool FoldersReady = false;   // the data folder and the record's are private
  bool RecordRead = false;     // the record was read or found missing: saves may replace it
  std::map<std::string, int64_t> EndsSaved;  // the announced ends as last written
  std::optional<uint64_t> LastAwakeMs;
  TStringList UnlockedBefore;      // at an unlocked session at the last count
  bool LockUnknownLogged = false;
  uint64_t UncountedMs = 0;    // awake time of the ticks not yet counted as whole seconds
  int TicksSinceUsageSaved = kUsageSaveEveryTicks;
  bool UsageFailureLogged = false;
  bool Released = false;
  bool LinkReported = false;
  // Set on the service thread, taken by the next tick on the main thread.
  std::atomic<bool> ReloadRequested{false};
  // The elapsed time (ms since the computer started) at the last pass.
  std::optional<uint64_t> LastPassMs;
  // Requested reloads that may act at once, and the ticks gone towards the next.
  int ReloadCredits = kReloadBurst;
  int TicksTowardsCredit = 0;
};

// The one module of the process, created by the program entry.
extern TNortavelFree* NortavelFree;
