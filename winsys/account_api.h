#pragma once
// The account, privilege and power calls behind lock-out and power-off, and the
// account reading of the administration tool, one method per Windows call. The caller passes every documented argument (levels,
// access masks, flags, reasons) so the values can be checked against a fake.
// Handles are uintptr_t; 0 is "none". Thread: the tick thread only.

#include <cstdint>

#include "winsys/kernel_api.h"

// USER_INFO_1020, laid out as Windows lays it out.
struct TUserInfo1020 {
  uint32_t UnitsPerWeek;
  uint8_t* LogonHours;
};

// USER_INFO_2, laid out as Windows lays it out. Wide strings are UTF-16.
struct TUserInfo2 {
  char16_t* Name;
  char16_t* Password;
  uint32_t PasswordAge;
  uint32_t Privilege;  // USER_PRIV_GUEST 0, USER_PRIV_USER 1, USER_PRIV_ADMIN 2
  char16_t* HomeDirectory;
  char16_t* Comment;
  uint32_t Flags;      // UF_*; UF_ACCOUNTDISABLE 0x2 for a disabled account
  char16_t* ScriptPath;
  uint32_t AuthFlags;
  char16_t* FullName;
  char16_t* UserComment;
  char16_t* Parameters;
  char16_t* Workstations;
  uint32_t LastLogon;
  uint32_t LastLogoff;
  uint32_t AccountExpires;
  uint32_t MaxStorage;
  uint32_t UnitsPerWeek;
  uint8_t* LogonHours;  // UnitsPerWeek bits, the first unit in bit 0 of byte 0
  uint32_t BadPasswordCount;
  uint32_t LogonCount;
  char16_t* LogonServer;
  uint32_t CountryCode;
  uint32_t CodePage;
};

// USER_INFO_24 (Windows 8 and later), laid out as Windows lays it out.
struct TUserInfo24 {
  int32_t InternetIdentity;         // BOOL: the account signs in with a Microsoft account
  uint32_t Flags;
  char16_t* InternetProviderName;
  char16_t* InternetPrincipalName;  // that account's name, its e-mail address
  void* UserSid;
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
  // WideCharToMultiByte with no default character asked for or reported: the
  // bytes written (terminator included when wideLength is -1), or 0 on failure,
  // also when textRoom is too small.
  virtual int32_t ToNarrow(uint32_t codePage, uint32_t flags, const char16_t* wide, int32_t wideLength, char* text,
                           int32_t textRoom) = 0;
  // NetUserSetInfo: the status, 0 (NERR_Success) when the account was updated.
  virtual uint32_t SetUserInfo(const char16_t* serverName, const char16_t* userName, uint32_t level,
                               const TUserInfo1020* info, uint32_t* parmError) = 0;
  // NetUserGetInfo: the status, 0 (NERR_Success) when buffer points to the
  // structure of the level. buffer is what the call left there (0 for none): the
  // caller frees a buffer that is not 0 with FreeNetBuffer, whatever the status.
  virtual uint32_t GetUserInfo(const char16_t* serverName, const char16_t* userName, uint32_t level,
                               uintptr_t& buffer) = 0;
  // NetUserEnum: the status, 0 (NERR_Success) when the last entries were handed
  // out, ERROR_MORE_DATA (234) when more follow from *resumeHandle, which the call
  // advanced. buffer holds entriesRead structures of the level; as for
  // GetUserInfo, the caller frees a buffer that is not 0, whatever the status.
  virtual uint32_t EnumerateUsers(const char16_t* serverName, uint32_t level, uint32_t filter, uintptr_t& buffer,
                                  uint32_t preferredMaximumLength, uint32_t& entriesRead, uint32_t& totalEntries,
                                  uint32_t* resumeHandle) = 0;
  // NetApiBufferFree; keeps the caller's last-error code.
  virtual uint32_t FreeNetBuffer(uintptr_t buffer) = 0;
  // GetCurrentProcess: a pseudo handle that is never closed.
  virtual uintptr_t CurrentProcess() = 0;
  // LookupPrivilegeValueA.
  virtual bool LookupPrivilege(const char* systemName, const char* privilegeName, TPrivilegeId& luid) = 0;
  // AdjustTokenPrivileges; only LastError tells whether every privilege was enabled.
  virtual bool AdjustPrivileges(uintptr_t token, bool disableAll, const TOnePrivilege* newState,
                                uint32_t previousStateLength, TOnePrivilege* previousState,
                                uint32_t* returnLength) = 0;
  // InitiateShutdownW(machine, message, grace, flags, reason): 0 when the
  // system started the shutdown, otherwise the Windows error code.
  virtual uint32_t InitiateShutdown(const char16_t* machine, const char16_t* message, uint32_t graceSeconds,
                                    uint32_t flags, uint32_t reason) = 0;
  // ExitWindowsEx: true when the system accepted the request.
  virtual bool ExitSystem(uint32_t flags, uint32_t reason) = 0;
};

// A buffer the network management calls allocated.
using TNetBuffer = TOwned<TAccountApi, &TAccountApi::FreeNetBuffer>;

// The Windows implementation; not available natively.
TAccountApi& PlatformAccounts();
