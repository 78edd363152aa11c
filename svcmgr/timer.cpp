#include "svcmgr/timer.h"

#include <exception>

TTimer::TTimer(TTimerApi& api) : Api(api) { WindowHandle = Api.CreateTimerWindow(*this); }

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
}
