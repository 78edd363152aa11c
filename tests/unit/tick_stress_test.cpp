#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/fakes/fake_platform.h"

namespace {

// Ticks on one thread against the stop, shutdown and destroy handlers on another.
// Its findings come from the sanitizers: ThreadSanitizer reports any access the
// module's lock does not cover, AddressSanitizer any use of a released list; the
// plain build only shows that nothing crashes or deadlocks.
// The real module on the fakes: one restricted user, always restricted, who
// owns a process, so that every pass locks and asks for a power-off.
void Configure(TFakePlatform& platform) {
  const std::string user = "SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\anna";
  for (int day = 1; day <= 7; ++day) platform.Registry.SetString(user, "Time" + std::to_string(day), std::string(48, '1'));
  platform.Processes.Add(1200, "anna");
}

TEST(TickStressTest, HundredThousandTicksRaceStopShutdownAndDestroyCleanly) {
  // 100,000 ticks in all, each round racing one handler against its ticks.
  constexpr int kRounds = 40;
  constexpr int kTicksPerRound = 2500;
  for (int round = 0; round < kRounds; ++round) {
    TFakePlatform platform;
    Configure(platform);
    TNortavelFree module(platform.View());
    module.LoadConfiguration();
    module.DebugLevel = 4;
    std::atomic<bool> go{false};
    std::thread ticker([&] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kTicksPerRound; ++i) module.Timer1Timer(&module.Timer1);
    });
    go = true;
    bool flag = true;
    module.ServiceStop(&module, flag);
    if (round % 3 == 1) module.ServiceShutdown(&module);
    if (round % 3 == 2) module.ServiceDestroy(&module);
    ticker.join();
    module.ServiceDestroy(&module);
    EXPECT_TRUE(module.ListsReleased());
    EXPECT_TRUE(module.DiagLog.LogLines.Empty());
  }
}

}  // namespace
