// The window timer on the real platform: its hidden window on the constructing
// thread, ticks delivered there while another thread arms and disarms it, and a
// tick that raises.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "common/registry_api.h"
#include "svcmgr/application.h"
#include "svcmgr/components.h"
#include "svcmgr/timer.h"
#include "tests/fakes/fake_app_api.h"
#include "common/win32.h"

namespace {

// Counts the platform timer calls on their way to the real ones.
class TCountingTimerApi : public TTimerApi {
 public:
  uintptr_t CreateTimerWindow(TTimer& timer) override { return Real.CreateTimerWindow(timer); }
  void DestroyTimerWindow(uintptr_t window) override { Real.DestroyTimerWindow(window); }
  bool SetTimer(uintptr_t window, uintptr_t id, uint32_t interval) override {
    ++Sets;
    return Real.SetTimer(window, id, interval);
  }
  void KillTimer(uintptr_t window, uintptr_t id) override {
    ++Kills;
    Real.KillTimer(window, id);
  }
  uint32_t LastError() override { return Real.LastError(); }

  std::atomic<int> Sets{0}, Kills{0};

 private:
  TTimerApi& Real = PlatformTimerApi();
};

class TimerWineTest : public ::testing::Test {
 protected:
  // Runs the application's message loop until a tick calls StopLoop, or the
  // time is up. A thread timer without a window wakes the loop now and then.
  void RunLoop(DWORD milliseconds) {
    Stop = false;
    const DWORD start = GetTickCount();
    const UINT_PTR wake = ::SetTimer(nullptr, 0, 20, nullptr);
    while (!Stop && GetTickCount() - start < milliseconds) Forms.HandleMessage();
    ::KillTimer(nullptr, wake);
  }
  void StopLoop() { Stop = true; }

  bool Stop = false;
  TApplication Forms{PlatformMessageLoopApi()};
  TCountingTimerApi Api;
  TTimer Timer{Api};
  const DWORD MainThread = GetCurrentThreadId();
};

TEST_F(TimerWineTest, WindowIsAHiddenUtilityWindowOfTheConstructingThread) {
  const HWND window = reinterpret_cast<HWND>(Timer.Window());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), MainThread);
  EXPECT_FALSE(IsWindowVisible(window));
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  EXPECT_STREQ(className, "TPUtilWindow");
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & WS_POPUP, static_cast<DWORD>(WS_POPUP));
  WNDCLASSA utilClass = {};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "TPUtilWindow", &utilClass));
  EXPECT_EQ(utilClass.lpfnWndProc, &DefWindowProcA);
  EXPECT_NE(GetWindowLongPtrA(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&DefWindowProcA));
}

TEST_F(TimerWineTest, ArmedFromAnotherThreadTicksOnTheMainThread) {
  std::vector<DWORD> tickThreads;
  Timer.SetEnabled(false);
  Timer.SetInterval(50);
  Timer.SetOnTimer([&](TComponent* sender) {
    EXPECT_EQ(sender, &Timer);
    tickThreads.push_back(GetCurrentThreadId());
    if (tickThreads.size() == 3) StopLoop();
  });
  std::thread([this] { Timer.SetEnabled(true); }).join();
  RunLoop(10000);
  ASSERT_EQ(tickThreads.size(), 3u);
  for (DWORD thread : tickThreads) EXPECT_EQ(thread, MainThread);

  // Disarmed from another thread: no more ticks.
  std::thread([this] { Timer.SetEnabled(false); }).join();
  RunLoop(300);
  EXPECT_EQ(tickThreads.size(), 3u);
}

TEST_F(TimerWineTest, IntervalZeroDisarmsAndOnlyChangesTouchThePlatformTimer) {
  int ticks = 0;
  Timer.SetInterval(50);
  Timer.SetOnTimer([&](TComponent*) { ++ticks; });
  EXPECT_EQ(Api.Sets, 1);  // enabled since construction: assigning the handler armed it
  const int kills = Api.Kills;
  Timer.SetEnabled(true);
  Timer.SetInterval(50);
  EXPECT_EQ(Api.Sets, 1);
  EXPECT_EQ(Api.Kills, kills);

  std::thread([this] { Timer.SetInterval(0); }).join();
  EXPECT_EQ(Api.Kills, kills + 1);
  EXPECT_EQ(Api.Sets, 1);
  EXPECT_TRUE(Timer.Enabled());
  RunLoop(300);
  EXPECT_EQ(ticks, 0);

  std::thread([this] { Timer.SetInterval(50); }).join();
  Timer.SetOnTimer([&](TComponent*) {
    if (++ticks == 2) StopLoop();
  });
  EXPECT_EQ(Api.Sets, 3);  // the interval and the handler each armed it again
  RunLoop(10000);
  EXPECT_EQ(ticks, 2);
}

TEST_F(TimerWineTest, TickThatRaisesWritesOneEventAndTheNextTickComes) {
  TFakeAppEventLog events;
  TServiceApplication application(TServiceApplicationPlatform{PlatformApplicationApi(), PlatformMessageLoopApi(),
                                                              PlatformServiceManagerApi(), events, PlatformRegistry()},
                                  Forms);
  SetApplicationExceptionHook([&application](const Exception& error) { application.LogApplicationException(error); });
  int ticks = 0;
  Timer.SetInterval(50);
  Timer.SetOnTimer([&](TComponent*) {
    if (++ticks == 1) throw ERegistryException("Invalid data type for 'Debug'");
    StopLoop();
  });
  RunLoop(10000);
  SetApplicationExceptionHook(nullptr);
  EXPECT_EQ(ticks, 2);
  ASSERT_EQ(events.Events.size(), 1u);
  EXPECT_EQ(events.Events[0].Message, "Invalid data type for 'Debug'");
  EXPECT_EQ(events.Events[0].Source, "nortavel_wine_tests.exe");
  EXPECT_EQ(events.Events[0].Type, 1);
}

}  // namespace
