#include "common/win32.h"
#include "winsys/kernel_api.h"

bool TWin32KernelApi::OpenToken(uintptr_t process, uint32_t access, uintptr_t& token) {
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(reinterpret_cast<HANDLE>(process), access, &opened)) return false;
  token = reinterpret_cast<uintptr_t>(opened);
  return true;
}

void TWin32KernelApi::CloseObject(uintptr_t handle) {
  KeepingLastError([&] { return ::CloseHandle(reinterpret_cast<HANDLE>(handle)); });
}

uint32_t TWin32KernelApi::LastError() { return ::GetLastError(); }
