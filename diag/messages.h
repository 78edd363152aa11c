#pragma once
// Every message the system writes to its diagnostic log, with the level at which
// it is written. Texts are part of the log format: blanks and punctuation matter.
// A value, where there is one, is appended directly to the text.

// Level 3: service lifecycle.
inline constexpr char kMsgServiceStarted[] = "Service started";
inline constexpr char kMsgServiceStopped[] = "Service stopped";
inline constexpr char kMsgServiceShutdown[] = "Service shutdown";
inline constexpr char kMsgServiceDestroyed[] = "Service destroyed";

// Enforcement pass: level 2 + user name; level 1.
inline constexpr char kMsgFoundRestrictedUser[] = "FILTER: found user with time restrictions:";
inline constexpr char kMsgUserLoggedIn[] = "FILTER: User logged in, invoking shutdown";

// Rule evaluation, level 3: "Checking user:" + user, then the trace line
// kMsgTimeCheckDay + day + kMsgTimeCheckPosition + slot + kMsgTimeCheckChar +
// character + kMsgTimeCheckRule + rule.
inline constexpr char kMsgCheckingUser[] = "Checking user:";
inline constexpr char kMsgTimeCheckDay[] = "Time control check: day=";
inline constexpr char kMsgTimeCheckPosition[] = " position[";
inline constexpr char kMsgTimeCheckChar[] = "]=";
inline constexpr char kMsgTimeCheckRule[] = " rule=";
// Level 2: a rule that cannot answer for the current half hour, missing or too
// short (user, day and slot follow).
inline constexpr char kMsgNoUsableRule[] = "ERROR:No usable time rule for user:";

// Configuration. The main key path is appended to the first two.
inline constexpr char kMsgNoDebugLevel[] = "ERROR:Unable to read debug level from ";       // always
inline constexpr char kMsgNoApplicationPath[] = "ERROR:Unable to read application path from ";  // 1
inline constexpr char kMsgReadingTimes[] = "Reading times for user: ";                     // 2
inline constexpr char kMsgTimeValue[] = "Time ";              // 2: "Time " + n + " : " + rule
inline constexpr char kMsgTimeValueSeparator[] = " : ";
inline constexpr char kMsgNoRestrictedUsers[] = "ERROR:Not possible to read restricted users ";  // 2

// Session detection: level 4, the last one level 2.
inline constexpr char kMsgOpenProcessFailed[] = "ERROR:Not possible to open process";
inline constexpr char kMsgProcessModulesFailed[] = "ERROR:Not possible to read process modules";
inline constexpr char kMsgOpenTokenFailed[] = "ERROR:Not possible to open token";
inline constexpr char kMsgTokenUserFailed[] = "ERROR:Not possible to read user account structure from token";
inline constexpr char kMsgAccountNameFailed[] = "ERROR:Not possible to get account name";

// Account lock-out (level 2, + user name) and power-off.
inline constexpr char kMsgUserBlocked[] = "User account successfully blocked: ";
inline constexpr char kMsgUserUnblocked[] = "User account successfully unblocked: ";
inline constexpr char kMsgSetUserFailed[] = "ERROR: Not possible to set user settings ";
inline constexpr char kMsgOpenOwnTokenFailed[] = "Unable to open process for shutdown";        // 3
inline constexpr char kMsgAdjustPrivilegeFailed[] = "Unable to adjust token privilege for shutdown";  // 3
inline constexpr char kMsgShuttingDown[] = "Shutting down computer";                         // 2
// 1: + the system's reason.
inline constexpr char kMsgShutdownFailed[] = "ERROR:Shutting down failed: ";
// 1, once per process: + the milliseconds + kMsgSlowProcessId + the process id,
// a blank and the path of its program.
inline constexpr char kMsgSlowProcess[] = "WARNING:A process took too long to examine and is not examined again: ";
inline constexpr char kMsgSlowProcessId[] = " ms, id ";
// A warning (1 and a warning event), once per start: + the milliseconds + kMsgSlowTickEnd.
inline constexpr char kMsgSlowTick[] = "One tick of the service took ";
inline constexpr char kMsgSlowTickEnd[] =
    " ms, longer than the 2 s between ticks: the computer is very busy, or a process slows the service down";

// Always, as the first buffered line once the buffer has reached its cap (the
// log file could not be written for that long): + the number of older lines
// dropped since the buffer was last written.
inline constexpr char kMsgLogLinesDropped[] = "ERROR:Log buffer full, older lines dropped: ";

// Level 1: a trim that could not run, and why (+ the file concerned).
inline constexpr char kMsgTrimRefusedLink[] = "ERROR:Log file not trimmed, it is a link or has more than one name: ";
inline constexpr char kMsgTrimNoNewFile[] = "ERROR:Log file not trimmed, the new file could not be created: ";
inline constexpr char kMsgTrimCopyFailed[] =
    "ERROR:Log file not trimmed, reading the log or writing the new file failed: ";
inline constexpr char kMsgTrimNotReplaced[] = "ERROR:Log file not trimmed, the new file could not take its place: ";

// Level 1 at start, each also a warning event without the prefix.
inline constexpr char kMsgWarning[] = "WARNING:";
inline constexpr char kMsgWow64Service[] =
    "This 32-bit service runs on 64-bit Windows and cannot see 64-bit programs, so a restricted user running "
    "them is never switched off: install the 64-bit nortavel_free_service.exe instead";
// + the folder + the advice.
inline constexpr char kMsgOpenLogFolder[] =
    "Users other than SYSTEM and Administrators may create or delete files in the log folder ";
inline constexpr char kMsgOpenLogFolderAdvice[] =
    ": a restricted user could tamper with the log there; allow only SYSTEM and Administrators to change it";

// A warning event, once per start: + the log's path + the advice.
inline constexpr char kMsgRefusedLinkPrefix[] = "The log file ";
inline constexpr char kMsgRefusedLinkAdvice[] =
    " is a link or has more than one name, so the service does not write to it: delete it and the service "
    "creates a new log";

// Warnings, extra time and a fixed time zone: lines only where their values are set.
inline constexpr char kMsgBadWarnMinutes[] =
    "ERROR:WarnMinutes must be a number from 0 to 60 (REG_DWORD), no warnings are sent: ";  // 1, + the value
inline constexpr char kMsgUnknownTimeZone[] =
    "ERROR:Unknown time zone in TimeZone, the computer's local time is used: ";  // 1, + the name
// 1: + user + kMsgBadExtraTimeValue + the value.
inline constexpr char kMsgBadExtraTime[] = "ERROR:Extra time ignored, AllowUntil is not YYYY-MM-DD HH:MM for user: ";
inline constexpr char kMsgBadExtraTimeValue[] = " AllowUntil=";
inline constexpr char kMsgExtraTime[] = "Extra time for user: ";  // 2: + user + kMsgExtraTimeUntil + the value
inline constexpr char kMsgExtraTimeUntil[] = " until ";
inline constexpr char kMsgWarningSent[] = "Warning sent to user: ";  // 2, + user
// 1: + user + ": " + the system's text.
inline constexpr char kMsgWarningNotSent[] = "ERROR:Warning could not be shown to user: ";
// 1, once per change: + the computer's zone + kMsgZoneDiffersFixed + the fixed zone.
inline constexpr char kMsgZoneDiffers[] = "WARNING:The computer's time zone is ";
inline constexpr char kMsgZoneDiffersFixed[] = ", the restrictions keep to the time zone ";

// The message shown in the user's sessions before the power-off: the text is
// kMsgTimeEndsPrefix + HH:MM + kMsgTimeEndsSuffix.
inline constexpr char kMsgWarningCaption[] = "Nortavel free";
inline constexpr char kMsgTimeEndsPrefix[] = "Your computer time ends at ";
inline constexpr char kMsgTimeEndsSuffix[] = ". The computer will be switched off then: please save your work.";
// The same in sign-out mode.
inline constexpr char kMsgTimeEndsSignOutSuffix[] = ". You will be signed out then: please save your work.";
inline constexpr char kMsgTimeEndsLockSuffix[] = ". Your session will be locked then: your programs stay open.";

// Sign-out instead of power-off (EndAction "signout").
inline constexpr char kMsgSigningOut[] = "Signing out user: ";                     // 2, + user
inline constexpr char kMsgSignOutFailed[] = "ERROR:Signing out failed for user: ";  // 1, + user
inline constexpr char kMsgLockingSession[] = "Locking the session of user: ";         // 2, + user
inline constexpr char kMsgLockFailed[] = "ERROR:Locking the session failed for user: ";  // 1, + user
// 1, once until they can be told again.
inline constexpr char kMsgLockStateUnknown[] =
    "WARNING:Whether sessions are locked cannot be told, so time counts while the user has programs running (or "
    "a session)";
// 1, per reload: + the value.
inline constexpr char kMsgBadEndAction[] =
    "ERROR:EndAction must be lock, signout or poweroff, the computer is switched off when time ends: ";
// Warning events of /UNINSTALL: + the users, or + the error's message; then the advice.
inline constexpr char kMsgUsersNotUnlocked[] = "These users could not be given all logon hours back and may stay locked: ";
inline constexpr char kMsgUsersNotRead[] =
    "The restricted users could not be read, so none was given the logon hours back: ";
inline constexpr char kMsgUnlockAdvice[] = ". Run nortavelctl unlock --all as an administrator.";
// 1, per reload: + the value.
inline constexpr char kMsgBadBackstop[] =
    "ERROR:LogonHoursBackstop must be 0 or 1 (REG_DWORD), Windows' logon hours are not kept: ";
inline constexpr char kMsgBadKeepUsage[] =
    "ERROR:KeepUsage must be 0 or 1 (REG_DWORD), use is kept only for users with a daily budget: ";

// The daily budget (BudgetN of a user's key). 1, per reload: + user + " " +
// the value's name + "=" + the value.
inline constexpr char kMsgBadBudget[] =
    "ERROR:Daily budget ignored, it must be minutes from 0 to 1440 (REG_DWORD) for user: ";
inline constexpr char kMsgBudgetUsedUp[] = "Daily time used up for user: ";  // 2, once per user and day: + user
// BudgetWeek, likewise.
inline constexpr char kMsgBadWeekBudget[] =
    "ERROR:Weekly budget ignored, it must be minutes from 0 to 10080 (REG_DWORD) for user: ";
inline constexpr char kMsgWeekBudgetUsedUp[] = "Weekly time used up for user: ";  // 2, once per user and week: + user
// 1 and a warning event, once until the clock passes the service's time again:
// + the service's time + kMsgClockSetBackTo + the clock's, both "YYYY-MM-DD
// HH:MM:SS UTC".
inline constexpr char kMsgClockSetBack[] = "The clock was set back from ";
inline constexpr char kMsgClockSetBackTo[] = " to ";
// The usage file (kUsageFileName). 1: + the count + kMsgUsageDamagedFirst + the
// first damaged line's number + ": " + the path.
inline constexpr char kMsgUsageDamaged[] = "ERROR:Damaged lines of the usage file skipped: ";
inline constexpr char kMsgUsageDamagedFirst[] = ", the first is line ";
// 1: + the count + kMsgUsageDamagedFirst + the first such line's number + ": " + the path.
inline constexpr char kMsgUsageFuture[] =
    "ERROR:Lines of the usage file dated after the latest day the service recorded were ignored: ";
// 1, once until a read or write succeeds again: + the path.
inline constexpr char kMsgUsageNotRead[] =
    "ERROR:The usage file could not be read, the service keeps counting and reads it again at the next tick: ";
inline constexpr char kMsgUsageNotWritten[] = "ERROR:The usage file could not be written: ";
// 1, once until it succeeds: + the folder.
inline constexpr char kMsgUsageFolderRefused[] =
    "ERROR:The usage file's folder is a link or cannot be made private, so no use is kept: ";
// A warning (1 and a warning event): + the path + kMsgUsageSetAsideAs + the new path.
inline constexpr char kMsgUsageSetAside[] = "The usage file was not a plain file and was set aside: ";
inline constexpr char kMsgUsageSetAsideAs[] = " is now ";

// Asking for more time. 2: + user + " " + minutes + " min".
inline constexpr char kMsgTimeRequested[] = "Extra time requested by user: ";
// 2: + user + kMsgExtraTimeUntil + the end, "YYYY-MM-DD HH:MM".
inline constexpr char kMsgRequestApproved[] = "Extra time approved for user: ";
inline constexpr char kMsgRequestDenied[] = "Extra time denied for user: ";  // 2, + user
// 1 and a warning event.
inline constexpr char kMsgPinClosed[] =
    "Five wrong PINs in a row: PIN entry is closed for 15 minutes for every user";
// 1 and an error event, at the start: + the system's reason.
inline constexpr char kMsgPipeNotMade[] =
    "ERROR:The service's pipe could not be made, so nobody can ask for more time: ";
