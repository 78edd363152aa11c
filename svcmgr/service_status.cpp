#include "svcmgr/service_status.h"

namespace {
// Process-wide, as the control manager sees one service per process.
TServiceState LastReportedState = TServiceState::ssStartPending;
uint32_t StatusCheckPoint = 0;
}  // namespace

bool IsPendingState(TServiceState state) {
  return state == TServiceState::ssStartPending || state == TServiceState::ssStopPending;
}

uint32_t AcceptedControls(TServiceState state, bool allowStop, bool allowPause) {
  if (state == TServiceState::ssStartPending) return 0;
  uint32_t accepted = kAcceptShutdown;
  if (allowStop) accepted |= kAcceptStop;
  if (allowPause) accepted |= kAcceptPauseContinue;
  return accepted;
}

uint32_t NextStatusCheckPoint(TServiceState state) {
  if (IsPendingState(state) && state == LastReportedState)
    ++StatusCheckPoint;
  else
    StatusCheckPoint = 0;
  LastReportedState = state;
  return StatusCheckPoint;
}

void ResetStatusReportMemory() {
  LastReportedState = TServiceState::ssStartPending;
  StatusCheckPoint = 0;
}
