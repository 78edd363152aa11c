#pragma once
// Account lock-out and power-off: the two ways the system acts on the computer.
// Run on the tick thread, inside the enforcement pass; neither keeps state.
// And the account reading of the administration tool, on its own thread.

#include <array>
#include <cstdint>
#include <string>

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

// Enables the shutdown privilege of the own process, flushes the log and requests
// a forced power-off. True when the system accepted the request; false when the
// privilege could not be enabled (logged at level 3, nothing flushed or
// requested) or the request was refused (not logged).
bool ShutdownComputer(int32_t debugLevel, TAccountApi& accounts, TLogSink& log);

// What the system says about a local account.
struct TAccountInfo {
  bool Readable = false;  // the system told whether the account exists
  bool Exists = false;    // a local account of that name exists
  bool Locked = false;    // it exists and its logon hours permit no unit of the week
  uint32_t Status = 0;    // NetUserGetInfo's status (NERR_UserNotFound 2221 for a
                          // missing account); ERROR_INVALID_NAME (123) for a name
                          // that cannot be handed to it whole
};

// Reads the local account with NetUserGetInfo at level 2, the first level that
// carries the logon hours, and frees the buffer on every path. Logon hours the
// system leaves out (no units, no bytes) restrict nothing: not Locked. A name is
// converted as SetAccountLogonHours converts it, so both name the same account.
TAccountInfo ReadAccount(TAccountApi& accounts, const std::string& user);
