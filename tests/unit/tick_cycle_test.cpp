#include <gtest/gtest.h>

#include <algorithm>

#include "diag/messages.h"
#include "tests/fakes/counting_module.h"

namespace {

std::vector<int> TicksWith(const std::vector<std::vector<std::string>>& ticks, const std::string& call) {
  std::vector<int> numbers;
  for (size_t i = 0; i < ticks.size(); ++i)
    if (std::count(ticks[i].begin(), ticks[i].end(), call) > 0) numbers.push_back(static_cast<int>(i) + 1);
  return numbers;
}

class TickCycleTest : public ::testing::Test {
 protected:
  std::vector<std::vector<std::string>> RunTicks(int count) {
    std::vector<std::vector<std::string>> ticks;
    for (int i = 0; i < count; ++i) {
      Module.Calls.clear();
      Module.Timer1Timer(&Module.Timer1);
      ticks.push_back(Module.Calls);
    }
    return ticks;
  }
  TFakePlatform Platform;
  TCountingModule Module{Platform};
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

TEST_F(TickCycleTest, AReloadRequestReloadsBeforeThePassOfTheNextTickAndRestartsTheCycle) {
  RunTicks(5);
  Module.HandleCustomControl(129);  // other user-defined codes do nothing
  EXPECT_TRUE(TicksWith(RunTicks(1), "load").empty());
  Module.HandleCustomControl(128);
  const auto ticks = RunTicks(62);
  EXPECT_EQ(ticks[0], (std::vector<std::string>{"load", "collect", "enforce", "flush"}));
  EXPECT_EQ(TicksWith(ticks, "load"), (std::vector<int>{1, 61}));
  EXPECT_EQ(TicksWith(ticks, "enforce"), (std::vector<int>{1, 11, 21, 31, 41, 51, 61}));
}

TEST_F(TickCycleTest, HundredTwentyTicksGiveTwelvePassesAndTwoReloads) {
  const auto ticks = RunTicks(120);
  const std::vector<int> passes = TicksWith(ticks, "enforce");
  const std::vector<int> reloads = TicksWith(ticks, "load");
  EXPECT_EQ(passes, (std::vector<int>{1, 11, 21, 31, 41, 51, 61, 71, 81, 91, 101, 111}));
  EXPECT_EQ(reloads, (std::vector<int>{1, 61}));
  EXPECT_EQ(TicksWith(ticks, "collect").size(), 120u);
  EXPECT_EQ(TicksWith(ticks, "flush").size(), 120u);
}

TEST_F(TickCycleTest, StepsRunInTheDesignedOrder) {
  const auto ticks = RunTicks(2);
  EXPECT_EQ(ticks[0], (std::vector<std::string>{"collect", "enforce", "load", "flush"}));
  EXPECT_EQ(ticks[1], (std::vector<std::string>{"collect", "flush"}));
}

TEST_F(TickCycleTest, CounterRestartsAfterAReload) {
  RunTicks(1);
  EXPECT_EQ(Module.TickCount, 1);
  RunTicks(59);
  EXPECT_EQ(Module.TickCount, 60);
  RunTicks(1);  // reload tick: reset to 0, then counted
  EXPECT_EQ(Module.TickCount, 1);
}

TEST_F(TickCycleTest, FailingStepStillFlushesCountsAndReportsTheFirstError) {
  Module.OnEnforce = [] { throw Exception("first"); };
  Module.OnLoad = [] { throw ERegistryException("second"); };
  Module.Calls.clear();
  try {
    Module.Timer1Timer(&Module.Timer1);
    FAIL() << "the tick's error must reach the timer's exception handling";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "first");
  }
  EXPECT_EQ(Module.Calls, (std::vector<std::string>{"collect", "enforce", "load", "flush"}));
  EXPECT_EQ(Module.TickCount, 1);
}

TEST_F(TickCycleTest, StartResetsTheCounterAndLoads) {
  Module.TickCount = 17;
  bool started = true;
  Module.ServiceStart(&Module, started);
  EXPECT_TRUE(started);
  EXPECT_EQ(Module.TickCount, 0);
  EXPECT_EQ(Module.Calls, (std::vector<std::string>{"load"}));
}

struct LifecycleCase {
  int Level;
  bool Logged;
};

class LifecycleMessagesTest : public TickCycleTest, public ::testing::WithParamInterface<LifecycleCase> {};

TEST_P(LifecycleMessagesTest, FourMessagesAppearFromLevelThree) {
  const LifecycleCase c = GetParam();
  Module.OnLoad = [this, c] { Module.DebugLevel = c.Level; };
  bool flag = true;
  Module.ServiceStart(&Module, flag);
  Module.ServiceStop(&Module, flag);
  Module.ServiceShutdown(&Module);
  std::vector<std::string> expected{"load"};
  if (c.Logged) expected.push_back("log Service started");
  if (c.Logged) expected.push_back("log Service stopped");
  expected.insert(expected.end(), {"flush", "trim"});
  if (c.Logged) expected.push_back("log Service shutdown");
  expected.insert(expected.end(), {"flush", "trim"});
  EXPECT_EQ(Module.Calls, expected);

  TFakePlatform other;
  TCountingModule destroyed(other);
  destroyed.DebugLevel = c.Level;
  destroyed.ServiceDestroy(&destroyed);
  std::vector<std::string> destroyCalls;
  if (c.Logged) destroyCalls.push_back("log Service destroyed");
  destroyCalls.insert(destroyCalls.end(), {"flush", "trim"});
  EXPECT_EQ(destroyed.Calls, destroyCalls);
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
  Module.DebugLevel = 3;
  Module.RestrictedUsers.Add("anna");
  Module.UserRules.emplace_back();
  Module.SeenAccounts.Add("anna");
  Module.ServiceShutdown(&Module);
  EXPECT_TRUE(Module.ListsReleased());
  EXPECT_TRUE(Module.RestrictedUsers.Empty());
  EXPECT_TRUE(Module.UserRules.empty());
  EXPECT_TRUE(Module.SeenAccounts.Empty());

  Module.Calls.clear();
  Module.Timer1Timer(&Module.Timer1);
  Module.ServiceDestroy(&Module);
  bool stopped = true;
  Module.ServiceStop(&Module, stopped);
  EXPECT_TRUE(Module.Calls.empty());
}

}  // namespace
