#pragma once
// The service control manager's handles, shared by the service host's
// installation and by the administration tool: both seams derive from this one
// virtually, so one handle owner serves both, and a class implementing both seams
// answers the close once. Handles are uintptr_t; 0 is "none".

#include <cstdint>

#include "common/owned.h"

// SC_ACTION: what the control manager does after a failure of the service.
struct TServiceAction {
  uint32_t Type = 0;   // SC_ACTION_NONE 0, SC_ACTION_RESTART 1, ...
  uint32_t Delay = 0;  // milliseconds
};

class TServiceHandleApi {
 public:
  virtual ~TServiceHandleApi() = default;
  // CloseServiceHandle(handle), keeping the caller's last-error code.
  virtual void CloseEntry(uintptr_t handle) = 0;
};

// Owns a control manager or service handle.
using TServiceHandle = TOwned<TServiceHandleApi, &TServiceHandleApi::CloseEntry>;
