#pragma once
// TTimer: a window timer. Its window belongs to the constructing thread (the main
// thread), so ticks run there; Enabled and Interval may be set from another thread
// (the service thread arms and disarms it).

#include <atomic>
#include <cstdint>

#include "svcmgr/components.h"
#include "svcmgr/timer_api.h"

class TTimer : public TComponent {
 public:
  static constexpr uintptr_t kTimerId = 1;

  // Enabled = true, Interval = 1000, no handler; creates the window on the calling
  // thread, which receives every tick. Raises the failed-system-call error when
  // the window cannot be created.
  explicit TTimer(TTimerApi& api);
  // Disarms the platform timer and destroys the window.
  ~TTimer() override;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  bool Enabled() const { return EnabledValue; }
  uint32_t Interval() const { return IntervalValue; }
  // Each setter rearms only when the value changes; may raise EOutOfResources.
  void SetEnabled(bool value);
  void SetInterval(uint32_t value);
  // Always rearms; set on the constructing thread before the timer is enabled.
  void SetOnTimer(TNotifyEvent handler);

  // Kills the platform timer, then arms it again when Interval is not 0, Enabled
  // is true and a handler is assigned. Raises EOutOfResources("Not enough timers
  // available") when the platform has no timer left.
  void RearmTimer();

  // One WM_TIMER (TimerWindowProc, on the window's thread): calls the handler; an
  // Exception goes to the application's exception handling, any other error as an
  // Exception with its text (or none); nothing leaves this call.
  void Tick();

  uintptr_t Window() const { return WindowHandle; }

 private:
  TTimerApi& Api;
  uintptr_t WindowHandle = 0;
  std::atomic<bool> EnabledValue{true};
  std::atomic<uint32_t> IntervalValue{1000};
  TNotifyEvent OnTimer;
};
