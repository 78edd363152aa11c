#include "winsys/accounts.h"

#include <algorithm>

#include "common/debug_level.h"
#include "common/system_error.h"
#include "diag/messages.h"

namespace {

constexpr uint32_t kCodePageAnsi = 0;       // CP_ACP
constexpr int32_t kWideNameRoom = 100;      // wide characters, terminator included
constexpr uint32_t kLogonHoursLevel = 1020;
constexpr uint32_t kNerrSuccess = 0;
constexpr uint32_t kNerrUserNotFound = 2221;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kUserInfoLevel = 2;             // USER_INFO_2: the first level with logon hours
constexpr uint32_t kMinutesPerWeek = 10080;        // SAM_MINUTES_PER_WEEK: the finest unit
constexpr uint32_t kAccountListLevel = 2;          // USER_INFO_2: name, privilege, flags and full name
constexpr uint32_t kInternetIdentityLevel = 24;    // USER_INFO_24: the Microsoft account
constexpr uint32_t kFilterNormalAccount = 2;       // FILTER_NORMAL_ACCOUNT
constexpr uint32_t kMaxPreferredLength = 0xFFFFFFFF;  // MAX_PREFERRED_LENGTH: the system sizes each page
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kAccountDisabled = 0x2;         // UF_ACCOUNTDISABLE
constexpr int32_t kNarrowNameRoom = 2 * 256 + 1;   // UNLEN wide characters, two bytes each at most

constexpr uint32_t kTokenAdjustAndQuery = 0x0028;  // TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY
constexpr char kShutdownPrivilege[] = "SeShutdownPrivilege";
constexpr uint32_t kPrivilegeEnabled = 2;          // SE_PRIVILEGE_ENABLED
constexpr uint32_t kPowerOffForced = 8 | 4;        // EWX_POWEROFF | EWX_FORCE
constexpr uint32_t kReasonPlanned = 0x80000000;    // SHTDN_REASON_FLAG_PLANNED
// SHUTDOWN_POWEROFF | SHUTDOWN_FORCE_OTHERS | SHUTDOWN_FORCE_SELF: programs are
// ended, not asked, so nobody at the screen can cancel it.
constexpr uint32_t kPowerOffUncancellable = 0x8 | 0x1 | 0x2;
constexpr uint32_t kGraceOverride = 0x20;          // SHUTDOWN_GRACE_OVERRIDE
constexpr uint32_t kErrorCallNotImplemented = 120;
constexpr uint32_t kErrorShutdownInProgress = 1115;
constexpr uint32_t kErrorShutdownIsScheduled = 1190;

// The account name as NetUserSetInfo wants it; false when it cannot name the
// account whole.
bool WideUserName(TAccountApi& accounts, const std::string& user, char16_t (&wide)[kWideNameRoom]) {
  // Converting up to a zero character would name another account.
  if (user.find('\0') != std::string::npos) return false;
  return accounts.ToWide(kCodePageAnsi, 0, user.c_str(), -1, wide, kWideNameRoom) > 0;
}

// Whether the logon hours permit no unit at all. A units count beyond the
// finest unit is not trusted to size the bytes.
bool PermitsNoUnit(const TUserInfo2& info) {
  if (info.LogonHours == nullptr || info.UnitsPerWeek == 0) return false;
  const uint32_t units = std::min(info.UnitsPerWeek, kMinutesPerWeek);
  for (uint32_t unit = 0; unit < units; ++unit)
    if ((info.LogonHours[unit / 8] >> (unit % 8) & 1) != 0) return false;
  return true;
}

// wide in the ANSI code page; false when it cannot be converted. No text is
// the empty text.
bool NarrowText(TAccountApi& accounts, const char16_t* wide, std::string& text) {
  char narrow[kNarrowNameRoom] = {};
  if (wide != nullptr && accounts.ToNarrow(kCodePageAnsi, 0, wide, -1, narrow, kNarrowNameRoom) <= 0) return false;
  text = narrow;
  return true;
}

// The Microsoft account the local account name signs in with; empty for none,
// and where the system does not answer level 24 (before Windows 8).
std::string MicrosoftAccountOf(TAccountApi& accounts, const char16_t* name) {
  uintptr_t returned = 0;
  const uint32_t status = accounts.GetUserInfo(nullptr, name, kInternetIdentityLevel, returned);
  const TNetBuffer buffer(accounts, returned);
  std::string principal;
  if (status != kNerrSuccess || !buffer) return principal;
  const TUserInfo24& info = *reinterpret_cast<const TUserInfo24*>(buffer.Get());
  if (info.InternetIdentity == 0 || !NarrowText(accounts, info.InternetPrincipalName, principal)) principal.clear();
  return principal;
}

// Appends the entries of one page; false (the reason in read.Status) when a
// name cannot be converted.
bool AddAccounts(TAccountApi& accounts, const TUserInfo2* entries, uint32_t count, TLocalAccounts& read) {
  for (uint32_t i = 0; i < count; ++i) {
    TLocalAccount account;
    if (!NarrowText(accounts, entries[i].Name, account.Name) ||
        !NarrowText(accounts, entries[i].FullName, account.FullName)) {
      read.Status = accounts.LastError();
      return false;
    }
    account.MicrosoftAccount = MicrosoftAccountOf(accounts, entries[i].Name);
    account.Privilege = static_cast<TLocalAccount::TPrivilege>(entries[i].Privilege);
    account.Disabled = (entries[i].Flags & kAccountDisabled) != 0;
    read.Accounts.push_back(account);
  }
  return true;
}

}  // namespace

namespace {
bool WriteLogonHours(int32_t debugLevel, TAccountApi& accounts, TLogSink& log, const std::string& user,
                     TLogonHours hours, bool block) {
  char16_t wideUser[kWideNameRoom] = {};
  bool updated = false;
  if (WideUserName(accounts, user, wideUser)) {
    TUserInfo1020 info{static_cast<uint32_t>(kHoursPerWeek), hours.data()};
    updated = accounts.SetUserInfo(nullptr, wideUser, kLogonHoursLevel, &info, nullptr) == kNerrSuccess;
  }

  if (!LevelAdmits(debugLevel, 2)) return updated;
  if (!updated)
    log.Log(kMsgSetUserFailed + user);
  else
    log.Log((block ? kMsgUserBlocked : kMsgUserUnblocked) + user);
  return updated;
}
}  // namespace

bool SetAccountLogonHours(int32_t debugLevel, TAccountApi& accounts, TLogSink& log, const std::string& user,
                          bool block) {
  TLogonHours hours;
  hours.fill(block ? 0x00 : 0xFF);
  return WriteLogonHours(debugLevel, accounts, log, user, hours, block);
}

bool SetAccountLogonHours(int32_t debugLevel, TAccountApi& accounts, TLogSink& log, const std::string& user,
                          const TLogonHours& hours) {
  return WriteLogonHours(debugLevel, accounts, log, user, hours, false);
}

bool ShutdownComputer(int32_t debugLevel, TAccountApi& accounts, TLogSink& log) {
  uintptr_t tokenHandle = 0;
  if (!accounts.OpenToken(accounts.CurrentProcess(), kTokenAdjustAndQuery, tokenHandle)) {
    if (LevelAdmits(debugLevel, 3)) log.Log(kMsgOpenOwnTokenFailed);
    return false;
  }
  const TKernelHandle token(accounts, tokenHandle);

  TOnePrivilege privilege{1, {0, 0}, kPrivilegeEnabled};
  bool enabled = accounts.LookupPrivilege(nullptr, kShutdownPrivilege, privilege.Luid);
  if (enabled) {
    // The result alone does not say whether the privilege was granted: only the
    // last error, read at once, does (ERROR_NOT_ALL_ASSIGNED). A failed call is
    // taken as failed even if it left the error at 0.
    const bool called = accounts.AdjustPrivileges(token.Get(), false, &privilege, 0, nullptr, nullptr);
    enabled = accounts.LastError() == 0 && called;
  }
  if (!enabled) {
    if (LevelAdmits(debugLevel, 3)) log.Log(kMsgAdjustPrivilegeFailed);
    return false;
  }

  if (LevelAdmits(debugLevel, 2)) log.Log(kMsgShuttingDown);
  // The power-off may end this process before the next tick: the lines of this
  // pass must be in the file first.
  log.FlushLog();
  // ExitWindowsEx's force does not hold where terminal services run (every
  // Windows 10 and 11): a program could still ask the user, who could cancel.
  uint32_t result = accounts.InitiateShutdown(nullptr, nullptr, 0, kPowerOffUncancellable, kReasonPlanned);
  // A shutdown someone scheduled far ahead (shutdown /s /t ...) stands in the
  // way until its grace is overridden.
  if (result == kErrorShutdownIsScheduled || result == kErrorShutdownInProgress)
    result = accounts.InitiateShutdown(nullptr, nullptr, 0, kPowerOffUncancellable | kGraceOverride, kReasonPlanned);
  // Where the system lacks the call (Wine), the forced power-off of old.
  if (result == kErrorCallNotImplemented)
    result = accounts.ExitSystem(kPowerOffForced, kReasonPlanned) ? 0 : accounts.LastError();
  // The next pass tries again while the user stays.
  if (result != 0 && LevelAdmits(debugLevel, 1)) log.Log(kMsgShutdownFailed + SystemErrorText(result));
  return result == 0;
}

TAccountInfo ReadAccount(TAccountApi& accounts, const std::string& user) {
  TAccountInfo account;
  char16_t wideUser[kWideNameRoom] = {};
  if (!WideUserName(accounts, user, wideUser)) {
    account.Status = kErrorInvalidName;
    return account;
  }
  uintptr_t returned = 0;
  account.Status = accounts.GetUserInfo(nullptr, wideUser, kUserInfoLevel, returned);
  const TNetBuffer buffer(accounts, returned);
  if (account.Status == kNerrUserNotFound) {
    account.Readable = true;
    return account;
  }
  if (account.Status != kNerrSuccess || !buffer) return account;
  account.Readable = true;
  account.Exists = true;
  const TUserInfo2& info = *reinterpret_cast<const TUserInfo2*>(buffer.Get());
  account.Locked = PermitsNoUnit(info);
  account.Administrator = info.Privilege == TLocalAccount::Administrator;
  return account;
}

TLocalAccounts ReadLocalAccounts(TAccountApi& accounts) {
  TLocalAccounts read;
  uint32_t resume = 0;
  for (;;) {
    uintptr_t returned = 0;
    uint32_t count = 0;
    uint32_t total = 0;
    const uint32_t status = accounts.EnumerateUsers(nullptr, kAccountListLevel, kFilterNormalAccount, returned,
                                                    kMaxPreferredLength, count, total, &resume);
    const TNetBuffer buffer(accounts, returned);
    if (!buffer) count = 0;
    // A page that promises more but brings nothing would never end the loop.
    if (status != kNerrSuccess && (status != kErrorMoreData || count == 0)) {
      read.Status = status;
      read.Accounts.clear();
      return read;
    }
    if (!AddAccounts(accounts, reinterpret_cast<const TUserInfo2*>(buffer.Get()), count, read)) {
      read.Accounts.clear();
      return read;
    }
    if (status == kNerrSuccess) return read;
  }
}
