#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "svcmgr/timer.h"

// Records every timer call as text ("set 1 2000", "kill 1"), and can refuse SetTimer.
class TFakeTimerApi : public TTimerApi {
 public:
  uintptr_t CreateTimerWindow(TTimer& timer) override {
    std::lock_guard<std::mutex> guard(Lock);
    if (FailCreateWindow) return 0;
    Timers.push_back(&timer);
    return 0x100 + Timers.size();
  }
  void DestroyTimerWindow(uintptr_t window) override { Record("destroy " + std::to_string(window)); }
  bool SetTimer(uintptr_t, uintptr_t id, uint32_t interval) override {
    Record("set " + std::to_string(id) + " " + std::to_string(interval));
    std::lock_guard<std::mutex> guard(Lock);
    Armed = !FailSetTimer;
    return !FailSetTimer;
  }
  void KillTimer(uintptr_t, uintptr_t id) override {
    Record("kill " + std::to_string(id));
    std::lock_guard<std::mutex> guard(Lock);
    Armed = false;
  }
  std::vector<std::string> TakeCalls() {
    std::lock_guard<std::mutex> guard(Lock);
    std::vector<std::string> calls;
    calls.swap(Calls);
    return calls;
  }
  bool IsArmed() {
    std::lock_guard<std::mutex> guard(Lock);
    return Armed;
  }

  uint32_t LastError() override { return FailCreateWindow ? 1400 : 0; }  // ERROR_INVALID_WINDOW_HANDLE

  bool FailSetTimer = false;
  bool FailCreateWindow = false;
  std::vector<TTimer*> Timers;

 private:
  void Record(std::string call) {
    std::lock_guard<std::mutex> guard(Lock);
    Calls.push_back(std::move(call));
  }
  std::mutex Lock;
  std::vector<std::string> Calls;
  bool Armed = false;
};
