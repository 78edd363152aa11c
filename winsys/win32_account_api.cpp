// The account, privilege and power calls of lock-out and power-off, forwarded to
// Windows.
#include "common/win32.h"

#include <lm.h>

#include <cstddef>

#include "winsys/account_api.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");
static_assert(sizeof(TUserInfo1020) == sizeof(USER_INFO_1020), "USER_INFO_1020 layout");
static_assert(offsetof(TUserInfo1020, UnitsPerWeek) == offsetof(USER_INFO_1020, usri1020_units_per_week),
              "USER_INFO_1020 layout");
static_assert(offsetof(TUserInfo1020, LogonHours) == offsetof(USER_INFO_1020, usri1020_logon_hours),
              "USER_INFO_1020 layout");
static_assert(sizeof(TUserInfo2) == sizeof(USER_INFO_2), "USER_INFO_2 layout");
static_assert(offsetof(TUserInfo2, Name) == offsetof(USER_INFO_2, usri2_name), "USER_INFO_2 layout");
static_assert(offsetof(TUserInfo2, UnitsPerWeek) == offsetof(USER_INFO_2, usri2_units_per_week),
              "USER_INFO_2 layout");
static_assert(offsetof(TUserInfo2, LogonHours) == offsetof(USER_INFO_2, usri2_logon_hours), "USER_INFO_2 layout");
static_assert(offsetof(TUserInfo2, CodePage) == offsetof(USER_INFO_2, usri2_code_page), "USER_INFO_2 layout");
static_assert(offsetof(TUserInfo2, FullName) == offsetof(USER_INFO_2, usri2_full_name), "USER_INFO_2 layout");
static_assert(offsetof(TUserInfo2, Flags) == offsetof(USER_INFO_2, usri2_flags), "USER_INFO_2 layout");
static_assert(offsetof(TUserInfo2, Privilege) == offsetof(USER_INFO_2, usri2_priv), "USER_INFO_2 layout");
static_assert(sizeof(TUserInfo24) == sizeof(USER_INFO_24), "USER_INFO_24 layout");
static_assert(offsetof(TUserInfo24, InternetPrincipalName) == offsetof(USER_INFO_24, usri24_internet_principal_name),
              "USER_INFO_24 layout");
static_assert(sizeof(TPrivilegeId) == sizeof(LUID), "LUID layout");
static_assert(sizeof(TOnePrivilege) == sizeof(TOKEN_PRIVILEGES), "TOKEN_PRIVILEGES layout");
static_assert(offsetof(TOnePrivilege, Luid) == offsetof(TOKEN_PRIVILEGES, Privileges[0].Luid),
              "TOKEN_PRIVILEGES layout");
static_assert(offsetof(TOnePrivilege, Attributes) == offsetof(TOKEN_PRIVILEGES, Privileges[0].Attributes),
              "TOKEN_PRIVILEGES layout");

HANDLE AsHandle(uintptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

class TWin32Accounts : public TAccountApi, public TWin32KernelApi {
 public:
  int32_t ToWide(uint32_t codePage, uint32_t flags, const char* text, int32_t textLength, char16_t* wide,
                 int32_t wideRoom) override {
    return ::MultiByteToWideChar(codePage, flags, text, textLength, reinterpret_cast<wchar_t*>(wide), wideRoom);
  }

  int32_t ToNarrow(uint32_t codePage, uint32_t flags, const char16_t* wide, int32_t wideLength, char* text,
                   int32_t textRoom) override {
    return ::WideCharToMultiByte(codePage, flags, reinterpret_cast<const wchar_t*>(wide), wideLength, text, textRoom,
                                 nullptr, nullptr);
  }

  uint32_t SetUserInfo(const char16_t* serverName, const char16_t* userName, uint32_t level,
                       const TUserInfo1020* info, uint32_t* parmError) override {
    DWORD error = 0;
    const NET_API_STATUS status =
        ::NetUserSetInfo(reinterpret_cast<LPCWSTR>(serverName), reinterpret_cast<LPCWSTR>(userName), level,
                         reinterpret_cast<LPBYTE>(const_cast<TUserInfo1020*>(info)),
                         parmError != nullptr ? &error : nullptr);
    if (parmError != nullptr) *parmError = error;
    return status;
  }

  uint32_t GetUserInfo(const char16_t* serverName, const char16_t* userName, uint32_t level,
                       uintptr_t& buffer) override {
    LPBYTE returned = nullptr;
    const NET_API_STATUS status = ::NetUserGetInfo(reinterpret_cast<LPCWSTR>(serverName),
                                                   reinterpret_cast<LPCWSTR>(userName), level, &returned);
    buffer = reinterpret_cast<uintptr_t>(returned);
    return status;
  }

  uint32_t EnumerateUsers(const char16_t* serverName, uint32_t level, uint32_t filter, uintptr_t& buffer,
                          uint32_t preferredMaximumLength, uint32_t& entriesRead, uint32_t& totalEntries,
                          uint32_t* resumeHandle) override {
    LPBYTE returned = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    DWORD resume = resumeHandle != nullptr ? *resumeHandle : 0;
    const NET_API_STATUS status =
        ::NetUserEnum(reinterpret_cast<LPCWSTR>(serverName), level, filter, &returned, preferredMaximumLength, &read,
                      &total, resumeHandle != nullptr ? &resume : nullptr);
    buffer = reinterpret_cast<uintptr_t>(returned);
    entriesRead = read;
    totalEntries = total;
    if (resumeHandle != nullptr) *resumeHandle = resume;
    return status;
  }

  uint32_t FreeNetBuffer(uintptr_t buffer) override {
    return KeepingLastError([&] { return ::NetApiBufferFree(reinterpret_cast<LPVOID>(buffer)); });
  }

  uintptr_t CurrentProcess() override { return reinterpret_cast<uintptr_t>(::GetCurrentProcess()); }

  bool LookupPrivilege(const char* systemName, const char* privilegeName, TPrivilegeId& luid) override {
    LUID value{};
    if (!::LookupPrivilegeValueA(systemName, privilegeName, &value)) return false;
    luid.LowPart = value.LowPart;
    luid.HighPart = value.HighPart;
    return true;
  }

  bool AdjustPrivileges(uintptr_t token, bool disableAll, const TOnePrivilege* newState,
                        uint32_t previousStateLength, TOnePrivilege* previousState,
                        uint32_t* returnLength) override {
    DWORD returned = 0;
    const BOOL ok = ::AdjustTokenPrivileges(
        AsHandle(token), disableAll ? TRUE : FALSE,
        reinterpret_cast<PTOKEN_PRIVILEGES>(const_cast<TOnePrivilege*>(newState)), previousStateLength,
        reinterpret_cast<PTOKEN_PRIVILEGES>(previousState), returnLength != nullptr ? &returned : nullptr);
    // Copying the length out must not disturb the error the caller reads next.
    if (returnLength != nullptr) *returnLength = returned;
    return ok != FALSE;
  }

  uint32_t InitiateShutdown(const char16_t* machine, const char16_t* message, uint32_t graceSeconds, uint32_t flags,
                            uint32_t reason) override {
    return ::InitiateShutdownW(const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(machine)),
                               const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(message)), graceSeconds, flags, reason);
  }
  bool ExitSystem(uint32_t flags, uint32_t reason) override { return ::ExitWindowsEx(flags, reason) != FALSE; }
};

}  // namespace

TAccountApi& PlatformAccounts() {
  static TWin32Accounts api;
  return api;
}
