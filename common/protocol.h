#pragma once
// What the service and every program of the product must agree on, each said
// once: the service's name and control code, its periods, where the
// configuration lives and the names of its values. A program that sends the
// service a request, reads its configuration or judges its rules includes this.

#include <cstddef>
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

// Asking for more time: the service's local pipe, one request per message (at
// most kMaxRequestBytes, UTF-8), one answer line starting "OK" or "ERR". The
// service learns who asks from the pipe itself, never from the message.
inline constexpr char kPipeName[] = "\\\\.\\pipe\\NortavelFree";
inline constexpr size_t kMaxRequestBytes = 512;
inline constexpr char kRequestAsk[] = "ASK";      // ASK <minutes>: the caller asks for more time today
inline constexpr char kRequestPin[] = "PIN";      // PIN <pin>: a parent at the caller's screen approves
inline constexpr char kRequestState[] = "STATE";  // the caller's request, time left and announced end
// For administrators only (the tool): APPROVE <user> [<minutes>], DENY <user>.
inline constexpr char kRequestApprove[] = "APPROVE";
inline constexpr char kRequestDeny[] = "DENY";
inline constexpr char kAnswerOk[] = "OK";
inline constexpr char kAnswerError[] = "ERR";
// What a child may ask for, and how often a day.
inline constexpr int32_t kAskMinutes[] = {15, 30, 60, 120};
inline constexpr int kMostAsksPerDay = 6;
// The most extra time one grant or approval gives.
inline constexpr int32_t kMostExtraMinutes = 24 * 60;
// Wrong PINs in a row before PIN entry is closed for everybody, and for how long.
inline constexpr int kPinTries = 5;
inline constexpr int64_t kPinLockSeconds = 15 * 60;
// The parent's PIN: 4 to 12 digits, kept as a salted PBKDF2-HMAC-SHA256 hash in
// a key of the main key that only SYSTEM and the Administrators can read.
inline constexpr char kParentKeyName[] = "Parent";
inline constexpr char kPinHashValue[] = "PinHash";
inline constexpr size_t kShortestPin = 4;
inline constexpr size_t kLongestPin = 12;
// An event the service makes and every clock waits on; the package sets it
// before it removes the files, so that no clock keeps its file in use.
inline constexpr char kClockGoodbyeEvent[] = "Global\\NortavelFreeClockGoodbye";
// In the service's folder beside its record: the open requests and the answers.
inline constexpr char kRequestsFileName[] = "requests.txt";
