#pragma once
// What the service and every program of the product must agree on, each said
// once: the service's name and control code, its periods, where the
// configuration lives and the names of its values. A program that sends the
// service a request, reads its configuration or judges its rules includes this.

#include <cstdint>

// The service as the control manager knows it.
inline constexpr char kServiceName[] = "NortavelFree";
inline constexpr char kServiceDisplayName[] = "Nortavel free";

// The user-defined control that asks the running service to reload the
// configuration at its next tick; the administration tool sends it after a change.
inline constexpr uint32_t kControlReloadConfiguration = 128;
// The service's access list (SDDL), set at install by the service itself and
// by the package: SYSTEM and the Administrators as Windows gives them; the
// interactive and service accounts may query and interrogate it, but not send
// it controls (CR, SERVICE_USER_DEFINED_CONTROL), which Windows' own list lets
// them: a child could otherwise have it reload and log every few seconds.
inline constexpr char kServiceAccess[] =
    "D:(A;;CCLCSWRPWPDTLOCRRC;;;SY)(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;BA)(A;;CCLCSWLORC;;;IU)(A;;CCLCSWLORC;;;SU)";

// The service's schedule: a tick every 2 s, the enforcement pass on every tenth
// tick (20 s), a configuration reload on every sixtieth (120 s). Up to
// kReloadBurst requested reloads act at the next tick; beyond those, one more
// every kRequestedReloadGapTicks (10 s).
inline constexpr uint32_t kTickPeriodMs = 2000;
inline constexpr int kPassEveryTicks = 10;
inline constexpr int kReloadEveryTicks = 60;
inline constexpr int kReloadBurst = 3;
inline constexpr int kRequestedReloadGapTicks = 5;
inline constexpr uint32_t kPassPeriodMs = kTickPeriodMs * kPassEveryTicks;

// The configuration: below HKEY_LOCAL_MACHINE, the main key (leading and
// trailing backslash) holds the service-wide values and the subkey of the
// restrictions, which holds one subkey per restricted user.
inline constexpr char kMainKeyPath[] = "\\SOFTWARE\\Vrem\\NortavelFree\\";
inline constexpr char kRestrictionsKeyName[] = "Time_restrictions";

// The main key's values.
inline constexpr char kDebugValue[] = "Debug";
inline constexpr char kPathValue[] = "Path";
// A user's day rules: Time1 (Monday) .. Time7 (Sunday).
inline constexpr char kTimeValuePrefix[] = "Time";
// Optional values beyond those: absent, the service does without them.
inline constexpr char kWarnMinutesValue[] = "WarnMinutes";  // main key, REG_DWORD 0..60
inline constexpr char kTimeZoneValue[] = "TimeZone";        // main key, REG_SZ: a zone's key name
inline constexpr char kAllowUntilValue[] = "AllowUntil";    // user's key, REG_SZ "YYYY-MM-DD HH:MM"
inline constexpr char kEndActionValue[] = "EndAction";      // main key, REG_SZ: one of the three below
inline constexpr char kEndActionLock[] = "lock";
inline constexpr char kEndActionSignOut[] = "signout";
inline constexpr char kEndActionPowerOff[] = "poweroff";
inline constexpr char kLogonHoursBackstopValue[] = "LogonHoursBackstop";  // main key, REG_DWORD 0 or 1
inline constexpr int32_t kMaxWarnMinutes = 60;
// A user's daily budget: Budget1 (Monday) .. Budget7 (Sunday), REG_DWORD minutes.
inline constexpr char kBudgetValuePrefix[] = "Budget";
inline constexpr int32_t kMaxBudgetMinutes = 24 * 60;
// A user's weekly budget, Monday 00:00 to Sunday 24:00: REG_DWORD minutes.
inline constexpr char kBudgetWeekValue[] = "BudgetWeek";
inline constexpr int32_t kMaxWeekBudgetMinutes = 7 * 24 * 60;

// The time each restricted user spent at the computer, per day. The service
// keeps its record in a folder of the data folder (C:\ProgramData\NortavelFree)
// that only SYSTEM and the Administrators may read, so that nobody can hold the
// file open against its saves, with a spare copy for a save that cannot replace
// the record; and it leaves a copy in the data folder for everyone to read.
inline constexpr char kDataFolderName[] = "NortavelFree";
inline constexpr char kRecordFolderName[] = "service";
inline constexpr char kUsageFileName[] = "usage.csv";
inline constexpr char kUsageSpareName[] = "usage-spare.csv";
// In the same folder, with warnings: the end the service announced to each user.
inline constexpr char kAnnouncedEndsName[] = "announced-ends.txt";
inline constexpr int kUsageKeptDays = 90;
// Main key, REG_DWORD 1: count and keep every restricted user's use, also of
// users without a budget (who have it counted anyway).
inline constexpr char kKeepUsageValue[] = "KeepUsage";
