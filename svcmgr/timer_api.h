#pragma once
// The window and timer calls behind TTimer. Windows: a hidden "TPUtilWindow"
// owned by the constructing thread, SetTimer/KillTimer with identifier 1.

#include <cstdint>

class TTimer;

class TTimerApi {
 public:
  virtual ~TTimerApi() = default;
  // Creates the timer's hidden window on the calling thread; its WM_TIMER messages
  // call timer.Tick() on that thread. Returns 0 on failure, the cause in LastError.
  virtual uintptr_t CreateTimerWindow(TTimer& timer) = 0;
  virtual void DestroyTimerWindow(uintptr_t window) = 0;
  // SetTimer(window, id, interval, no procedure); false when no timer is left.
  virtual bool SetTimer(uintptr_t window, uintptr_t id, uint32_t interval) = 0;
  virtual void KillTimer(uintptr_t window, uintptr_t id) = 0;
  // GetLastError() of the calling thread.
  virtual uint32_t LastError() = 0;
};

// The Windows implementation (win32_timer_api.cpp); not available natively.
TTimerApi& PlatformTimerApi();
