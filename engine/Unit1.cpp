#include "engine/Unit1.h"

#include <exception>
#include <utility>

#include "common/calendar.h"
#include "common/debug_level.h"
#include "common/protocol.h"
#include "common/system_error.h"
#include "diag/messages.h"
#include "diag/whole_file.h"
#include "engine/decision.h"
#include "engine/weak_spots.h"
#include "winsys/config_writer.h"
#include "winsys/configuration.h"
#include "winsys/pin.h"
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
      ServiceClock(platform.Clock),
      Enforcement(TEnforcementPlatform{ServiceClock, platform.Registry, platform.Accounts, platform.Sessions,
                                       [this] { SaveUsage(); }}),
      PipeServer(platform.Pipe,
                 [this](const TPipeClient& client, const std::string& request) { return AnswerRequest(client, request); }) {
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
  Access = kServiceAccess;
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
  LastPassMs.reset();
  SlowTickReported = false;
  LinkReported = false;
  LoadConfiguration();
  // Made private again at every start before anything is read: a folder made
  // or changed while the service was not running is taken over first.
  FoldersReady = false;
  if (KeepingUse) PrepareUsage();
  if (WarnMinutes > 0) ReadAnnouncedEnds();
  ReadRequests();
  // Before the service reports running, so that no other process can hold the
  // pipe's name first.
  const uint32_t pipe = PipeServer.Open();
  if (pipe != 0) {
    if (LevelAdmits(DebugLevel, 1)) Log(kMsgPipeNotMade + SystemErrorText(pipe));
    WriteServiceEvent(kMsgPipeNotMade + SystemErrorText(pipe), TEventLogger::kErrorType);
  }
  PipeServer.Start();
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
  // One reading of the clock and the elapsed time for the whole tick.
  const TDateTime utc = Platform.Clock.UtcNow();
  const TElapsed elapsed = Platform.Clock.Elapsed();
  step([this] { CollectSeenAccounts(); });
  step([&] { CountUsage(utc, elapsed); });
  // The pass comes when its period has elapsed, whatever the ticks before took
  // (half a tick early rather than a tick late: the timer is not exact), and
  // at once after a requested reload, so that it judges by the new rules.
  if (requested || !LastPassMs || elapsed.SinceStartMs - *LastPassMs + kTickPeriodMs / 2 >= kPassPeriodMs) {
    LastPassMs = elapsed.SinceStartMs;
    step([this] { EnforceRestrictions(); });
  }
  if (TickCount % kReloadEveryTicks == 0 && !requested) {
    // Reads whatever a waiting request asked for. Taken before the read: a
    // request that comes during it may follow a change the read missed.
    ReloadRequested = false;
    step([this] { LoadConfiguration(); });
    TickCount = 0;
  }
  // A tick slower than its period delays the next: said once per start.
  const uint64_t took = Platform.Clock.Elapsed().SinceStartMs - elapsed.SinceStartMs;
  if (took > kTickPeriodMs && !SlowTickReported) {
    SlowTickReported = true;
    Warn(kMsgSlowTick + std::to_string(took) + kMsgSlowTickEnd);
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
  // Its thread may wait for the lock: stopped before the lock is taken.
  PipeServer.Stop();
  std::lock_guard<std::mutex> guard(ModuleLock);
  if (Released) return;
  if (LevelAdmits(DebugLevel, 3)) Log(kMsgServiceStopped);
  SaveUsage();
  FlushAndTrim();
  DiagLog.LogLines.Clear();  // lines a failed flush kept are dropped here
}

void TNortavelFree::ServiceShutdown(TService*) {
  // Its thread may wait for the lock: stopped before the lock is taken.
  PipeServer.Stop();
  std::lock_guard<std::mutex> guard(ModuleLock);
  if (Released) return;
  if (LevelAdmits(DebugLevel, 3)) Log(kMsgServiceShutdown);
  SaveUsage();
  FlushAndTrim();
  ReleaseLists();
}

void TNortavelFree::ServiceDestroy(TComponent*) {
  // Its thread may wait for the lock: stopped before the lock is taken.
  PipeServer.Stop();
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

void TNortavelFree::EnforceRestrictions() {
  Enforcement.Run(*this, Usage, *this);
  if (Enforcement.AnnouncedEnds() == EndsSaved || !PrepareFolders()) return;
  const std::string& folder = UsageFolders.RecordFolder;
  if (ReplaceOrSetAside(folder, kAnnouncedEndsName, FormatAnnouncedEnds(Enforcement.AnnouncedEnds())) ==
      TWholeFile::Done)
    EndsSaved = Enforcement.AnnouncedEnds();
  else
    UsageFailed(kMsgUsageNotWritten + folder + kAnnouncedEndsName);
}

void TNortavelFree::ReadAnnouncedEnds() {
  std::string text;
  if (!ReadServiceFile(kAnnouncedEndsName, text)) return;
  EndsSaved = ParseAnnouncedEnds(text);
  Enforcement.RestoreAnnouncedEnds(EndsSaved);
}

bool TNortavelFree::LoadConfiguration() {
  // Read into a copy and adopt it only whole: a value of the wrong type in one
  // user's key must not leave the users after it without rules, since a missing
  // rule answers "not restricted" and would free them until the value is fixed.
  TConfiguration loaded = static_cast<const TConfiguration&>(*this);
  ::LoadConfiguration(loaded, Platform.Registry, ConfigLocation, *this);
  static_cast<TConfiguration&>(*this) = std::move(loaded);
  KeepingUse = KeepsUsage();
  return true;
}

void TNortavelFree::CollectSeenAccounts() {
  ::CollectSeenAccounts(SeenAccounts, DebugLevel, Platform.Processes, *this, &OwnersNow, &SlowProcesses);
}

bool TNortavelFree::PrepareFolders() {
  if (FoldersReady) return true;
  UsageFolders = UsagePlaces(Platform.LogFiles);
  // The data folder may be read by every user, the service's by nobody but
  // SYSTEM and the Administrators: no reader can hold the record against a save.
  FoldersReady = !UsageFolders.DataFolder.empty() &&
                 Platform.LogFiles.CreatePrivateFolder(UsageFolders.DataFolder, true) &&
                 Platform.LogFiles.CreatePrivateFolder(UsageFolders.RecordFolder, false);
  if (!FoldersReady) UsageFailed(kMsgUsageFolderRefused + UsageFolders.RecordFolder);
  return FoldersReady;
}

void TNortavelFree::PrepareUsage() {
  if (PrepareFolders() && !RecordRead) ReadUsageRecord();
}

void TNortavelFree::ReadUsageRecord() {
  TZoneClock rules(ServiceClock, FixedZone ? &*FixedZone : nullptr);
  TUsageFile file = ::ReadUsageRecord(Platform.LogFiles, DayOf(SecondsOf(rules.LocalNow())));
  if (file.Read == TWholeFile::NotPlain) {
    if (!SetAside(file.Path)) return;
    file.Read = TWholeFile::Missing;
  }
  // Never a save over a record that could not be read: the use counted
  // meanwhile waits in the book and joins the record once it is read.
  if (file.Read == TWholeFile::Failed) {
    UsageFailed(kMsgUsageNotRead + file.Path);
    return;
  }
  RecordRead = true;
  UsageFailureLogged = false;
  if (file.Read != TWholeFile::Done) return;
  if (file.Damage.Lines > 0 && LevelAdmits(DebugLevel, 1))
    Log(kMsgUsageDamaged + std::to_string(file.Damage.Lines) + kMsgUsageDamagedFirst +
        std::to_string(file.Damage.First) + ": " + file.Path);
  if (file.Damage.Future > 0 && LevelAdmits(DebugLevel, 1))
    Log(kMsgUsageFuture + std::to_string(file.Damage.Future) + kMsgUsageDamagedFirst +
        std::to_string(file.Damage.FirstFuture) + ": " + file.Path);
  file.Book.Add(Usage);
  Usage = std::move(file.Book);
  ClockSetBack(Time.Vouch(Usage.LatestUtc()));
}

bool TNortavelFree::SetAside(const std::string& path) {
  const std::string stamp = FormatUtc(SecondsOf(Platform.Clock.UtcNow()));
  std::string suffix = ".set-aside-" + stamp.substr(0, 10) + "-" + stamp.substr(11, 8);
  for (char& c : suffix)
    if (c == ':') c = '-';
  const std::string aside = path + suffix;
  if (!Platform.LogFiles.RenameFile(path, aside, 0)) {
    UsageFailed(kMsgUsageNotWritten + path);
    return false;
  }
  Warn(kMsgUsageSetAside + path + kMsgUsageSetAsideAs + aside);
  return true;
}

void TNortavelFree::ClockSetBack(const std::optional<TClockSetBack>& setBack) {
  if (setBack) Warn(kMsgClockSetBack + FormatUtc(setBack->From) + kMsgClockSetBackTo + FormatUtc(setBack->To));
}

void TNortavelFree::CountUsage(const TDateTime& utc, const TElapsed& elapsed) {
  // Without a budget or KeepUsage the service counts nothing, keeps no file and
  // goes by the computer's clock, as designed.
  if (!KeepingUse) {
    ServiceClock.Shift = 0;
    LastAwakeMs.reset();
    UnlockedBefore.Clear();
    return;
  }
  PrepareUsage();
  ClockSetBack(Time.Read(SecondsOf(utc), elapsed.SinceStartMs));
  ServiceClock.Shift = Time.Shift();
  TZoneClock rules(ServiceClock, FixedZone ? &*FixedZone : nullptr);
  const int64_t local = SecondsOf(rules.LocalNow());
  const int64_t today = DayOf(local);
  if (Time.CameBack()) Usage.ReturnTo(today);
  Usage.Note(Time.Latest(), DayOf(Time.Latest() + (local - SecondsOf(rules.UtcNow()))));

  // Time asleep is no use; a slow tick loses none.
  if (LastAwakeMs && elapsed.AwakeMs > *LastAwakeMs) UncountedMs += elapsed.AwakeMs - *LastAwakeMs;
  LastAwakeMs = elapsed.AwakeMs;
  const int64_t seconds = static_cast<int64_t>(UncountedMs / 1000);
  UncountedMs %= 1000;
  Usage.Count(today, PresentUsers(), seconds);
  if (++TicksSinceUsageSaved >= kUsageSaveEveryTicks) SaveUsage();
}

std::vector<std::string> TNortavelFree::PresentUsers() {
  // A person at an unlocked screen is use; a locked screen, a session switched
  // away from, or programs left running are not. An interval counts when the
  // user was at an unlocked session at both of its ends.
  const TUserSessions sessions = ReadUserSessions(Platform.Sessions, true);
  const bool known = sessions.Listed && !sessions.LockUnknown();
  if (!known && !LockUnknownLogged && LevelAdmits(DebugLevel, 1)) Log(kMsgLockStateUnknown);
  LockUnknownLogged = !known;
  std::vector<std::string> present;
  TStringList unlocked;
  const bool bySession = EndAction != TEndAction::PowerOff && sessions.Listed;
  for (const std::string& user : RestrictedUsers) {
    if (!known) {
      // As before sessions could tell locks: programs running, or in the modes
      // that end sessions, a session as the pass counts it (in lock mode an
      // active one: a session the lock disconnected is no use).
      if (bySession ? sessions.Has(user, EndAction == TEndAction::Lock) : OwnersNow.IndexOf(user) >= 0)
        present.push_back(user);
      continue;
    }
    if (!sessions.Unlocked(user)) continue;
    unlocked.Add(user);
    if (UnlockedBefore.IndexOf(user) >= 0) present.push_back(user);
  }
  UnlockedBefore = unlocked;
  return present;
}

void TNortavelFree::SaveUsage() {
  if (!KeepingUse || !FoldersReady || !RecordRead || !Usage.Changed()) return;
  TicksSinceUsageSaved = 0;
  TLogPlatform& files = Platform.LogFiles;
  const std::string text = Usage.Format();
  auto replace = [&](const std::string& folder, const char* name) { return ReplaceOrSetAside(folder, name, text); };
  const std::string& record = UsageFolders.RecordFolder;
  if (replace(record, kUsageFileName) == TWholeFile::Done) {
    UsageFailureLogged = false;
    if (files.ReadAttributes(record + kUsageSpareName) != kInvalidFileAttributes) files.RemoveFile(record + kUsageSpareName);
  } else if (replace(record, kUsageSpareName) != TWholeFile::Done) {
    // The record as it was, and the spare, which a start reads with it, failed.
    UsageFailed(kMsgUsageNotWritten + record + kUsageFileName);
  }
  // A reader holding the copy open keeps the old copy a while; nothing is lost.
  replace(UsageFolders.DataFolder, kUsageFileName);
}

void TNortavelFree::UsageFailed(const std::string& message) {
  if (UsageFailureLogged) return;
  UsageFailureLogged = true;
  if (LevelAdmits(DebugLevel, 1)) Log(message);
}

void TNortavelFree::ReadRequests() {
  std::string text;
  if (ReadServiceFile(kRequestsFileName, text)) Requests.Parse(text);
}

bool TNortavelFree::ReadServiceFile(const char* name, std::string& text) {
  // Nothing is made for the service's files before it writes one: a start
  // leaves no folder behind.
  const std::string folder = UsagePlaces(Platform.LogFiles).RecordFolder;
  if (!FoldersReady && (folder.empty() || Platform.LogFiles.ReadAttributes(folder.substr(0, folder.size() - 1)) ==
                                              kInvalidFileAttributes))
    return false;
  return PrepareFolders() &&
         ReadWholeFile(Platform.LogFiles, UsageFolders.RecordFolder + name, text) == TWholeFile::Done;
}

void TNortavelFree::SaveRequests() {
  if (!Requests.Changed() || !PrepareFolders()) return;
  const std::string& folder = UsageFolders.RecordFolder;
  if (ReplaceOrSetAside(folder, kRequestsFileName, Requests.Format()) != TWholeFile::Done)
    UsageFailed(kMsgUsageNotWritten + folder + kRequestsFileName);
}

TWholeFile TNortavelFree::ReplaceOrSetAside(const std::string& folder, const char* name, const std::string& text) {
  // A file that is no plain file where one of the service's belongs is set
  // aside, and the file written fresh.
  TWholeFile written = ReplaceWholeFile(Platform.LogFiles, folder, name, text);
  if (written == TWholeFile::NotPlain && SetAside(folder + name))
    written = ReplaceWholeFile(Platform.LogFiles, folder, name, text);
  return written;
}

int64_t TNortavelFree::RulesNow() {
  TZoneClock rules(ServiceClock, FixedZone ? &*FixedZone : nullptr);
  const int64_t now = SecondsOf(rules.LocalNow());
  Requests.Expire(DayOf(now));
  return now;
}

std::string TNortavelFree::AnswerRequest(const TPipeClient& client, const std::string& request) {
  const TRequestMessage message = ParseRequestMessage(request);
  const std::string error = std::string(kAnswerError) + " ";
  if (message.Kind == TRequestKind::Invalid) return error + "unknown request";
  if (message.Kind == TRequestKind::Approve || message.Kind == TRequestKind::Deny) {
    if (!client.Administrator) return error + "only an administrator may answer a request";
    std::lock_guard<std::mutex> guard(ModuleLock);
    const int position = RestrictedUsers.IndexOf(message.User);
    if (position < 0) return error + message.User + " has no time limits";
    const std::string user = RestrictedUsers[position];
    RulesNow();
    const TTimeRequest* open = Requests.OpenOf(user);
    if (open == nullptr && (message.Kind == TRequestKind::Deny || message.Minutes == 0))
      return error + user + " has no open request";
    if (message.Kind == TRequestKind::Approve) return ApproveRequest(user, message.Minutes > 0 ? message.Minutes : open->Minutes);
    Requests.Answer(user, TRequestAnswer{false, 0, open->Day});
    SaveRequests();
    if (LevelAdmits(DebugLevel, 2)) Log(kMsgRequestDenied + user);
    return kAnswerOk;
  }
  std::string user;
  {
    std::lock_guard<std::mutex> guard(ModuleLock);
    const int position = RestrictedUsers.IndexOf(client.User);
    if (position < 0) return error + "you have no time limits";
    user = RestrictedUsers[position];
    if (message.Kind == TRequestKind::State) return StateOf(user);
    if (message.Kind == TRequestKind::Ask) {
      const int64_t now = RulesNow();
      if (!Requests.Ask(user, message.Minutes, SecondsOf(ServiceClock.UtcNow()), DayOf(now)))
        return error + "you have asked " + std::to_string(kMostAsksPerDay) + " times today";
      SaveRequests();
      const std::string said = kMsgTimeRequested + user + " " + std::to_string(message.Minutes) + " min";
      if (LevelAdmits(DebugLevel, 2)) Log(said);
      WriteServiceEvent(said, TEventLogger::kInformationType);
      return kAnswerOk;
    }
  }
  return AnswerPin(user, message.Pin);
}

std::string TNortavelFree::AnswerPin(const std::string& user, const std::string& pin) {
  const std::string error = std::string(kAnswerError) + " ";
  {
    std::lock_guard<std::mutex> guard(ModuleLock);
    const int64_t nowUtc = SecondsOf(ServiceClock.UtcNow());
    if (PinGuard.Closed(nowUtc)) return error + "PIN entry is closed for a while after too many wrong PINs";
    RulesNow();
    if (Requests.OpenOf(user) == nullptr) return error + "there is no request to approve";
  }
  // Outside the lock: the derivation takes about a tenth of a second, and the
  // same whether the PIN is right or wrong.
  const std::string stored = ReadPinHash(Platform.Registry, ConfigLocation);
  if (stored.empty()) return error + "no parent's PIN is set: a parent can answer with nortavelctl approve";
  const bool right = PinMatches(Platform.Crypto, stored, pin);
  std::lock_guard<std::mutex> guard(ModuleLock);
  const int64_t nowUtc = SecondsOf(ServiceClock.UtcNow());
  if (PinGuard.Closed(nowUtc)) return error + "PIN entry is closed for a while after too many wrong PINs";
  const int left = PinGuard.Checked(right, nowUtc);
  if (!right && left > 0) return error + "wrong PIN, " + std::to_string(left) + (left == 1 ? " try" : " tries") + " left";
  if (!right) {
    Warn(kMsgPinClosed);
    return error + "wrong PIN; PIN entry is closed for 15 minutes";
  }
  RulesNow();
  const TTimeRequest* open = Requests.OpenOf(user);
  if (open == nullptr) return error + "there is no request to approve";
  return ApproveRequest(user, open->Minutes);
}

std::string TNortavelFree::ApproveRequest(const std::string& user, int32_t minutes) {
  const int64_t now = RulesNow();
  const int position = RestrictedUsers.IndexOf(user);
  const TDayUse use = KeepingUse ? Usage.UseOf(user, DayOf(now)) : TDayUse();
  const int64_t until = ExtraTimeUntil(*this, position, now, use, int64_t{minutes} * 60);
  TConfigWriter(Platform.Registry, ConfigLocation).WriteExtraTime(user, FormatMinuteStamp(until));
  Requests.Answer(user, TRequestAnswer{true, until, DayOf(now)});
  SaveRequests();
  // The next tick reads the extra time and unlocks the user.
  ReloadRequested = true;
  if (LevelAdmits(DebugLevel, 2)) Log(kMsgRequestApproved + user + kMsgExtraTimeUntil + FormatMinuteStamp(until));
  return std::string(kAnswerOk) + " until " + FormatClockTime(until);
}

std::string TNortavelFree::StateOf(const std::string& user) {
  const int64_t now = RulesNow();
  std::string state = kAnswerOk;
  if (const TTimeRequest* open = Requests.OpenOf(user)) {
    const int64_t askedWall = open->AskedUtc + (now - SecondsOf(ServiceClock.UtcNow()));
    state += " asked=" + std::to_string(open->Minutes) + "@" + FormatClockTime(askedWall);
  }
  if (const TRequestAnswer* answer = Requests.AnswerOf(user))
    state += answer->Approved ? " answer=approved@" + FormatClockTime(answer->Until) : std::string(" answer=denied");
  const auto ends = Enforcement.AnnouncedEnds().find(user);
  const int64_t nowUtc = SecondsOf(ServiceClock.UtcNow());
  if (ends != Enforcement.AnnouncedEnds().end() && ends->second > nowUtc)
    state += " ends=" + FormatClockTime(ends->second + (now - nowUtc)) + "@" + std::to_string(ends->second - nowUtc);
  return state;
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
