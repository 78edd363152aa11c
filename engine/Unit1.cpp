#include "engine/Unit1.h"

#include <exception>
#include <utility>

#include "common/calendar.h"
#include "common/debug_level.h"
#include "common/protocol.h"
#include "diag/messages.h"
#include "diag/whole_file.h"
#include "engine/weak_spots.h"
#include "winsys/configuration.h"
#include "winsys/sessions.h"

TNortavelFree* NortavelFree = nullptr;

namespace {
void NF_WINAPI ServiceControlEntry(uint32_t controlCode) {
  // Called by the control manager: nothing may escape, and a request that cannot
  // be posted is lost like one whose post fails.
  try {
    if (NortavelFree != nullptr) NortavelFree->PostControlRequest(controlCode);
  } catch (...) {
  }
}
}  // namespace

TNortavelFree::TNortavelFree(const TNortavelFreePlatform& platform)
    : TService(platform.ServiceRuntime),
      Timer1(platform.Timers),
      DiagLog(platform.LogFiles, platform.Clock),
      Platform(platform),
      Enforcement(TEnforcementPlatform{platform.Clock, platform.Registry, platform.Accounts, platform.Sessions,
                                       [this] { SaveUsage(); }}) {
  Name = kServiceName;
  DisplayName = kServiceDisplayName;
  AllowPause = false;
  WaitHint = 2000;
  OnCreate = [this](TComponent* sender) { ServiceCreate(sender); };
  OnDestroy = [this](TComponent* sender) { ServiceDestroy(sender); };
  OnStart = [this](TService* sender, bool& started) { ServiceStart(sender, started); };
  OnExecute = [this](TService* sender) { ServiceExecute(sender); };
  OnStop = [this](TService* sender, bool& stopped) { ServiceStop(sender, stopped); };
  OnShutdown = [this](TService* sender) { ServiceShutdown(sender); };
  // A child restarting into Safe Mode, or a service that crashed, would
  // otherwise find no limit at all.
  StartsInSafeMode = true;
  RestartDelays = {kRestartDelayMs, kRestartDelayMs, kRestartDelayMs};
  FailureResetSeconds = kFailureResetSeconds;
  BeforeUninstall = [this](TService* sender) { ServiceBeforeUninstall(sender); };

  Timer1.Name = "Timer1";
  Timer1.SetEnabled(false);
  Timer1.SetInterval(kTickPeriodMs);
  Timer1.SetOnTimer([this](TComponent* sender) { Timer1Timer(sender); });
}

TNortavelFree::~TNortavelFree() = default;

TServiceControlEntry TNortavelFree::GetControlEntry() { return &ServiceControlEntry; }

void TNortavelFree::ServiceCreate(TComponent*) {}

void TNortavelFree::ServiceBeforeUninstall(TService*) {
  // Once the service is gone nothing gives a locked user their hours back.
  std::string failed;
  try {
    for (const std::string& user : ConfiguredUserNames(Platform.Registry, ConfigLocation)) {
      const TAccountInfo account = ReadAccount(Platform.Accounts, user);
      if (account.Readable && !account.Exists) continue;
      if (!SetAccountLogonHours(0, Platform.Accounts, *this, user, false)) failed += (failed.empty() ? "" : ", ") + user;
    }
  } catch (const Exception& error) {
    WriteServiceEvent(kMsgUsersNotRead + error.Message() + kMsgUnlockAdvice, TEventLogger::kWarningType);
    return;
  }
  if (!failed.empty()) WriteServiceEvent(kMsgUsersNotUnlocked + failed + kMsgUnlockAdvice, TEventLogger::kWarningType);
}

void TNortavelFree::ServiceStart(TService*, bool&) {
  std::lock_guard<std::mutex> guard(ModuleLock);
  TickCount = 0;
  ReloadCredits = kReloadBurst;
  TicksTowardsCredit = 0;
  LinkReported = false;
  LoadConfiguration();
  LoadUsage();
  if (LevelAdmits(DebugLevel, 3)) Log(kMsgServiceStarted);
  for (const std::string& text : FindWeakSpots(Platform.Processes, Platform.LogFiles, AppPath)) Warn(text);
}

void TNortavelFree::Warn(const std::string& text) {
  if (LevelAdmits(DebugLevel, 1)) Log(kMsgWarning + text);
  WriteServiceEvent(text, TEventLogger::kWarningType);
}

void TNortavelFree::ReportRefusedLink() {
  const std::string path = DiagLog.TakeRefusedLink();
  if (path.empty() || LinkReported) return;
  LinkReported = true;
  WriteServiceEvent(kMsgRefusedLinkPrefix + path + kMsgRefusedLinkAdvice, TEventLogger::kWarningType);
}

void TNortavelFree::ServiceExecute(TService*) {
  // Not under the lock: disarming must never wait for a tick in progress, and
  // the pump blocks.
  Timer1.SetEnabled(true);
  while (!StopRequested()) PumpControlRequests(true);
  Timer1.SetEnabled(false);
}

void TNortavelFree::Timer1Timer(TComponent*) {
  std::lock_guard<std::mutex> guard(ModuleLock);
  if (Released) return;

  // A failing step does not end the tick: the later steps, the flush and the
  // counter keep the schedule, and the first error still reaches the timer's
  // exception handling once the tick is complete.
  std::exception_ptr firstError;
  auto step = [&firstError](auto&& operation) {
    try {
      operation();
    } catch (...) {
      if (!firstError) firstError = std::current_exception();
    }
  };

  // A requested reload comes first and counts as the cycle's own: the count
  // starts again, so this tick's pass already judges by the new rules (a user
  // just removed is not locked again by the old ones) and the next scheduled
  // reload comes two minutes later. A parent's few changes in a row each act
  // at once; requests sent at every tick (a script, or an account that was
  // given the right) spend the credits and then reload once in
  // kRequestedReloadGapTicks. Meanwhile a request waits, neither dropped nor
  // carried out twice.
  if (ReloadCredits < kReloadBurst && ++TicksTowardsCredit >= kRequestedReloadGapTicks) {
    ++ReloadCredits;
    TicksTowardsCredit = 0;
  }
  const bool requested = ReloadCredits > 0 && ReloadRequested.exchange(false);
  if (requested) {
    --ReloadCredits;
    step([this] { LoadConfiguration(); });
    TickCount = 0;
  }
  step([this] { CollectSeenAccounts(); });
  step([this] { CountUsage(); });
  if (TickCount % kPassEveryTicks == 0) step([this] { EnforceRestrictions(); });
  if (TickCount % kReloadEveryTicks == 0 && !requested) {
    // Reads whatever a waiting request asked for. Taken before the read: a
    // request that comes during it may follow a change the read missed.
    ReloadRequested = false;
    step([this] { LoadConfiguration(); });
    TickCount = 0;
  }
  step([this] { FlushLog(); });
  ++TickCount;

  if (firstError) std::rethrow_exception(firstError);
}

bool TNortavelFree::HandleCustomControl(uint32_t controlCode) {
  if (controlCode == kControlReloadConfiguration) ReloadRequested = true;
  return true;
}

void TNortavelFree::ServiceStop(TService*, bool&) {
  std::lock_guard<std::mutex> guard(ModuleLock);
  if (Released) return;
  if (LevelAdmits(DebugLevel, 3)) Log(kMsgServiceStopped);
  SaveUsage();
  FlushAndTrim();
  DiagLog.LogLines.Clear();  // lines a failed flush kept are dropped here
}

void TNortavelFree::ServiceShutdown(TService*) {
  std::lock_guard<std::mutex> guard(ModuleLock);
  if (Released) return;
  if (LevelAdmits(DebugLevel, 3)) Log(kMsgServiceShutdown);
  SaveUsage();
  FlushAndTrim();
  ReleaseLists();
}

void TNortavelFree::ServiceDestroy(TComponent*) {
  std::lock_guard<std::mutex> guard(ModuleLock);
  // After a shutdown the lists are gone and the log was already flushed and trimmed.
  if (Released) return;
  if (LevelAdmits(DebugLevel, 3)) Log(kMsgServiceDestroyed);
  SaveUsage();
  FlushAndTrim();
  ReleaseLists();
}

void TNortavelFree::FlushAndTrim() {
  FlushLog();
  TrimLogFile();
}

void TNortavelFree::ReleaseLists() {
  DiagLog.LogLines.Clear();
  RestrictedUsers.Clear();
  UserRules.clear();
  UserExtras.clear();
  SeenAccounts.Clear();
  Released = true;
}

void TNortavelFree::EnforceRestrictions() { Enforcement.Run(*this, Usage, *this); }

bool TNortavelFree::LoadConfiguration() {
  // Read into a copy and adopt it only whole: a value of the wrong type in one
  // user's key must not leave the users after it without rules, since a missing
  // rule answers "not restricted" and would free them until the value is fixed.
  TConfiguration loaded = static_cast<const TConfiguration&>(*this);
  ::LoadConfiguration(loaded, Platform.Registry, ConfigLocation, *this);
  static_cast<TConfiguration&>(*this) = std::move(loaded);
  return true;
}

void TNortavelFree::CollectSeenAccounts() {
  ::CollectSeenAccounts(SeenAccounts, DebugLevel, Platform.Processes, *this, &OwnersNow);
}

void TNortavelFree::LoadUsage() {
  TUsageFile file = ReadUsageFile(Platform.LogFiles);
  if (file.Folder.empty()) return;
  UsageFolder = file.Folder;
  Usage = std::move(file.Book);
  if (file.Damage.Lines > 0 && LevelAdmits(DebugLevel, 1))
    Log(kMsgUsageDamaged + std::to_string(file.Damage.Lines) + kMsgUsageDamagedFirst +
        std::to_string(file.Damage.First) + ": " + file.Path);
  if (file.Read == TWholeFile::Linked) UsageFailed(kMsgUsageRefusedLink + file.Path);
  if (file.Read == TWholeFile::Failed) UsageFailed(kMsgUsageNotRead + file.Path);
}

void TNortavelFree::CountUsage() {
  // Nobody to count: the service keeps no file.
  if (RestrictedUsers.Empty()) return;
  const int64_t nowUtc = SecondsOf(Platform.Clock.UtcNow());
  TZoneClock rules(Platform.Clock, FixedZone ? &*FixedZone : nullptr);
  const int64_t today = DayOf(SecondsOf(rules.LocalNow()));
  const bool bySession = EndAction == TEndAction::SignOut && Enforcement.SessionsKnown();
  std::vector<std::string> present;
  for (const std::string& user : RestrictedUsers)
    if (bySession ? Enforcement.HasSession(user) : OwnersNow.IndexOf(user) >= 0) present.push_back(user);
  const std::optional<TClockSetBack> setBack = Usage.Tick(nowUtc, today, present);
  if (setBack) Warn(kMsgClockSetBack + FormatUtc(setBack->From) + kMsgClockSetBackTo + FormatUtc(setBack->To));
  if (++TicksSinceUsageSaved >= kUsageSaveEveryTicks) SaveUsage();
}

void TNortavelFree::SaveUsage() {
  if (UsageFolder.empty() || !Usage.Changed()) return;
  TicksSinceUsageSaved = 0;
  if (!UsageFolderMade) {
    UsageFolderMade = Platform.LogFiles.CreatePrivateFolder(UsageFolder);
    if (!UsageFolderMade) {
      UsageFailed(kMsgUsageNotWritten + UsageFolder);
      return;
    }
  }
  const std::string path = UsageFolder + kUsageFileName;
  const TWholeFile written = ReplaceWholeFile(Platform.LogFiles, UsageFolder, kUsageFileName, Usage.Format());
  if (written == TWholeFile::Done) {
    UsageFailureLogged = false;
  } else {
    UsageFailed((written == TWholeFile::Linked ? kMsgUsageRefusedLink : kMsgUsageNotWritten) + path);
  }
}

void TNortavelFree::UsageFailed(const std::string& message) {
  if (UsageFailureLogged) return;
  UsageFailureLogged = true;
  if (LevelAdmits(DebugLevel, 1)) Log(message);
}

void TNortavelFree::Log(const std::string& message) { DiagLog.Log(message); }

void TNortavelFree::FlushLog() {
  DiagLog.FlushLog(DebugLevel, AppPath);
  ReportRefusedLink();
}

void TNortavelFree::TrimLogFile() {
  DiagLog.TrimLogFile(DebugLevel, AppPath);
  // A trim that could not run said why; those lines must reach the file too,
  // since the stop drops whatever is still buffered.
  if (!DiagLog.LogLines.Empty()) DiagLog.FlushLog(DebugLevel, AppPath);
  ReportRefusedLink();
}
