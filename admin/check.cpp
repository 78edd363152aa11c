#include "admin/check.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "admin/admin_errors.h"
#include "admin/usage_record.h"
#include "common/calendar.h"
#include "common/little_endian.h"
#include "common/string_list.h"
#include "common/system_error.h"
#include "common/text.h"
#include "engine/week.h"
#include "winsys/accounts.h"
#include "winsys/registry.h"
#include "winsys/time_zones.h"

namespace {
// Windows Installer's entries of the installed products, one key per product
// code, and the name the package gives its product.
constexpr char kUninstallKeyPath[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kProductName[] = "Nortavel free";

std::string InstalledPackageCode(const TAdmin& admin);

class TFindings {
 public:
  explicit TFindings(const TAdmin& admin) : Admin(admin) {}
  void Error(const std::string& text, const std::string& plain) { Found.push_back({true, text, plain}); }
  void Warning(const std::string& text, const std::string& plain) { Found.push_back({false, text, plain}); }
  // The installed package's product code: the products' keys are walked once,
  // and only when a finding's remedy depends on it.
  const std::string& PackageCode() {
    if (!Code) Code = InstalledPackageCode(Admin);
    return *Code;
  }
  std::vector<TFinding> Found;

 private:
  const TAdmin& Admin;
  std::optional<std::string> Code;
};

std::string ReinstallTextFor(const std::string& packageCode) {
  return packageCode.empty() ? "reinstall it with nortavel_free_service.exe /UNINSTALL and /INSTALL"
                             : "repair the package with msiexec /fa " + packageCode;
}

// The parent's fix for what only the installer can mend, to start a sentence
// or to follow a comma.
std::string PlainRepair(const std::string& packageCode, bool startsSentence) {
  std::string fix = packageCode.empty() ? "install Nortavel free again."
                                        : "repair Nortavel free: in Control Panel, open Programs and Features, choose "
                                          "Nortavel free and then Repair.";
  if (startsSentence) fix[0] = static_cast<char>(fix[0] - 'a' + 'A');
  return fix;
}
constexpr char kPlainDamaged[] = " is damaged, so the service ignores all its settings and limits nobody. ";
constexpr char kPlainReopen[] = "Close this window and open it again from the Start menu.";

std::string TypeName(uint32_t type) {
  static const char* const kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ"};
  if (type < 8) return kNames[type];
  if (type == TRegistryApi::kRegQword) return "REG_QWORD";
  return "type " + std::to_string(type);
}

const TRegistryValue* Find(const std::vector<TRegistryValue>& values, const std::string& name) {
  for (const TRegistryValue& value : values)
    if (AsciiSameText(value.Name, name)) return &value;
  return nullptr;
}

// String data as the service reads it: up to the first zero.
std::string TextOf(const TRegistryValue& value) { return value.Data.substr(0, value.Data.find('\0')); }

bool IsString(const TRegistryValue& value) {
  return value.Type == TRegistryApi::kRegSz || value.Type == TRegistryApi::kRegExpandSz;
}

// A switch as the service reads it: a REG_DWORD of up to 4 bytes, 0 or 1.
bool IsSwitch(const TRegistryValue& value) {
  return value.Type == TRegistryApi::kRegDword && value.Data.size() <= 4 &&
         LittleEndian(value.Data.data(), value.Data.size()) <= 1;
}

// The product code of the installed package, in braces; empty when the service
// was installed by hand. A package writes its entry in the view of its bitness.
std::string InstalledPackageCode(const TAdmin& admin) {
  for (const TRegistryView view : {TRegistryView::View64, TRegistryView::View32}) {
    TRegistry registry(admin.Platform.Registry, TRegistryApi::kLocalMachine,
                       static_cast<uint32_t>(admin.Windows64 ? view : TRegistryView::Own));
    TStringList products;
    if (registry.OpenForReading(kUninstallKeyPath)) registry.ListSubkeyNames(products);
    for (const std::string& product : products) {
      if (product.empty() || product.front() != '{' || !registry.OpenForReading(kUninstallKeyPath + product)) continue;
      const std::vector<TRegistryValue> values = registry.ListValues();
      const TRegistryValue* name = Find(values, "DisplayName");
      if (name != nullptr && IsString(*name) && TextOf(*name) == kProductName) return product;
    }
    if (!admin.Windows64) break;
  }
  return "";
}

void CheckService(const TAdmin& admin, TFindings& findings) {
  const TServiceInfo& service = admin.Service;
  const auto reinstall = [&findings] { return ReinstallTextFor(findings.PackageCode()); };
  const auto repair = [&findings] { return PlainRepair(findings.PackageCode(), true); };
  if (!service.Installed) {
    if (service.Error != 0)
      findings.Error(std::string("cannot query service ") + kServiceName + " (" + ErrorText(service.Error) +
                         "): run from an administrator command prompt",
                     std::string("Windows does not tell this window how the Nortavel free service is set up. ") + kPlainReopen);
    else
      findings.Error(std::string("service ") + kServiceName +
                         " is not installed: install it with nortavel_free_service.exe /INSTALL",
                     "The Nortavel free service is not installed, so nobody's time is limited. Install Nortavel "
                     "free again.");
    return;
  }
  const std::string name = std::string("service ") + kServiceName;
  if (service.Config.StartType != TToolApi::kAutoStart)
    findings.Error(name + " does not start automatically: nobody is restricted after a restart; run sc config " +
                       kServiceName + " start= auto",
                   "The Nortavel free service does not start with Windows, so after a restart nobody's time is "
                   "limited. " + repair());
  if (!AsciiSameText(service.Config.StartName, "LocalSystem"))
    findings.Error(name + " runs as " + service.Config.StartName + ", not LocalSystem: it cannot lock accounts; " +
                       reinstall(),
                   "The Nortavel free service runs without the rights it needs and cannot lock accounts. " + repair());
  const std::string& path = service.Config.BinaryPath;
  if (!path.empty() && path.front() != '"' && service.Executable.find(' ') != std::string::npos)
    findings.Error(name + " is registered without quotes around a path with blanks (" + path +
                       "): Windows may start another program in its place; " + reinstall(),
                   "The Nortavel free service is registered in a way that lets Windows start another program in its "
                   "place. " + repair());
  if (service.Machine == 0)
    findings.Warning(name + ": cannot read its executable " + service.Executable +
                         ": check that the file exists, or " + reinstall(),
                     "The Nortavel free service's program cannot be read. " + repair());
  if (service.Machine == kMachineI386 && admin.Windows64)
    findings.Warning(name + " is the 32-bit build on 64-bit Windows: it reads " +
                         admin.KeyTextIn(TRegistryView::View32, "") + "; install the 64-bit build to use " +
                         admin.KeyTextIn(TRegistryView::View64, ""),
                     "This is Nortavel free for 32-bit Windows. It works, but this computer runs 64-bit Windows, "
                     "which the 64-bit package suits better.");
}

void CheckLogFolder(const TAdmin& admin, TFindings& findings, const TRegistryValue& pathValue) {
  std::string folder = TextOf(pathValue);
  const std::string where = " (" + admin.KeyText(kPathValue) + ")";
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  const uint32_t attributes = admin.Platform.Files.ReadAttributes(folder);
  if (attributes == kInvalidFileAttributes || (attributes & kFileAttributeDirectory) == 0) {
    findings.Error("the log folder " + folder + where + " does not exist: the service writes no log; create it with " +
                       "nortavelctl logdir " + folder,
                   "The log folder " + folder + " does not exist, so nothing is logged. Choose another log folder on "
                   "this page and press Save.");
    return;
  }
  if (admin.Platform.Files.OthersMayWriteFolder(folder) == TFolderAccess::OthersMayWrite)
    findings.Warning("the log folder " + folder + where +
                         " may be written by others than SYSTEM and the Administrators: a restricted user can delete "
                         "the log; run nortavelctl logdir with a new folder, which it creates for administrators only",
                     "Other users may change the log folder " + folder + ", so a child could delete the log. Choose a "
                     "new log folder on this page and press Save: it is made so that only administrators can change "
                     "it.");
}

void CheckOptionalValues(const TAdmin& admin, TFindings& findings, const std::vector<TRegistryValue>& values) {
  const TRegistryValue* warn = Find(values, kWarnMinutesValue);
  if (warn != nullptr) {
    // As the service reads it: up to 4 bytes, the missing high ones zero.
    const bool number = warn->Type == TRegistryApi::kRegDword && warn->Data.size() <= 4;
    const uint32_t minutes = number ? LittleEndian(warn->Data.data(), warn->Data.size()) : 0;
    if (!number || minutes > static_cast<uint32_t>(kMaxWarnMinutes))
      findings.Warning(admin.KeyText(kWarnMinutesValue) +
                           " is not a number from 0 to 60 (REG_DWORD): nobody is warned; set it with nortavelctl "
                           "warn MINUTES",
                       "The warning before the time ends is damaged, so nobody is warned. Set \"Warn before the time "
                       "ends\" on this page and press Save.");
  }
  const TRegistryValue* action = Find(values, kEndActionValue);
  if (action != nullptr && (!IsString(*action) || (!AsciiSameText(TextOf(*action), kEndActionLock) &&
                                                   !AsciiSameText(TextOf(*action), kEndActionSignOut) &&
                                                   !AsciiSameText(TextOf(*action), kEndActionPowerOff))))
    findings.Warning(admin.KeyText(kEndActionValue) + " (" + (IsString(*action) ? TextOf(*action) : TypeName(action->Type)) +
                         ") is none of lock, signout and poweroff: the computer is switched off when time ends; set "
                         "it with nortavelctl endaction lock|signout|poweroff",
                     "What happens when the time ends is damaged, so the computer is switched off. Choose it under "
                     "\"When the time ends\" on this page and press Save.");
  const TRegistryValue* backstop = Find(values, kLogonHoursBackstopValue);
  if (backstop != nullptr && !IsSwitch(*backstop))
    findings.Warning(admin.KeyText(kLogonHoursBackstopValue) +
                         " is not 0 or 1 (REG_DWORD): Windows' logon hours do not hold the rules while the service "
                         "is not running; set it with nortavelctl backstop on|off",
                     "The setting for Windows' logon hours is damaged, so they do not keep the rules while the "
                     "service is not running. Tick or clear it on this page and press Save.");
  const TRegistryValue* keep = Find(values, kKeepUsageValue);
  if (keep != nullptr && !IsSwitch(*keep))
    findings.Warning(admin.KeyText(kKeepUsageValue) +
                         " is not 0 or 1 (REG_DWORD): use is kept only for users with a daily budget; set it with "
                         "nortavelctl keepusage on|off",
                     "The setting that keeps a record of every child's use is damaged, so use is recorded only for "
                     "children with a daily time.");
  const TRegistryValue* zone = Find(values, kTimeZoneValue);
  if (zone == nullptr || (IsString(*zone) && TextOf(*zone).empty())) {
    findings.Warning(admin.KeyText(kTimeZoneValue) +
                         " is not set: the rules follow the computer's time zone, which any user may change to gain "
                         "time; keep them to the zone the computer has now with nortavelctl timezone --current",
                     "The rules follow the computer's time zone, which any user may change to get more time. Choose "
                     "this computer's zone under \"Time zone of the rules\" on this page and press Save.");
    return;
  }
  TTimeZone found;
  const std::string name = IsString(*zone) ? TextOf(*zone) : std::string();
  if (name.empty() || !ReadTimeZone(admin.Platform.Registry, static_cast<uint32_t>(admin.Location.View), name, found)) {
    findings.Error(admin.KeyText(kTimeZoneValue) + " (" + (IsString(*zone) ? name : TypeName(zone->Type)) +
                   ") is not a time zone of this computer: the rules follow the computer's time zone, which users "
                       "may change; set one with nortavelctl timezone NAME, or remove it with nortavelctl timezone "
                       "--clear",
                   "The time zone of the rules is not one this computer knows, so the rules follow the computer's "
                   "time zone, which users may change. Choose a zone on this page and press Save.");
    return;
  }
  // A child may have changed the zone before the package pinned it, or since.
  const std::string computer = ReadComputerTimeZone(admin.Platform.Registry);
  if (!computer.empty() && !AsciiSameText(computer, name)) {
    const std::string rules = WeekdayAndClock(SecondsOf(TZoneClock(admin.Platform.Clock, &found).LocalNow()));
    const std::string here = WeekdayAndClock(SecondsOf(admin.Platform.Clock.LocalNow()));
    findings.Warning("the rules keep to " + name + " (now " + rules + "), but the computer's time zone is " +
                         computer + " (now " + here +
                         "): if the rules' time is not the time here, keep them to the right zone with nortavelctl "
                         "timezone NAME (tzutil /l lists the names)",
                     "The rules keep to the time zone " + name + ", where it is now " + rules +
                         ", but the computer is set to " + computer + ", where it is " + here +
                         ". If the rules' time is wrong here, choose the right zone on this page and press Save.");
  }
}

void CheckMainValues(const TAdmin& admin, TFindings& findings, const std::vector<TRegistryValue>& values) {
  const TRegistryValue* debug = Find(values, kDebugValue);
  if (debug == nullptr)
    findings.Warning(admin.KeyText(kDebugValue) + " is missing: the service logs at level 1 only; set it with nortavelctl level 2",
                     "The log holds only the most important events. Choose log level 2 on this page and press Save.");
  else if (debug->Type != TRegistryApi::kRegDword)
    findings.Error(admin.KeyText(kDebugValue) + " is " + TypeName(debug->Type) +
                       ", not REG_DWORD: the service refuses the whole configuration; set it with nortavelctl level N",
                   std::string("The log level") + kPlainDamaged + "Choose a log level on this page and press Save.");
  const TRegistryValue* path = Find(values, kPathValue);
  if (path == nullptr)
    findings.Warning(admin.KeyText(kPathValue) +
                         " is missing: the log goes to the service's current folder; set it with nortavelctl logdir DIR",
                     "No log folder is set. Choose one on this page and press Save.");
  else if (!IsString(*path))
    findings.Error(admin.KeyText(kPathValue) + " is " + TypeName(path->Type) +
                       ", not REG_SZ: the service refuses the whole configuration; set it with nortavelctl logdir DIR",
                   std::string("The log folder") + kPlainDamaged + "Choose a log folder on this page and press Save.");
  else
    CheckLogFolder(admin, findings, *path);
  CheckOptionalValues(admin, findings, values);
}

void CheckRules(const TAdmin& admin, TFindings& findings, const std::string& user, const std::vector<TRegistryValue>& values) {
  const std::string fix = ": set the rules again with nortavelctl set " + user + " SCHEDULE";
  const std::string plainFix = " Paint " + user + "'s week again on " + user + "'s page and press Save.";
  for (int day = 0; day < kDaysPerWeek; ++day) {
    const std::string name = kTimeValuePrefix + std::to_string(day + 1);
    const std::string key = admin.RestrictionsKeyText(user + "\\" + name);
    const TRegistryValue* value = Find(values, name);
    if (value == nullptr) {
      findings.Error(key + " is missing: the service reads no rule from " + DayName(day) + " on, so " + user +
                         " may use the computer all day then" + fix,
                     user + "'s rules from " + DayName(day) + " on are missing, so " + user +
                         " may use the computer all day then." + plainFix);
      return;
    }
    if (!IsString(*value)) {
      findings.Error(key + " is " + TypeName(value->Type) + ", not REG_SZ: the service refuses the whole configuration" +
                         fix,
                     user + "'s rules for " + DayName(day) +
                         " are damaged, so the service ignores all its settings and limits nobody." + plainFix);
      return;
    }
    const std::string rule = TextOf(*value);
    if (rule.size() < static_cast<size_t>(kSlotsPerDay))
      findings.Error(key + " has " + std::to_string(rule.size()) + " characters, not 48: " + user +
                         " may use the computer on " + DayName(day) + " from " +
                         ClockText(static_cast<int>(rule.size()) * kMinutesPerSlot) + " on" + fix,
                     user + "'s rules for " + DayName(day) + " stop short, so " + user + " may use the computer from " +
                         ClockText(static_cast<int>(rule.size()) * kMinutesPerSlot) + " on." + plainFix);
    else if (rule.size() > static_cast<size_t>(kSlotsPerDay))
      findings.Warning(key + " has " + std::to_string(rule.size()) +
                           " characters, not 48: the service ignores those after the 48th" + fix,
                       user + "'s rules for " + DayName(day) + " run past midnight; the rest is ignored." + plainFix);
    if (rule.find_first_not_of("01") != std::string::npos)
      findings.Warning(key + " holds characters other than 0 and 1: the service restricts their half hours" + fix,
                       user + "'s rules for " + DayName(day) +
                           " hold marks that are neither allowed nor restricted; those half hours count as restricted." +
                           plainFix);
  }
}

// As the service reads BudgetN and BudgetWeek: a REG_DWORD of up to 4 bytes,
// the missing high ones zero, taken as a signed number of minutes from 0 to
// most; the text of why not, or empty.
std::string BudgetFault(const TRegistryValue& value, int32_t most) {
  std::string shown = TypeName(value.Type);
  if (value.Type == TRegistryApi::kRegDword && value.Data.size() <= 4) {
    const int32_t minutes = static_cast<int32_t>(LittleEndian(value.Data.data(), value.Data.size()));
    if (minutes >= 0 && minutes <= most) return "";
    shown = std::to_string(minutes);
  } else if (value.Type == TRegistryApi::kRegDword) {
    shown += " of " + std::to_string(value.Data.size()) + " bytes";
  }
  return " (" + shown + ") is not a number of minutes from 0 to " + std::to_string(most) +
         " (REG_DWORD): the service ignores it, so ";
}

// Any other value leaves that day, or the week, without a limit.
void CheckBudgets(const TAdmin& admin, TFindings& findings, const std::string& user, const std::vector<TRegistryValue>& values) {
  for (int day = 0; day < kDaysPerWeek; ++day) {
    const std::string name = kBudgetValuePrefix + std::to_string(day + 1);
    const TRegistryValue* value = Find(values, name);
    const std::string fault = value != nullptr ? BudgetFault(*value, kMaxBudgetMinutes) : "";
    if (!fault.empty())
      findings.Error(admin.RestrictionsKeyText(user + "\\" + name) + fault + user + " has no daily limit on " +
                         DayName(day) + "; set the budget again with nortavelctl budget " + user + " BUDGET",
                     user + "'s daily time for " + DayName(day) + " is damaged, so " + user +
                         " has no daily limit then. Set it again on " + user + "'s page and press Save.");
  }
  const TRegistryValue* week = Find(values, kBudgetWeekValue);
  const std::string fault = week != nullptr ? BudgetFault(*week, kMaxWeekBudgetMinutes) : "";
  if (!fault.empty())
    findings.Error(admin.RestrictionsKeyText(user + "\\" + kBudgetWeekValue) + fault + user +
                       " has no weekly limit; set it again with nortavelctl budget " + user + " --week AMOUNT",
                   user + "'s time for the week is damaged, so " + user + " has no weekly limit. Set it again on " +
                       user + "'s page and press Save.");
}

// The configured users.
TStringList CheckUsers(const TAdmin& admin, TFindings& findings, TRegistry& registry) {
  const std::string restrictions = admin.Location.RestrictionsKeyPath();
  TStringList users;
  if (registry.OpenForReading(restrictions)) registry.ListSubkeyNames(users);
  registry.Close();
  if (users.Empty()) {
    findings.Warning("no user is configured in " + admin.RestrictionsKeyText() +
                         ": add one with nortavelctl set USER SCHEDULE",
                     "No child has rules yet. Press \"Add a child...\", paint the week and press Save.");
    return users;
  }
  std::vector<std::string> locked;
  for (const std::string& user : users) {
    std::vector<TRegistryValue> values;
    if (registry.OpenForReading(restrictions + user)) values = registry.ListValues();
    registry.Close();
    CheckRules(admin, findings, user, values);
    const TRegistryValue* extra = Find(values, kAllowUntilValue);
    int64_t until = 0;
    if (extra != nullptr && (!IsString(*extra) || !ParseMinuteStamp(TextOf(*extra), until)))
      findings.Warning(admin.RestrictionsKeyText(user + "\\" + kAllowUntilValue) +
                       " is not a date and time like 2026-12-24 21:30: the service ignores it; give extra time with "
                           "nortavelctl grant " + user + " 30m, or remove it with nortavelctl grant " + user +
                           " --clear",
                       user + "'s extra time is damaged and counts for nothing. Give extra time again on " + user +
                           "'s page, or press \"Take back\".");
    CheckBudgets(admin, findings, user, values);
    const TAccountInfo account = ReadAccount(admin.Platform.Accounts, user);
    if (account.Locked) locked.push_back(user);
    if (account.Readable && !account.Exists)
      findings.Error("user " + user + " (" + admin.RestrictionsKeyText(user) +
                         ") has no local account: the service cannot lock it; check the name, or remove the rules "
                         "with nortavelctl remove " + user,
                     "This computer has no account named " + user + ", so " + user +
                         "'s rules limit nobody. Check the name of the child's account.");
    else if (!account.Readable)
      findings.Warning("cannot tell whether " + user + " has a local account (" + ErrorText(account.Status) +
                           "): run from an administrator command prompt",
                       "Windows does not say whether this computer has an account named " + user + ". " + kPlainReopen);
  }
  const std::string lockedText = LockedWithoutServiceText(admin.Service, locked);
  if (!lockedText.empty()) {
    std::string names;
    for (const std::string& user : locked) names += (names.empty() ? "" : ", ") + user;
    findings.Error(lockedText, names + (locked.size() == 1 ? " is" : " are") +
                                   " locked out, and the service that gives the time back is not running. Restart "
                                   "the computer; if that does not help, " + PlainRepair(findings.PackageCode(), false));
  }
  return users;
}

// The built-in guest is known by its English name only: level 1 does not carry
// the account's RID (501), and a renamed or translated guest goes unnamed here.
bool IsGuest(const TLocalAccount& account) { return PlatformSameText(account.Name, "Guest"); }

void CheckAccounts(const TAdmin& admin, TFindings& findings, const TStringList& users) {
  const TLocalAccounts read = ReadLocalAccounts(admin.Platform.Accounts);
  if (read.Status != 0) {
    findings.Warning("cannot read the local accounts (" + ErrorText(read.Status) +
                     "): this check cannot tell whether a restricted user is an administrator or which accounts "
                         "have no time limits; net user lists them",
                     "Windows does not list this computer's accounts, so this window cannot tell whether a child is "
                     "an administrator or which accounts have no time limits.");
    return;
  }
  for (const std::string& user : users)
    for (const TLocalAccount& account : read.Accounts)
      if (account.Privilege == TLocalAccount::Administrator && PlatformSameText(account.Name, user))
        findings.Error(AdministratorText(user), AdministratorText(user));
  std::vector<std::string> unlimited;
  for (const TLocalAccount& account : read.Accounts) {
    // A configured account has its limits, Guest included; disabled ones cannot sign in.
    if (account.Disabled || users.IndexOf(account.Name) >= 0) continue;
    if (IsGuest(account))
      findings.Warning("the " + account.Name + " account is enabled: anyone can use the computer without a time "
                       "limit; disable it with net user " + account.Name + " /active:no",
                       "The " + account.Name + " account is turned on: anyone can use the computer with it, without a "
                       "time limit. Turn it off: open Command Prompt as administrator and type net user " +
                           account.Name + " /active:no.");
    else if (account.Privilege == TLocalAccount::Standard)
      unlimited.push_back(account.Name);
  }
  if (unlimited.empty()) return;
  std::string names;
  for (const std::string& name : unlimited) names += (names.empty() ? "" : ", ") + name;
  const std::string them = unlimited.size() == 1 ? "it" : "them";
  findings.Warning((unlimited.size() == 1 ? "this account has" : "these accounts have") +
                   std::string(" no time limits and can be used to get around them: ") + names +
                       "; set limits with nortavelctl set USER SCHEDULE, or disable an account with net user USER "
                       "/active:no",
                   std::string(unlimited.size() == 1 ? "This account has" : "These accounts have") +
                       " no time limits, so a child could use " + them + " to get around the rules: " + names +
                       ". Give " + them + " rules with \"Add a child...\", or turn off accounts nobody uses.");
}

void CheckOtherView(const TAdmin& admin, TFindings& findings, bool present) {
  if (!admin.Windows64) return;
  const TRegistryView other =
      admin.Location.View == TRegistryView::View64 ? TRegistryView::View32 : TRegistryView::View64;
  TRegistry registry(admin.Platform.Registry, admin.Location.RootKey, static_cast<uint32_t>(other));
  if (!registry.KeyExists(admin.Location.MainKeyPath)) return;
  const std::string reader = admin.Service.Installed && admin.Location.View == admin.ServiceView
                                 ? "the " + TAdmin::ViewName(admin.Location.View) + " view the service reads"
                                 : "the " + TAdmin::ViewName(admin.Location.View) + " view this check reads";
  const std::string otherKey = admin.KeyTextIn(other, "");
  if (!present)
    findings.Error("a configuration exists only in " + otherKey + " (" + TAdmin::ViewName(other) + " view), not in " +
                   reader + ": write it again with nortavelctl, or import it with reg import FILE /reg:" +
                       (admin.Location.View == TRegistryView::View64 ? "64" : "32"),
                   "The settings were saved by Nortavel free for the other kind of Windows (32-bit or 64-bit), where "
                   "the service does not read them, so nobody's time is limited. Set each child's week again here.");
  else
    findings.Warning("a second configuration in " + otherKey + " (" + TAdmin::ViewName(other) + " view) is never read by " +
                     (admin.Service.Installed ? "the service" : "a service of this tool's build") +
                     ": delete it with reg delete " + otherKey + " /reg:" +
                         (other == TRegistryView::View64 ? "64" : "32") + " /f",
                     "An old second copy of the settings is stored that the service never reads. It does no harm.");
}
// The record of use, where the service keeps one: one it cannot use, or saves
// that keep failing, lose the daily budget's count.
void CheckUsage(const TAdmin& admin, TFindings& findings) {
  const TConfiguration config = LoadOrEmpty(admin);
  if (!config.KeepsUsage()) return;
  const TUsageFile usage = ReadUsage(admin, config);
  const std::string problem = UsageProblemText(usage);
  const std::string uncounted = "The record of the time used cannot be kept, so daily time is not counted. ";
  if (usage.Read == TWholeFile::NotPlain)
    findings.Error(problem, uncounted + "Something else is in its place. " + PlainRepair(findings.PackageCode(), true));
  else if (usage.Read == TWholeFile::Done && !problem.empty())
    findings.Warning(problem, "Some days of the record of the time used were damaged and are left out.");
  else if (!problem.empty())
    findings.Warning(problem, std::string("The record of the time used cannot be read here. ") + kPlainReopen);
  const std::string saving = UsageSavingText(admin, config, usage);
  if (!saving.empty())
    findings.Error(saving, "The service has not saved the time used for a while, so some use may not count. Restart "
                           "the computer; if that does not help, " + PlainRepair(findings.PackageCode(), false));
}
}  // namespace

std::string ReinstallText(const TAdmin& admin) { return ReinstallTextFor(InstalledPackageCode(admin)); }

std::vector<TFinding> CheckFindings(const TAdmin& admin) {
  TFindings findings(admin);
  CheckService(admin, findings);
  TRegistry registry(admin.Platform.Registry, admin.Location.RootKey, static_cast<uint32_t>(admin.Location.View));
  const bool present = registry.OpenForReading(admin.Location.MainKeyPath);
  TStringList users;
  if (!present) {
    findings.Error(admin.KeyText() + " does not exist: the service restricts nobody; add a user with nortavelctl set "
                   "USER SCHEDULE",
                   "Nortavel free has no settings yet, so nobody's time is limited. Press \"Add a child...\", paint "
                   "the week and press Save.");
  } else {
    const std::vector<TRegistryValue> values = registry.ListValues();
    registry.Close();
    CheckMainValues(admin, findings, values);
    users = CheckUsers(admin, findings, registry);
    CheckUsage(admin, findings);
  }
  CheckAccounts(admin, findings, users);
  CheckOtherView(admin, findings, present);
  return findings.Found;
}

std::string AdministratorText(const std::string& user) {
  return user + " is an administrator: an administrator can stop the service and change these rules. Make " + user +
         " a standard user (Settings > Accounts).";
}
