// The module's tick schedule and lifecycle handlers on the fakes, seen from
// outside: a reload reads the registry, session detection lists the processes,
// the pass updates the accounts, the flush writes the log file.
#include <gtest/gtest.h>

#include <algorithm>

#include "diag/diagnostic_log.h"
#include "common/protocol.h"
#include "diag/messages.h"
#include "tests/fakes/fake_platform.h"

namespace {

const std::string kMain = "SOFTWARE\\Vrem\\NortavelFree";
const std::string kAnna = kMain + "\\Time_restrictions\\anna";
const std::string kLogFile = std::string("C:\\Logs\\") + kLogFileName;

class TModule : public TNortavelFree {
 public:
  using TNortavelFree::HandleCustomControl;
  using TNortavelFree::TNortavelFree;
};

std::vector<int> TicksWith(const std::vector<std::vector<std::string>>& ticks, const std::string& step) {
  std::vector<int> numbers;
  for (size_t i = 0; i < ticks.size(); ++i)
    if (std::count(ticks[i].begin(), ticks[i].end(), step) > 0) numbers.push_back(static_cast<int>(i) + 1);
  return numbers;
}

class TickCycleTest : public ::testing::Test {
 protected:
  TickCycleTest() {
    Platform.Registry.SetDword(kMain, "Debug", 2);
    Platform.Registry.SetString(kMain, "Path", "C:\\Logs");
    Rule('1');
  }
  // anna's rules: every half hour of the week restricted ('1') or allowed ('0').
  void Rule(char character) {
    for (int day = 1; day <= 7; ++day)
      Platform.Registry.SetString(kAnna, "Time" + std::to_string(day), std::string(48, character));
  }
  // Per tick, what it did: "load", "collect", "enforce", and "flush" when the
  // line logged before the tick reached the file.
  std::vector<std::vector<std::string>> RunTicks(int count, uint64_t periodMs = kTickPeriodMs) {
    std::vector<std::vector<std::string>> ticks;
    for (int i = 0; i < count; ++i) {
      const size_t reads = Platform.Registry.Calls.size();
      const size_t listings = Enumerations();
      const size_t updates = Platform.Accounts.Updates.size();
      const std::string marker = "tick " + std::to_string(++Ticked);
      Module.Log(marker);
      Platform.Clock.Advance(periodMs);
      Module.Timer1Timer(&Module.Timer1);
      std::vector<std::string> steps;
      if (Platform.Registry.Calls.size() > reads) steps.push_back("load");
      if (Enumerations() > listings) steps.push_back("collect");
      if (Platform.Accounts.Updates.size() > updates) steps.push_back("enforce");
      if (Platform.LogFiles.Data(kLogFile).find(marker) != std::string::npos && Module.DiagLog.LogLines.Empty())
        steps.push_back("flush");
      ticks.push_back(steps);
    }
    return ticks;
  }
  size_t Enumerations() const {
    return static_cast<size_t>(std::count_if(Platform.Processes.Calls.begin(), Platform.Processes.Calls.end(),
                                             [](const std::string& c) { return c.rfind("EnumProcesses", 0) == 0; }));
  }
  bool LastUpdateLocks() const { return Platform.Accounts.Updates.back().Hours == std::vector<uint8_t>(21, 0); }

  TFakePlatform Platform;
  TModule Module{Platform.View()};
  int Ticked = 0;
};

TEST_F(TickCycleTest, ConstructedStateMatchesTheDesign) {
  EXPECT_EQ(Module.DebugLevel, 2);
  EXPECT_EQ(Module.AppPath, "");
  EXPECT_EQ(Module.TickCount, 0);
  EXPECT_TRUE(Module.DiagLog.LogLines.Empty());
  EXPECT_TRUE(Module.SeenAccounts.Empty());
  EXPECT_TRUE(Module.RestrictedUsers.Empty());
  EXPECT_TRUE(Module.UserRules.empty());
  EXPECT_EQ(Module.Name, "NortavelFree");
  EXPECT_EQ(Module.DisplayName, "Nortavel free");
  EXPECT_FALSE(Module.AllowPause);
  EXPECT_TRUE(Module.AllowStop);
  EXPECT_EQ(Module.WaitHint, 2000u);
  EXPECT_FALSE(Module.Timer1.Enabled());
  EXPECT_EQ(Module.Timer1.Interval(), 2000u);
  // Built disabled: the platform timer was never armed.
  for (const auto& call : Platform.Timers.TakeCalls()) EXPECT_EQ(call.rfind("set", 0), std::string::npos) << call;
}

TEST_F(TickCycleTest, HundredTwentyTicksGiveTwelvePassesAndTwoReloads) {
  Module.LoadConfiguration();
  const auto ticks = RunTicks(120);
  EXPECT_EQ(TicksWith(ticks, "enforce"), (std::vector<int>{1, 11, 21, 31, 41, 51, 61, 71, 81, 91, 101, 111}));
  EXPECT_EQ(TicksWith(ticks, "load"), (std::vector<int>{1, 61}));
  EXPECT_EQ(TicksWith(ticks, "collect").size(), 120u);
  EXPECT_EQ(TicksWith(ticks, "flush").size(), 120u);
}

// The pass keeps its 20 s of elapsed time, not its count of ticks: slow ticks
// (a busy computer, a slow process) bring it sooner by count, never later.
TEST_F(TickCycleTest, ThePassComesWhenItsPeriodHasElapsed) {
  RunTicks(1);
  EXPECT_EQ(TicksWith(RunTicks(10, 5000), "enforce"), (std::vector<int>{4, 8}));
  EXPECT_EQ(TicksWith(RunTicks(3, 25000), "enforce"), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(TicksWith(RunTicks(10, 1990), "enforce"), (std::vector<int>{10})) << "a timer a little early";
}

// A tick slower than its period is said once per start, in the log and the
// event log; the slow process in it is examined once.
TEST_F(TickCycleTest, ATickSlowerThanItsPeriodIsSaidOncePerStart) {
  Platform.Processes.Add(66, "anna").ExaminationMs = kTickPeriodMs + 1;
  RunTicks(3);
  const std::string text = "One tick of the service took 2001 ms, longer than the 2 s between ticks: the computer is "
                           "very busy, or a process slows the service down";
  int warned = 0;
  for (const TRecordedEvent& event : Platform.ServiceRuntime.Events()) warned += event.Message == text;
  EXPECT_EQ(warned, 1);
  EXPECT_NE(Platform.LogFiles.Data(kLogFile).find("WARNING:" + text), std::string::npos);
}

TEST_F(TickCycleTest, TheScheduledReloadComesAfterThePassOfItsTick) {
  Module.LoadConfiguration();
  RunTicks(60);
  Rule('0');
  RunTicks(1);  // tick 61: the pass still judges by the rules read before
  EXPECT_TRUE(LastUpdateLocks());
  RunTicks(10);  // tick 71: by the rules the reload of tick 61 read
  EXPECT_FALSE(LastUpdateLocks());
}

TEST_F(TickCycleTest, AReloadRequestReloadsBeforeThePassOfTheNextTickAndRestartsTheCycle) {
  Module.LoadConfiguration();
  RunTicks(5);
  Module.HandleCustomControl(129);  // other user-defined codes do nothing
  EXPECT_TRUE(TicksWith(RunTicks(1), "load").empty());
  Rule('0');
  Module.HandleCustomControl(128);
  const auto ticks = RunTicks(62);
  EXPECT_EQ(ticks[0], (std::vector<std::string>{"load", "collect", "enforce", "flush"}));
  EXPECT_EQ(TicksWith(ticks, "load"), (std::vector<int>{1, 61}));
  EXPECT_EQ(TicksWith(ticks, "enforce"), (std::vector<int>{1, 11, 21, 31, 41, 51, 61}));
  // The first pass after the request already judged by the new rules.
  EXPECT_FALSE(Platform.Accounts.Updates[1].Hours == std::vector<uint8_t>(21, 0));
}

struct TRequestCase {
  const char* Name;
  std::vector<int> RequestsBefore;  // the tick each request comes before; a tick may repeat
  std::vector<int> Loads;           // the ticks that read the configuration
};
void PrintTo(const TRequestCase& c, std::ostream* out) { *out << c.Name; }

class ReloadRequestTest : public TickCycleTest, public ::testing::WithParamInterface<TRequestCase> {};

// Tick 1 brings the scheduled reload. The first three requests act at the next
// tick; then a credit comes every five ticks (10 s) while fewer than three are
// left, and a request that finds none waits for the next and is carried out
// there once.
TEST_P(ReloadRequestTest, ThreeRequestsActAtOnceThenOneInTenSecondsAndNoneIsLost) {
  std::vector<std::vector<std::string>> ticks;
  for (int tick = 1; tick <= 85; ++tick) {
    for (int before : GetParam().RequestsBefore)
      if (before == tick) Module.HandleCustomControl(kControlReloadConfiguration);
    ticks.push_back(RunTicks(1)[0]);
  }
  EXPECT_EQ(TicksWith(ticks, "load"), GetParam().Loads);
}

std::vector<int> EveryTickFrom2To40() {
  std::vector<int> ticks;
  for (int tick = 2; tick <= 40; ++tick) ticks.push_back(tick);
  return ticks;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ReloadRequestTest,
    ::testing::Values(TRequestCase{"LoneAfterTheStart", {8}, {1, 8, 68}},
                      TRequestCase{"FourthWaitsForACredit", {8, 8, 8, 9, 10, 10, 11, 12}, {1, 8, 9, 10, 13, 73}},
                      TRequestCase{"EveryTick", EveryTickFrom2To40(), {1, 2, 3, 4, 7, 12, 17, 22, 27, 32, 37, 42}},
                      TRequestCase{"WaitingWhenTheScheduledReloadComes", {1}, {1, 61}}),
    [](const ::testing::TestParamInfo<TRequestCase>& info) { return std::string(info.param.Name); });

TEST_F(TickCycleTest, CounterRestartsAfterAReload) {
  RunTicks(1);
  EXPECT_EQ(Module.TickCount, 1);
  RunTicks(59);
  EXPECT_EQ(Module.TickCount, 60);
  RunTicks(1);  // reload tick: reset to 0, then counted
  EXPECT_EQ(Module.TickCount, 1);
}

TEST_F(TickCycleTest, AFailingReloadStillFlushesCountsAndReachesTheTimer) {
  Module.LoadConfiguration();
  Platform.Registry.SetString(kMain, "Debug", "two");  // the wrong type
  Module.Log("before");
  try {
    Module.Timer1Timer(&Module.Timer1);
    FAIL() << "the tick's error must reach the timer's exception handling";
  } catch (const ERegistryException&) {
  }
  EXPECT_NE(Platform.LogFiles.Data(kLogFile).find("before"), std::string::npos);
  EXPECT_TRUE(LastUpdateLocks());  // the pass before the reload ran
  EXPECT_EQ(Module.TickCount, 1);
}

TEST_F(TickCycleTest, StartResetsTheCounterAndLoads) {
  Module.TickCount = 17;
  bool started = true;
  Module.ServiceStart(&Module, started);
  EXPECT_TRUE(started);
  EXPECT_EQ(Module.TickCount, 0);
  EXPECT_EQ(Module.AppPath, "C:\\Logs\\");
  EXPECT_EQ(Module.RestrictedUsers.Items(), std::vector<std::string>{"anna"});
}

struct LifecycleCase {
  int Level;
  bool Logged;
};

class LifecycleMessagesTest : public TickCycleTest, public ::testing::WithParamInterface<LifecycleCase> {};

TEST_P(LifecycleMessagesTest, FourMessagesAppearFromLevelThree) {
  const LifecycleCase c = GetParam();
  Platform.Registry.SetDword(kMain, "Debug", static_cast<uint32_t>(c.Level));
  bool flag = true;
  Module.ServiceStart(&Module, flag);
  Module.ServiceStop(&Module, flag);
  Module.ServiceShutdown(&Module);
  Module.ServiceDestroy(&Module);  // after a shutdown: says nothing more
  std::string expected;
  if (c.Logged) expected = "Service started|Service stopped|Service shutdown|";
  std::string written;
  const std::string& file = Platform.LogFiles.Data(kLogFile);
  for (const char* message : {kMsgServiceStarted, kMsgServiceStopped, kMsgServiceShutdown, kMsgServiceDestroyed})
    if (file.find(message) != std::string::npos) written += std::string(message) + "|";
  EXPECT_EQ(written, expected);

  TFakePlatform other;
  TModule destroyed(other.View());
  destroyed.DebugLevel = c.Level;
  destroyed.AppPath = "C:\\Logs\\";
  destroyed.ServiceDestroy(&destroyed);
  EXPECT_EQ(other.LogFiles.Data(kLogFile).find(kMsgServiceDestroyed) != std::string::npos, c.Logged);
}

INSTANTIATE_TEST_SUITE_P(Levels, LifecycleMessagesTest,
                         ::testing::Values(LifecycleCase{0, false}, LifecycleCase{2, false},
                                           LifecycleCase{-2, false}, LifecycleCase{3, true},
                                           LifecycleCase{-3, true}, LifecycleCase{4, true}),
                         [](const ::testing::TestParamInfo<LifecycleCase>& info) {
                           const int level = info.param.Level;
                           return (level < 0 ? "minus" : "level") + std::to_string(level < 0 ? -level : level);
                         });

TEST_F(TickCycleTest, StopEmptiesTheBufferButKeepsTheConfiguration) {
  Module.DiagLog.LogLines.Add("kept by a failed flush");
  Module.RestrictedUsers.Add("anna");
  Module.UserRules.emplace_back();
  Module.SeenAccounts.Add("anna");
  bool stopped = true;
  Module.ServiceStop(&Module, stopped);
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(Module.DiagLog.LogLines.Empty());
  EXPECT_EQ(Module.RestrictedUsers.Count(), 1);
  EXPECT_EQ(Module.SeenAccounts.Count(), 1);
  EXPECT_FALSE(Module.ListsReleased());
}

TEST_F(TickCycleTest, AfterShutdownLateTicksAndDestroyTouchNothing) {
  Module.LoadConfiguration();
  Module.SeenAccounts.Add("anna");
  Module.ServiceShutdown(&Module);
  EXPECT_TRUE(Module.ListsReleased());
  EXPECT_TRUE(Module.RestrictedUsers.Empty());
  EXPECT_TRUE(Module.UserRules.empty());
  EXPECT_TRUE(Module.SeenAccounts.Empty());

  const size_t reads = Platform.Registry.Calls.size();
  const std::string file = Platform.LogFiles.Data(kLogFile);
  Module.DebugLevel = 4;
  Module.Timer1Timer(&Module.Timer1);
  Module.ServiceDestroy(&Module);
  bool stopped = true;
  Module.ServiceStop(&Module, stopped);
  EXPECT_EQ(Platform.Registry.Calls.size(), reads);
  EXPECT_TRUE(Platform.Processes.Calls.empty());
  EXPECT_TRUE(Platform.Accounts.Calls.empty());
  EXPECT_EQ(Platform.LogFiles.Data(kLogFile), file);
}

}  // namespace
