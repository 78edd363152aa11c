#include <gtest/gtest.h>

#include <stdexcept>

#include "svcmgr/components.h"
#include "svcmgr/timer.h"
#include "tests/fakes/fake_timer_api.h"

namespace {

using Calls = std::vector<std::string>;

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetApplicationExceptionHook([this](const Exception& error) { Handled.push_back(error.Message()); });
  }
  void TearDown() override { SetApplicationExceptionHook(nullptr); }

  // A timer as the module builds it: disabled, 2000 ms, a handler.
  void BuildLikeTimer1() {
    Timer.SetEnabled(false);
    Timer.SetInterval(2000);
    Timer.SetOnTimer([this](TComponent* sender) {
      EXPECT_EQ(sender, &Timer);
      ++Ticks;
    });
    Api.TakeCalls();
  }

  TFakeTimerApi Api;
  TTimer Timer{Api};
  std::vector<std::string> Handled;
  int Ticks = 0;
};

TEST_F(TimerTest, ConstructedEnabledWithOneSecondAndNeverArmedWithoutHandler) {
  EXPECT_TRUE(Timer.Enabled());
  EXPECT_EQ(Timer.Interval(), 1000u);
  EXPECT_NE(Timer.Window(), 0u);
  Timer.SetInterval(2000);
  // Rearmed on the change, but without a handler only killed.
  EXPECT_EQ(Api.TakeCalls(), (Calls{"kill 1"}));
  EXPECT_FALSE(Api.IsArmed());
}

TEST_F(TimerTest, SettingTheCurrentValueDoesNotTouchThePlatformTimer) {
  BuildLikeTimer1();
  Timer.SetEnabled(false);
  Timer.SetInterval(2000);
  EXPECT_TRUE(Api.TakeCalls().empty());
  Timer.SetEnabled(true);
  EXPECT_EQ(Api.TakeCalls(), (Calls{"kill 1", "set 1 2000"}));
  Timer.SetEnabled(true);
  EXPECT_TRUE(Api.TakeCalls().empty());
}

TEST_F(TimerTest, IntervalZeroDisarmsWhileEnabledStaysTrue) {
  BuildLikeTimer1();
  Timer.SetEnabled(true);
  Api.TakeCalls();
  Timer.SetInterval(0);
  EXPECT_EQ(Api.TakeCalls(), (Calls{"kill 1"}));
  EXPECT_TRUE(Timer.Enabled());
  EXPECT_FALSE(Api.IsArmed());
  Timer.SetInterval(2000);
  EXPECT_EQ(Api.TakeCalls(), (Calls{"kill 1", "set 1 2000"}));
}

TEST_F(TimerTest, AssigningTheHandlerAlwaysRearms) {
  BuildLikeTimer1();
  Timer.SetEnabled(true);
  Api.TakeCalls();
  Timer.SetOnTimer([](TComponent*) {});
  EXPECT_EQ(Api.TakeCalls(), (Calls{"kill 1", "set 1 2000"}));
  Timer.SetOnTimer(nullptr);
  EXPECT_EQ(Api.TakeCalls(), (Calls{"kill 1"}));
}

TEST_F(TimerTest, NoTimerLeftRaisesOutOfResources) {
  BuildLikeTimer1();
  Api.FailSetTimer = true;
  try {
    Timer.SetEnabled(true);
    FAIL() << "no error raised";
  } catch (const EOutOfResources& error) {
    EXPECT_EQ(error.Message(), "Not enough timers available");
  }
}

TEST_F(TimerTest, TickErrorsGoToTheApplicationAndTheTimerStaysArmed) {
  BuildLikeTimer1();
  Timer.SetEnabled(true);
  int call = 0;
  Timer.SetOnTimer([&call](TComponent*) {
    switch (++call) {
      case 1:
        throw Exception("tick failed");
      case 2:
        throw std::runtime_error("runtime");
      case 3:
        throw 42;
      default:
        break;
    }
  });
  for (int i = 0; i < 4; ++i) Timer.Tick();
  EXPECT_EQ(call, 4);
  EXPECT_EQ(Handled, (std::vector<std::string>{"tick failed", "runtime", ""}));
  EXPECT_TRUE(Api.IsArmed());
}

TEST(TimerLifetimeTest, DestructionKillsTheTimerThenDestroysTheWindow) {
  TFakeTimerApi api;
  uintptr_t window = 0;
  {
    TTimer timer(api);
    window = timer.Window();
    timer.SetOnTimer([](TComponent*) {});
    api.TakeCalls();
  }
  EXPECT_EQ(api.TakeCalls(), (Calls{"kill 1", "destroy " + std::to_string(window)}));
}

TEST(TimerLifetimeTest, NoWindowNoTimer) {
  TFakeTimerApi api;
  api.FailCreateWindow = true;
  try {
    TTimer timer(api);
    FAIL() << "constructed without a window";
  } catch (const EOSError& error) {
    EXPECT_EQ(error.ErrorCode, 1400u);
  }
  EXPECT_TRUE(api.TakeCalls().empty());
}

}  // namespace
