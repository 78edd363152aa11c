#pragma once
// The kernel object and token calls that session detection and power-off both
// make. Both seams derive from this one virtually, so a Windows implementation
// and a fake each answer them once. Handles are uintptr_t; 0 is "none".

#include <cstdint>

#include "common/owned.h"

class TKernelApi {
 public:
  virtual ~TKernelApi() = default;
  // OpenProcessToken: token is set on success only.
  virtual bool OpenToken(uintptr_t process, uint32_t access, uintptr_t& token) = 0;
  // CloseHandle; keeps the caller's last-error code.
  virtual void CloseObject(uintptr_t handle) = 0;
  // GetLastError.
  virtual uint32_t LastError() = 0;
};

using TKernelHandle = TOwned<TKernelApi, &TKernelApi::CloseObject>;

// The Windows implementation of these calls, for the Windows classes of the
// seams that derive from TKernelApi (win32_kernel_api.cpp).
class TWin32KernelApi : public virtual TKernelApi {
 public:
  bool OpenToken(uintptr_t process, uint32_t access, uintptr_t& token) override;
  void CloseObject(uintptr_t handle) override;
  uint32_t LastError() override;
};
