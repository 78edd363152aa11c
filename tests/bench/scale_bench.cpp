// A configuration load and an enforcement pass with 1,000 restricted users, with
// day rules of 48 characters (what a rule needs) and of 64 KiB, on the fakes at
// the default level 2. The log lines are built but dropped, and the account calls
// answer at once, so the figures are the module's own work.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/calendar.h"
#include "engine/Unit1.h"
#include "engine/usage.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/scale_config.h"
#include "winsys/sessions.h"
#include "winsys/configuration.h"
#include "winsys/pin.h"

namespace {

using namespace scale_config;

class TDroppingLog : public TLogSink {
 public:
  void Log(const std::string& message) override { benchmark::DoNotOptimize(message.data()); }
  void FlushLog() override {}
};

// Every account call succeeds without recording anything.
class TQuietAccounts : public TAccountApi {
 public:
  int32_t ToWide(uint32_t, uint32_t, const char* text, int32_t, char16_t* wide, int32_t room) override {
    int32_t n = 0;
    while (n + 1 < room && text[n] != '\0') wide[n] = static_cast<unsigned char>(text[n]), ++n;
    wide[n] = 0;
    return n + 1;
  }
  uint32_t SetUserInfo(const char16_t*, const char16_t*, uint32_t, const TUserInfo1020*, uint32_t*) override {
    return 0;
  }
  uint32_t GetUserInfo(const char16_t*, const char16_t*, uint32_t, uintptr_t& buffer) override {
    buffer = 0;
    return 2221;  // NERR_UserNotFound: the pass never reads accounts
  }
  int32_t ToNarrow(uint32_t, uint32_t, const char16_t*, int32_t, char*, int32_t) override { return 0; }
  uint32_t EnumerateUsers(const char16_t*, uint32_t, uint32_t, uintptr_t& buffer, uint32_t, uint32_t& read,
                          uint32_t& total, uint32_t*) override {
    buffer = 0;
    read = total = 0;
    return 0;  // the pass never lists accounts
  }
  uint32_t FreeNetBuffer(uintptr_t) override { return 0; }
  uintptr_t CurrentProcess() override { return ~uintptr_t{0}; }
  bool OpenToken(uintptr_t, uint32_t, uintptr_t& token) override {
    token = 1;
    return true;
  }
  bool LookupPrivilege(const char*, const char*, TPrivilegeId&) override { return true; }
  bool AdjustPrivileges(uintptr_t, bool, const TOnePrivilege*, uint32_t, TOnePrivilege*, uint32_t*) override {
    return true;
  }
  uint32_t LastError() override { return 0; }
  uint32_t InitiateShutdown(const char16_t*, const char16_t*, uint32_t, uint32_t, uint32_t) override { return 0; }
  bool ExitSystem(uint32_t, uint32_t) override { return true; }
  void CloseObject(uintptr_t) override {}
};

void BM_LoadThousandUsers(benchmark::State& bench) {
  const size_t ruleBytes = static_cast<size_t>(bench.range(0));
  TFakeRegistry registry;
  FillRegistry(registry, ruleBytes);
  TConfiguration state;
  TDroppingLog log;
  for (auto _ : bench) {
    LoadConfiguration(state, registry, TConfigLocation(), log, registry.LeadByteTest());
    registry.Calls.clear();  // the fake's journal, not the load's work
  }
  if (state.RestrictedUsers.Count() != kUsers) bench.SkipWithError("not every user loaded");
  bench.counters["users"] = kUsers;
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations()) * kUsers * kDays * static_cast<int64_t>(ruleBytes));
}
BENCHMARK(BM_LoadThousandUsers)->Arg(48)->Arg(64 * 1024)->Unit(benchmark::kMillisecond);

class TPassModule : public TNortavelFree {
 public:
  explicit TPassModule(const TNortavelFreePlatform& platform) : TNortavelFree(platform) {}
  void Log(const std::string& message) override { benchmark::DoNotOptimize(message.data()); }
  void FlushLog() override {}
};

// The fakes, with account calls that answer at once.
TNortavelFreePlatform QuietPlatform(TFakePlatform& fakes, TAccountApi& accounts) {
  const TNortavelFreePlatform platform = fakes.View();
  return TNortavelFreePlatform{platform.Clock,    platform.LogFiles, platform.Registry,       platform.Processes,
                               accounts,          platform.Sessions, platform.ServiceRuntime, platform.Timers,
                               platform.Pipe,     platform.Crypto};
}

void BM_PassThousandUsers(benchmark::State& bench) {
  const size_t ruleBytes = static_cast<size_t>(bench.range(0));
  TFakePlatform fakes;
  FillRegistry(fakes.Registry, ruleBytes);
  TQuietAccounts accounts;
  TPassModule module(QuietPlatform(fakes, accounts));
  module.LoadConfiguration();
  // Twenty accounts own processes, none of them restricted: every restricted
  // user is looked up through the whole list and no power-off is requested.
  for (int i = 0; i < 20; ++i) module.SeenAccounts.Add("owner" + std::to_string(i));
  fakes.Clock.Set(2, 21, 10);  // Tuesday 21:10: position 42 of Time2
  for (auto _ : bench) module.EnforceRestrictions();
  bench.counters["users"] = kUsers;
}
BENCHMARK(BM_PassThousandUsers)->Arg(48)->Arg(64 * 1024)->Unit(benchmark::kMicrosecond);

// Counting a tick's use for 1,000 users who keep their use: by the owners of
// processes, as when sessions cannot tell whether they are locked (/0), and by
// each session's state and lock, asked of five sessions at every tick (/1).
void BM_CountThousandUsers(benchmark::State& bench) {
  TFakePlatform fakes;
  FillRegistry(fakes.Registry, 48);
  fakes.Registry.SetDword("SOFTWARE\\Vrem\\NortavelFree", "KeepUsage", 1);
  TQuietAccounts accounts;
  TPassModule module(QuietPlatform(fakes, accounts));
  module.LoadConfiguration();
  for (uint32_t session = 1; session <= 5; ++session)
    fakes.Sessions.Users[session] = UserName(static_cast<int>(session * 100));
  if (bench.range(0) == 0) fakes.Sessions.ListError = 5;
  for (int i = 0; i < 20; ++i) fakes.Processes.Add(static_cast<uint32_t>(4 * i + 4), UserName(i * 50));
  module.CollectSeenAccounts();
  fakes.Clock.Set(2, 21, 10);
  const TDateTime utc = fakes.Clock.UtcNow();
  for (auto _ : bench) {
    fakes.Clock.Advance(2000);
    module.CountUsage(utc, fakes.Clock.Elapsed());
  }
  bench.counters["users"] = kUsers;
}
BENCHMARK(BM_CountThousandUsers)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same pass with warnings, extra time and a fixed zone all in force: every
// user has extra time (so every restricted one logs it), twenty of them own
// processes and are checked for a warning, and every clock read is converted.
void BM_PassThousandUsersWithExtras(benchmark::State& bench) {
  TFakePlatform fakes;
  FillRegistry(fakes.Registry, 48);
  TQuietAccounts accounts;
  TPassModule module(QuietPlatform(fakes, accounts));
  module.LoadConfiguration();
  module.WarnMinutes = 60;
  module.FixedZone = TTimeZone();
  module.FixedZone->Name = "UTC";
  for (TUserExtras& extras : module.UserExtras) {
    extras.ExtraTime.Text = "2099-12-31 23:59";
    ParseMinuteStamp(extras.ExtraTime.Text, extras.ExtraTime.Until);
  }
  for (int i = 0; i < 20; ++i) module.SeenAccounts.Add(UserName(i * 50));
  fakes.Clock.Set(2, 21, 10);
  for (auto _ : bench) module.EnforceRestrictions();
  bench.counters["users"] = kUsers;
}
BENCHMARK(BM_PassThousandUsersWithExtras)->Unit(benchmark::kMicrosecond);

// The 48-character pass again, every user with a budget every day (arg 1) or
// none (arg 0), with 90 days of use for all of them in the book; the budgets
// must cost at most a fifth more. Twenty users are present and warned of, so
// their budgets' ends are looked for too.
void BM_PassThousandUsersBudgets(benchmark::State& bench) {
  TFakePlatform fakes;
  FillRegistry(fakes.Registry, 48);
  TQuietAccounts accounts;
  TPassModule module(QuietPlatform(fakes, accounts));
  module.LoadConfiguration();
  module.WarnMinutes = 10;
  fakes.Clock.Set(2, 21, 10);
  const int64_t today = DaysFromCivil(2026, 12, 8);
  for (int user = 0; user < kUsers; ++user) {
    if (bench.range(0) == 1) module.UserExtras[static_cast<size_t>(user)].Budget.fill(600);
    for (int day = 0; day < 90; ++day) module.Usage.Add(today - day, UserName(user), 1800 + user);
  }
  for (int i = 0; i < 20; ++i) module.SeenAccounts.Add(UserName(i * 50));
  for (auto _ : bench) module.EnforceRestrictions();
  bench.counters["users"] = kUsers;
}
BENCHMARK(BM_PassThousandUsersBudgets)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Session detection over 1,000 processes of 50 accounts, all quick to examine
// (/0) or one of them taking 150 ms, really, whenever its modules are read (/1),
// as a process that rewrote its module list makes the walk. After the first
// tick (outside the timing) the slow one is not examined again, so a tick must
// cost about what the plain one does.
class TOneSlowProcess : public TFakeProcesses {
 public:
  bool EnumModules(uintptr_t process, uintptr_t* modules, uint32_t bufferBytes, uint32_t& bytesNeeded) override {
    const uint64_t before = NowMs;
    const bool read = TFakeProcesses::EnumModules(process, modules, bufferBytes, bytesNeeded);
    if (NowMs != before) std::this_thread::sleep_for(std::chrono::milliseconds(NowMs - before));
    return read;
  }
};

void BM_CollectThousandProcesses(benchmark::State& bench) {
  TOneSlowProcess processes;
  for (uint32_t id = 1; id <= 1000; ++id) processes.Add(id * 4, UserName(static_cast<int>(id % 50)));
  if (bench.range(0) == 1) processes.Table[500].ExaminationMs = 150;
  TStringList seen;
  TStringList owners;
  TSlowProcesses slow;
  TDroppingLog log;
  CollectSeenAccounts(seen, 2, processes, log, &owners, &slow);
  for (auto _ : bench) {
    processes.Calls.clear();
    CollectSeenAccounts(seen, 2, processes, log, &owners, &slow);
  }
  bench.counters["slow"] = static_cast<double>(slow.size());
}
BENCHMARK(BM_CollectThousandProcesses)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Reading the usage file of 1,000 users over 90 days (about 2.5 MB), as the
// service does at its start and the tool for every report.
void BM_ReadUsageFile(benchmark::State& bench) {
  TUsageBook written;
  const int64_t today = DaysFromCivil(2026, 12, 8);
  for (int user = 0; user < kUsers; ++user)
    for (int day = 0; day < 90; ++day) written.Add(today - day, UserName(user), 1800 + user + day);
  written.Note(today * kSecondsPerDay, today);
  const std::string text = written.Format();
  for (auto _ : bench) {
    TUsageBook book;
    if (book.Parse(text, today).Lines != 0) bench.SkipWithError("damaged lines in a file the book wrote");
    benchmark::DoNotOptimize(book.Used(today, UserName(0)));
  }
  bench.SetBytesProcessed(static_cast<int64_t>(bench.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadUsageFile)->Unit(benchmark::kMillisecond);

// One check of a parent's PIN by the platform's derivation (OpenSSL here), at
// the rounds a stored hash carries: what a child waits for after "Approve",
// and what each guess at a stolen hash costs.
void BM_CheckPin(benchmark::State& bench) {
  const std::string stored = HashPin(PlatformCrypto(), "4711");
  for (auto _ : bench) benchmark::DoNotOptimize(PinMatches(PlatformCrypto(), stored, "4712"));
}
BENCHMARK(BM_CheckPin)->Unit(benchmark::kMillisecond);

}  // namespace
