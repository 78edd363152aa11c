// Placeholder until the timer window is written.
#include "svcmgr/timer_api.h"

namespace {
class TPlaceholderTimerApi : public TTimerApi {
 public:
  uintptr_t CreateTimerWindow(TTimer&) override { return 0; }
  void DestroyTimerWindow(uintptr_t) override {}
  bool SetTimer(uintptr_t, uintptr_t, uint32_t) override { return false; }
  void KillTimer(uintptr_t, uintptr_t) override {}
};
}  // namespace

TTimerApi& PlatformTimerApi() {
  static TPlaceholderTimerApi api;
  return api;
}
