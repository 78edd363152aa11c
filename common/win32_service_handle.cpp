// The Windows calls on the service control manager's handles.
#include "common/service_handle.h"

#include "common/win32.h"

namespace {
SC_HANDLE AsHandle(uintptr_t handle) { return reinterpret_cast<SC_HANDLE>(handle); }
}  // namespace

void TWin32ServiceHandleApi::CloseEntry(uintptr_t handle) {
  KeepingLastError([&] { return CloseServiceHandle(AsHandle(handle)); });
}

bool TWin32ServiceHandleApi::QueryState(uintptr_t service, uint32_t& state) {
  SERVICE_STATUS status{};
  if (QueryServiceStatus(AsHandle(service), &status) == FALSE) return false;
  state = status.dwCurrentState;
  return true;
}

bool TWin32ServiceHandleApi::Control(uintptr_t service, uint32_t control, uint32_t& state) {
  SERVICE_STATUS status{};
  if (ControlService(AsHandle(service), control, &status) == FALSE) return false;
  state = status.dwCurrentState;
  return true;
}
