#include "svcmgr/timer.h"

#include <exception>

#include "svcmgr/os_error.h"

TTimer::TTimer(TTimerApi& api) : Api(api) {
  WindowHandle = Api.CreateTimerWindow(*this);
  // Without its own window the timer would arm a thread timer under another
  // identifier, which nothing could kill or deliver.
  if (WindowHandle == 0) throw OSError(Api.LastError());
}

TTimer::~TTimer() {
  EnabledValue = false;
  Api.KillTimer(WindowHandle, kTimerId);
  Api.DestroyTimerWindow(WindowHandle);
}

void TTimer::SetEnabled(bool value) {
  if (value == EnabledValue) return;
  EnabledValue = value;
  RearmTimer();
}

void TTimer::SetInterval(uint32_t value) {
  if (value == IntervalValue) return;
  IntervalValue = value;
  RearmTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  OnTimer = std::move(handler);
  RearmTimer();
}

void TTimer::RearmTimer() {
  Api.KillTimer(WindowHandle, kTimerId);
  if (IntervalValue != 0 && EnabledValue && OnTimer) {
    if (!Api.SetTimer(WindowHandle, kTimerId, IntervalValue))
      throw EOutOfResources("Not enough timers available");
  }
}

void TTimer::Tick() {
  try {
    if (!OnTimer) return;
    try {
      OnTimer(this);
    } catch (const Exception& error) {
      HandleApplicationException(error);
    } catch (const std::exception& error) {
      HandleApplicationException(Exception(error.what()));
    } catch (...) {
      HandleApplicationException(Exception(""));
    }
  } catch (...) {
    // The exception handling itself failed (out of memory): the tick is lost,
    // the window procedure still returns normally.
  }
}
