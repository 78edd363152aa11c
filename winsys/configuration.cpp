#include "winsys/configuration.h"

#include <cstdint>
#include <string>
#include <utility>

#include "common/calendar.h"
#include "common/debug_level.h"
#include "diag/messages.h"
#include "winsys/registry.h"
#include "winsys/time_zones.h"

namespace {

// One load: the registry, where to read and how to log.
struct TLoad {
  TRegistryApi& Api;
  TRegistry& Registry;
  const TConfigLocation& Location;
  TLogSink& Log;
};

void ReadDebugLevel(TConfiguration& state, const TLoad& load) {
  TRegistry& registry = load.Registry;
  const std::string& mainKey = load.Location.MainKeyPath;
  if (registry.OpenForReading(mainKey) && registry.ValueExists(kDebugValue)) {
    state.DebugLevel = registry.ReadInteger(kDebugValue);
    registry.Close();
    return;
  }
  state.DebugLevel = 1;
  if (LevelAdmits(state.DebugLevel, 1)) load.Log.Log(kMsgNoDebugLevel + mainKey);
}

// WarnMinutes where present: out of range or of another type, no warnings.
void ReadWarnMinutes(TConfiguration& state, TRegistry& registry, TLogSink& log) {
  if (!registry.ValueExists(kWarnMinutesValue)) return;
  std::string shown;
  try {
    const int32_t minutes = registry.ReadInteger(kWarnMinutesValue);
    if (minutes >= 0 && minutes <= kMaxWarnMinutes) {
      state.WarnMinutes = minutes;
      return;
    }
    shown = std::to_string(minutes);
  } catch (const ERegistryException&) {
    shown = "not a REG_DWORD";
  }
  if (LevelAdmits(state.DebugLevel, 1)) log.Log(kMsgBadWarnMinutes + shown);
}

// TimeZone where present, with the zone's rules from the database in the same
// view; a name the database lacks leaves the computer's local time in force.
// An empty string fixes no zone, as if the value were absent.
void ReadFixedZone(TConfiguration& state, TRegistry& registry, const TLoad& load) {
  if (!registry.ValueExists(kTimeZoneValue)) return;
  bool isString = true;
  try {
    state.TimeZoneName = registry.ReadString(kTimeZoneValue);
  } catch (const ERegistryException&) {
    state.TimeZoneName = "(not a REG_SZ)";
    isString = false;
  }
  if (state.TimeZoneName.empty()) return;
  TTimeZone zone;
  if (isString && ReadTimeZone(load.Api, static_cast<uint32_t>(load.Location.View), state.TimeZoneName, zone)) {
    state.FixedZone = std::move(zone);
  } else if (LevelAdmits(state.DebugLevel, 1)) {
    load.Log.Log(kMsgUnknownTimeZone + state.TimeZoneName);
  }
}

// EndAction where present: "lock", "signout" or "poweroff" in any letter case;
// any other value, or one of another type, keeps the power-off and is logged.
void ReadEndAction(TConfiguration& state, TRegistry& registry, TLogSink& log) {
  if (!registry.ValueExists(kEndActionValue)) return;
  std::string text;
  try {
    text = registry.ReadString(kEndActionValue);
  } catch (const ERegistryException&) {
    text = "(not a REG_SZ)";
  }
  if (AsciiSameText(text, kEndActionSignOut)) {
    state.EndAction = TEndAction::SignOut;
  } else if (AsciiSameText(text, kEndActionLock)) {
    state.EndAction = TEndAction::Lock;
  } else if (!AsciiSameText(text, kEndActionPowerOff) && LevelAdmits(state.DebugLevel, 1)) {
    log.Log(kMsgBadEndAction + text);
  }
}

// A switch of the main key where present (LogonHoursBackstop, KeepUsage): 1
// turns it on, 0 leaves it off; any other value, or one of another type, leaves
// it off and is logged with complaint.
void ReadSwitch(const TConfiguration& state, TRegistry& registry, TLogSink& log, const char* name, bool& on,
                const char* complaint) {
  if (!registry.ValueExists(name)) return;
  std::string shown;
  try {
    const int32_t value = registry.ReadInteger(name);
    if (value == 0 || value == 1) {
      on = value == 1;
      return;
    }
    shown = std::to_string(value);
  } catch (const ERegistryException&) {
    shown = "not a REG_DWORD";
  }
  if (LevelAdmits(state.DebugLevel, 1)) log.Log(complaint + shown);
}

// AllowUntil of the user whose key is open; unreadable, it is logged and ignored.
TExtraTime ReadExtraTime(const TConfiguration& state, TRegistry& registry, TLogSink& log, const std::string& user) {
  TExtraTime extra;
  if (!registry.ValueExists(kAllowUntilValue)) return extra;
  try {
    extra.Text = registry.ReadString(kAllowUntilValue);
  } catch (const ERegistryException&) {
    extra.Text = "(not a REG_SZ)";
  }
  if (!ParseMinuteStamp(extra.Text, extra.Until)) {
    extra.Until = 0;
    if (LevelAdmits(state.DebugLevel, 1)) log.Log(kMsgBadExtraTime + user + kMsgBadExtraTimeValue + extra.Text);
  }
  return extra;
}

// Budget1 .. Budget7 of the user whose key is open; a value out of range or of
// another type is logged and leaves that day without a budget.
// One budget value of the user's key where present: minutes from 0 to most,
// or (absent, unusable) kNoBudget, an unusable one logged with complaint.
int32_t ReadBudget(const TConfiguration& state, TRegistry& registry, TLogSink& log, const std::string& user,
                   const std::string& name, int32_t most, const char* complaint) {
  if (!registry.ValueExists(name)) return kNoBudget;
  std::string shown;
  try {
    const int32_t minutes = registry.ReadInteger(name);
    if (minutes >= 0 && minutes <= most) return minutes;
    shown = std::to_string(minutes);
  } catch (const ERegistryException&) {
    shown = "(not a REG_DWORD)";
  }
  if (LevelAdmits(state.DebugLevel, 1)) log.Log(complaint + user + " " + name + "=" + shown);
  return kNoBudget;
}

void ReadBudgets(const TConfiguration& state, TRegistry& registry, TLogSink& log, const std::string& user,
                 TUserExtras& extras) {
  for (size_t day = 0; day < extras.Budget.size(); ++day)
    extras.Budget[day] = ReadBudget(state, registry, log, user, kBudgetValuePrefix + std::to_string(day + 1),
                                    kMaxBudgetMinutes, kMsgBadBudget);
  extras.WeekBudget =
      ReadBudget(state, registry, log, user, kBudgetWeekValue, kMaxWeekBudgetMinutes, kMsgBadWeekBudget);
}

void ReadAppPath(TConfiguration& state, const TLoad& load, TLeadByteTest isLeadByte) {
  TRegistry& registry = load.Registry;
  const std::string& mainKey = load.Location.MainKeyPath;
  const bool opened = registry.OpenForReading(mainKey);
  if (opened && registry.ValueExists(kPathValue)) {
    std::string path = registry.ReadString(kPathValue);
    if (!EndsWithBackslash(path, isLeadByte)) path += '\\';
    state.AppPath = std::move(path);
  } else {
    state.AppPath.clear();
    if (LevelAdmits(state.DebugLevel, 1)) load.Log.Log(kMsgNoApplicationPath + mainKey);
  }
  // The optional values live beside Path, in the key already open.
  if (!opened) return;
  ReadWarnMinutes(state, registry, load.Log);
  ReadFixedZone(state, registry, load);
  ReadEndAction(state, registry, load.Log);
  ReadSwitch(state, registry, load.Log, kLogonHoursBackstopValue, state.LogonHoursBackstop, kMsgBadBackstop);
  ReadSwitch(state, registry, load.Log, kKeepUsageValue, state.KeepUsage, kMsgBadKeepUsage);
  registry.Close();
}

TStringList ReadDayRules(const TConfiguration& state, TRegistry& registry, TLogSink& log) {
  TStringList rules;
  // No upper bound: Time8, Time9, ... are stored as long as they follow without a gap.
  for (uint64_t n = 1;; ++n) {
    const std::string name = kTimeValuePrefix + std::to_string(n);
    if (!registry.ValueExists(name)) break;
    std::string rule = registry.ReadString(name);
    if (LevelAdmits(state.DebugLevel, 2)) log.Log(kMsgTimeValue + std::to_string(n) + kMsgTimeValueSeparator + rule);
    rules.Add(std::move(rule));
  }
  return rules;
}

void ReadRestrictedUsers(TConfiguration& state, const TLoad& load) {
  TRegistry& registry = load.Registry;
  const std::string restrictionsKey = load.Location.RestrictionsKeyPath();
  if (!registry.OpenForReading(restrictionsKey)) {
    if (LevelAdmits(state.DebugLevel, 2)) load.Log.Log(kMsgNoRestrictedUsers);
    return;
  }
  registry.ListSubkeyNames(state.RestrictedUsers);
  registry.Close();

  for (int i = 0; i < state.RestrictedUsers.Count(); ++i) {
    const std::string user = state.RestrictedUsers[i];
    if (LevelAdmits(state.DebugLevel, 2)) load.Log.Log(kMsgReadingTimes + user);
    // A user whose key cannot be opened keeps an empty rule list, so that
    // position i of UserRules still belongs to position i of RestrictedUsers.
    const bool opened = registry.OpenForReading(restrictionsKey + user);
    state.UserRules.push_back(opened ? ReadDayRules(state, registry, load.Log) : TStringList());
    TUserExtras extras;
    if (opened) {
      extras.ExtraTime = ReadExtraTime(state, registry, load.Log, user);
      ReadBudgets(state, registry, load.Log, user, extras);
    }
    state.UserExtras.push_back(std::move(extras));
    registry.Close();
  }
}
}  // namespace

bool LoadConfiguration(TConfiguration& state, TRegistryApi& api, const TConfigLocation& location, TLogSink& log,
                       TLeadByteTest isLeadByte) {
  TRegistry registry(api, location.RootKey, static_cast<uint32_t>(location.View));
  const TLoad load{api, registry, location, log};
  ClearConfiguration(state);
  state.WarnMinutes = 0;
  state.EndAction = TEndAction::PowerOff;
  state.LogonHoursBackstop = false;
  state.KeepUsage = false;
  state.TimeZoneName.clear();
  state.FixedZone.reset();
  // Without the main key the level and the folder stay as they were.
  if (registry.KeyExists(location.MainKeyPath)) {
    ReadDebugLevel(state, load);
    ReadAppPath(state, load, isLeadByte);
  }
  if (registry.KeyExists(location.RestrictionsKeyPath())) ReadRestrictedUsers(state, load);
  registry.Close();
  return true;
}

std::vector<std::string> ConfiguredUserNames(TRegistryApi& api, const TConfigLocation& location) {
  TRegistry registry(api, location.RootKey, static_cast<uint32_t>(location.View));
  TStringList users;
  if (registry.OpenForReading(location.RestrictionsKeyPath())) registry.ListSubkeyNames(users);
  registry.Close();
  return users.Items();
}

void ClearConfiguration(TConfiguration& state) {
  state.RestrictedUsers.Clear();
  state.UserRules.clear();
  state.UserExtras.clear();
}
