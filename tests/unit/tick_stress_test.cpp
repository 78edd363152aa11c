#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/fakes/fake_platform.h"

namespace {

// Ticks on one thread against the stop, shutdown and destroy handlers on another.
// Its findings come from the sanitizers: ThreadSanitizer reports any access the
// module's lock does not cover, AddressSanitizer any use of a released list; the
// plain build only shows that nothing crashes or deadlocks.
class TBusyModule : public TNortavelFree {
 public:
  explicit TBusyModule(TFakePlatform& platform) : TNortavelFree(platform.View()) {}
  bool LoadConfiguration() override {
    RestrictedUsers.Clear();
    UserRules.clear();
    RestrictedUsers.Add("anna");
    UserRules.emplace_back();
    UserRules.back().Add(std::string(48, '1'));
    return true;
  }
  void CollectSeenAccounts() override {
    if (SeenAccounts.IndexOf("anna") < 0) SeenAccounts.Add("anna");
  }
  void SetAccountLogonHours(const std::string&, bool) override { ++Locks; }
  bool ShutdownComputer() override { return true; }
  int Locks = 0;
};

TEST(TickStressTest, HundredThousandTicksRaceStopShutdownAndDestroyCleanly) {
  // 100,000 ticks in all, each round racing one handler against its ticks.
  constexpr int kRounds = 40;
  constexpr int kTicksPerRound = 2500;
  for (int round = 0; round < kRounds; ++round) {
    TFakePlatform platform;
    TBusyModule module(platform);
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
