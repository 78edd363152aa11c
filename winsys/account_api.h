#pragma once
// The account, privilege and power calls behind lock-out and power-off, one
// method per Windows call. The caller passes every documented argument (levels,
// access masks, flags, reasons) so the values can be checked against a fake.
// Handles are uintptr_t; 0 is "none". Thread: the tick thread only.

#include <cstdint>

#include "winsys/kernel_api.h"

// USER_INFO_1020, laid out as Windows lays it out.
struct TUserInfo1020 {
  uint32_t UnitsPerWeek;
  uint8_t* LogonHours;
};

// LUID.
struct TPrivilegeId {
  uint32_t LowPart;
  int32_t HighPart;
};

// TOKEN_PRIVILEGES with room for exactly one entry.
struct TOnePrivilege {
  uint32_t PrivilegeCount;
  TPrivilegeId Luid;
  uint32_t Attributes;
};

class TAccountApi : public virtual TKernelApi {
 public:

  // MultiByteToWideChar: the wide characters written (terminator included when
  // textLength is -1), or 0 on failure, also when wideRoom is too small.
  virtual int32_t ToWide(uint32_t codePage, uint32_t flags, const char* text, int32_t textLength, char16_t* wide,
                         int32_t wideRoom) = 0;
  // NetUserSetInfo: the status, 0 (NERR_Success) when the account was updated.
  virtual uint32_t SetUserInfo(const char16_t* serverName, const char16_t* userName, uint32_t level,
                               const TUserInfo1020* info, uint32_t* parmError) = 0;
  // GetCurrentProcess: a pseudo handle that is never closed.
  virtual uintptr_t CurrentProcess() = 0;
  // LookupPrivilegeValueA.
  virtual bool LookupPrivilege(const char* systemName, const char* privilegeName, TPrivilegeId& luid) = 0;
  // AdjustTokenPrivileges; only LastError tells whether every privilege was enabled.
  virtual bool AdjustPrivileges(uintptr_t token, bool disableAll, const TOnePrivilege* newState,
                                uint32_t previousStateLength, TOnePrivilege* previousState,
                                uint32_t* returnLength) = 0;
  // ExitWindowsEx: true when the system accepted the request.
  virtual bool ExitSystem(uint32_t flags, uint32_t reason) = 0;
};


// The Windows implementation; not available natively.
TAccountApi& PlatformAccounts();
