#pragma once
// The service control manager's handles and the calls on a service that the
// service host's removal and the administration tool both make: both seams
// derive from this one virtually, so one handle owner serves both, and a class
// implementing both seams answers these once. Handles are uintptr_t; 0 is "none".

#include <cstdint>

#include "common/owned.h"

// SC_ACTION: what the control manager does after a failure of the service.
struct TServiceAction {
  uint32_t Type = 0;   // SC_ACTION_NONE 0, SC_ACTION_RESTART 1, ...
  uint32_t Delay = 0;  // milliseconds
};

class TServiceHandleApi {
 public:
  static constexpr uint32_t kServiceQueryStatus = 0x0004;      // SERVICE_QUERY_STATUS
  static constexpr uint32_t kServiceStop = 0x0020;             // SERVICE_STOP
  static constexpr uint32_t kControlStop = 1;                  // SERVICE_CONTROL_STOP
  static constexpr uint32_t kStateStopped = 1;                 // SERVICE_STOPPED
  static constexpr uint32_t kStateStopPending = 3;             // SERVICE_STOP_PENDING
  static constexpr uint32_t kStateRunning = 4;                 // SERVICE_RUNNING
  static constexpr uint32_t kErrorServiceDoesNotExist = 1060;  // ERROR_SERVICE_DOES_NOT_EXIST

  virtual ~TServiceHandleApi() = default;
  // CloseServiceHandle(handle), keeping the caller's last-error code.
  virtual void CloseEntry(uintptr_t handle) = 0;
  // QueryServiceStatus: dwCurrentState. False on failure.
  virtual bool QueryState(uintptr_t service, uint32_t& state) = 0;
  // ControlService(service, control, &status): dwCurrentState of the answer.
  // False on failure.
  virtual bool Control(uintptr_t service, uint32_t control, uint32_t& state) = 0;
};

// The Windows implementation, for the Windows classes of the seams above it;
// not available natively.
class TWin32ServiceHandleApi : public virtual TServiceHandleApi {
 public:
  void CloseEntry(uintptr_t handle) override;
  bool QueryState(uintptr_t service, uint32_t& state) override;
  bool Control(uintptr_t service, uint32_t control, uint32_t& state) override;
};

// Owns a control manager or service handle.
using TServiceHandle = TOwned<TServiceHandleApi, &TServiceHandleApi::CloseEntry>;
