#pragma once
// Account lock-out and power-off: the two ways the system acts on the computer.
// Run on the tick thread, inside the enforcement pass; neither keeps state.
// And the account reading of the administration tool, on its own thread.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "winsys/account_api.h"

// Windows' logon hours: bit n (byte n / 8, bit n % 8, least significant first)
// permits the n-th hour of the week from Sunday 00:00 UTC.
inline constexpr int kHoursPerWeek = 168;
using TLogonHours = std::array<uint8_t, kHoursPerWeek / 8>;

// Locks (block: no permitted logon hour) or unlocks (every hour permitted) the
// local account, writing its logon hours whatever they were. The outcome is
// logged (level 2) and returned: true when the account was updated. A name that does not fit 99 wide characters, or that holds a
// zero character, is a failed update: it is never cut to a prefix of itself.
bool SetAccountLogonHours(int32_t debugLevel, TAccountApi& accounts, TLogSink& log,
                          const std::string& user, bool block);
// Writes hours as the account's logon hours; logged as an unlock, which it is
// for the hour of now.
bool SetAccountLogonHours(int32_t debugLevel, TAccountApi& accounts, TLogSink& log,
                          const std::string& user, const TLogonHours& hours);

// Enables the shutdown privilege of the own process, flushes the log and
// switches the computer off with InitiateShutdownW, forcing every program to
// end (no one can cancel it), overriding the grace of a shutdown already
// scheduled; ExitWindowsEx's forced power-off where the system lacks the call.
// True when the system started it; false when the privilege could not be
// enabled (logged at level 3, nothing flushed or requested) or the request
// failed ("ERROR:Shutting down failed: " and the reason, level 1).
bool ShutdownComputer(int32_t debugLevel, TAccountApi& accounts, TLogSink& log);

// What the system says about a local account.
struct TAccountInfo {
  bool Readable = false;  // the system told whether the account exists
  bool Exists = false;    // a local account of that name exists
  bool Locked = false;    // it exists and its logon hours permit no unit of the week
  bool Administrator = false;  // it exists and has administrator privilege (USER_PRIV_ADMIN)
  uint32_t Status = 0;    // NetUserGetInfo's status (NERR_UserNotFound 2221 for a
                          // missing account); ERROR_INVALID_NAME (123) for a name
                          // that cannot be handed to it whole
};

// Reads the local account with NetUserGetInfo at level 2, the first level that
// carries the logon hours, and frees the buffer on every path. Logon hours the
// system leaves out (no units, no bytes) restrict nothing: not Locked. A name is
// converted as SetAccountLogonHours converts it, so both name the same account.
TAccountInfo ReadAccount(TAccountApi& accounts, const std::string& user);

// A local account as NetUserEnum lists it. Names are in the ANSI code page, as
// the configuration names accounts.
struct TLocalAccount {
  enum TPrivilege : uint32_t { Guest = 0, Standard = 1, Administrator = 2 };  // USER_PRIV_*
  std::string Name;      // what the configuration and net user name it by
  std::string FullName;  // what the sign-in screen shows of a local account; may be empty
  // The Microsoft account it signs in with (its e-mail address, which the
  // sign-in screen shows); empty for an account of this computer alone, and
  // where Windows does not say (before Windows 8).
  std::string MicrosoftAccount;
  TPrivilege Privilege = Guest;
  bool Disabled = false;
};

// The local accounts, all or none.
struct TLocalAccounts {
  uint32_t Status = 0;  // 0 when read whole; otherwise NetUserEnum's status, or
                        // WideCharToMultiByte's last error for a name it could
                        // not convert, and Accounts is empty
  std::vector<TLocalAccount> Accounts;
};

// Lists the local computer's ordinary accounts (FILTER_NORMAL_ACCOUNT) with
// NetUserEnum at level 2, in the order the system gives them, page by page
// while it answers ERROR_MORE_DATA, and asks NetUserGetInfo at level 24 for the
// Microsoft account of each (a refusal leaves it empty). Frees every buffer on
// every path.
TLocalAccounts ReadLocalAccounts(TAccountApi& accounts);
