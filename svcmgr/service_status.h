#pragma once
// The service's states as the control manager knows them, the status record sent
// for each, and the process-wide memory behind its checkpoint.
//
// Threads: the status reports of a run come from the service-main thread and the
// service thread, never at the same time (the service-main thread reports only
// before it starts the service thread and after that thread has ended), so the
// report memory needs no lock.

#include <cstdint>

#include "svcmgr/service_api.h"

// Values are the dwCurrentState codes.
enum class TServiceState : uint32_t { ssStopped = 1, ssStartPending = 2, ssStopPending = 3, ssRunning = 4 };

inline constexpr uint32_t kAcceptStop = 1;           // SERVICE_ACCEPT_STOP
inline constexpr uint32_t kAcceptPauseContinue = 2;  // SERVICE_ACCEPT_PAUSE_CONTINUE
inline constexpr uint32_t kAcceptShutdown = 4;       // SERVICE_ACCEPT_SHUTDOWN

bool IsPendingState(TServiceState state);

// The controls a report announces: none while the start is pending, else shutdown,
// plus stop and pause/continue as the service allows them.
uint32_t AcceptedControls(TServiceState state, bool allowStop, bool allowPause);

// The checkpoint of the next report in `state`: one more than the last when the
// state is pending and repeats the last reported one, else 0. Remembers `state`
// as the last reported one.
uint32_t NextStatusCheckPoint(TServiceState state);

// Restores the process-start memory: last reported state start pending (so the
// first report of a run counts as a repeat), checkpoint 0. A process hosts one
// run; tests that run several call this between runs.
void ResetStatusReportMemory();
