#pragma once
// The restriction configuration and where it lives in the registry.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "common/protocol.h"
#include "common/registry_api.h"
#include "common/string_list.h"
#include "common/text.h"
#include "common/time_zone.h"


// A user's extra time: allowed until then, in the time the rules use.
struct TExtraTime {
  std::string Text;   // as stored
  int64_t Until = 0;  // seconds (common/calendar.h); 0: none
};

// What a restricted user's key holds beyond the day rules. Each addition is a
// field here, so a user's data stays in one record however many there are.
inline constexpr int32_t kNoBudget = -1;

struct TUserExtras {
  TExtraTime ExtraTime;
  // Budget1 .. Budget7 (Monday first): the most minutes of use that day, 0 to
  // kMaxBudgetMinutes; kNoBudget where the value is absent or unusable.
  std::array<int32_t, 7> Budget{kNoBudget, kNoBudget, kNoBudget, kNoBudget, kNoBudget, kNoBudget, kNoBudget};
  // BudgetWeek: the most minutes of use from Monday 00:00 to Sunday 24:00, 0 to
  // kMaxWeekBudgetMinutes; kNoBudget where absent or unusable.
  int32_t WeekBudget = kNoBudget;

  bool HasBudget() const {
    if (WeekBudget != kNoBudget) return true;
    for (const int32_t minutes : Budget)
      if (minutes != kNoBudget) return true;
    return false;
  }
};

// What the service does where the design powers the computer off: that, or
// signs the user out, or disconnects (locks) their sessions, programs kept open.
enum class TEndAction { PowerOff, SignOut, Lock };

// What one load of the registry gives the service.
struct TConfiguration {
  int32_t DebugLevel = 2;              // log level; see LevelAdmits
  std::string AppPath;                 // log folder: empty or ending in a backslash
  TStringList RestrictedUsers;         // configured user names, in registry order
  std::vector<TStringList> UserRules;  // per restricted user, its day rules (Time1 first)
  std::vector<TUserExtras> UserExtras; // per restricted user, parallel to UserRules
  int32_t WarnMinutes = 0;             // warn this long before the power-off; 0: never
  std::string TimeZoneName;            // TimeZone as stored; empty: the computer's local time
  std::optional<TTimeZone> FixedZone;  // the zone TimeZone names, when the database has it
  TEndAction EndAction = TEndAction::PowerOff;  // EndAction; absent or unusable: the power-off
  // LogonHoursBackstop: an allowed user's account keeps Windows' logon hours of
  // their week instead of every hour, so that Windows refuses a logon at a
  // restricted hour while the service does not run (Safe Mode, stopped).
  bool LogonHoursBackstop = false;
  // KeepUsage: every restricted user's use is counted and kept, for the report.
  bool KeepUsage = false;

  // Whether the service counts and keeps use: for a user's budget, or because
  // KeepUsage asks for it. Without either it keeps no record at all.
  bool KeepsUsage() const {
    if (KeepUsage) return true;
    for (const TUserExtras& extras : UserExtras)
      if (extras.HasBudget()) return true;
    return false;
  }
};

// Which registry view a reader or writer uses. Own adds no KEY_WOW64_* flag, so a
// process sees the view of its own bitness, as the service does.
enum class TRegistryView : uint32_t { Own = 0, View64 = 0x0100, View32 = 0x0200 };

// Where a configuration lives: a root key and the main key's path below it
// (leading and trailing backslash), in one view. The restrictions are the
// subkey kRestrictionsKeyName of the main key.
struct TConfigLocation {
  uintptr_t RootKey = TRegistryApi::kLocalMachine;
  std::string MainKeyPath = kMainKeyPath;
  TRegistryView View = TRegistryView::Own;

  std::string RestrictionsKeyPath() const { return MainKeyPath + kRestrictionsKeyName + "\\"; }
};

// Replaces the level, folder, users and rules of config with what the registry
// holds at location, logging as it reads at the level just read. WarnMinutes,
// TimeZone, EndAction, LogonHoursBackstop, KeepUsage, AllowUntil and BudgetN are read where present: a value out of range, of
// another type or naming no zone is logged at level 1 and left off. Always returns
// true; raises ERegistryException for a value of the wrong type. isLeadByte
// tells a backslash that ends the folder from the second byte of a double-byte
// character.
//
// After such an error every key is closed and config stays as far as it got:
// from Debug, level and folder are unchanged and there are no users; from Path,
// the level is the new one, the folder the old one, and there are no users; from
// Time<n> of user i, RestrictedUsers holds every user and UserRules the rule
// lists of users 0 to i - 1 (a prefix, so positions still match).
bool LoadConfiguration(TConfiguration& config, TRegistryApi& registry, const TConfigLocation& location,
                       TLogSink& log, TLeadByteTest isLeadByte = &PlatformIsLeadByte);

// The names of the restricted users' keys at location, in registry order,
// whatever their values hold; none when the restrictions key is missing.
std::vector<std::string> ConfiguredUserNames(TRegistryApi& registry, const TConfigLocation& location);

// Empties RestrictedUsers, UserRules and UserExtras.
void ClearConfiguration(TConfiguration& config);
