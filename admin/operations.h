#pragma once
// The changes an administrator makes, done once for every program that makes
// them: nortavelctl turns its command line into these calls and says what
// came of them, the parent's window turns its fields into them. Each writes
// through TConfigWriter in the administration's view. A write that fails
// raises EOSError naming the value (winsys/config_writer.h); a value the
// service would not take raises ECommandFailed before anything is written.
// None asks the service to reload: the caller does, once, after its changes.
// Thread: the caller's.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "admin/admin.h"
#include "admin/service_info.h"

// The reason a value is refused, in words that follow its name ("0 to 60
// minutes"); empty when it is taken. The operations below refuse what these
// refuse, so a caller that checks every field first writes nothing half.
std::string WarnMinutesRefusal(int64_t minutes);
std::string LevelRefusal(int64_t level);
std::string DailyBudgetRefusal(int64_t minutes);  // kNoBudget is taken
std::string WeekBudgetRefusal(int64_t minutes);   // kNoBudget is taken
std::string PinRefusal(const std::string& pin);

inline constexpr int32_t kMaxLevel = 4;

// The week of user (Time1 .. Time<n>); whether user is the first configured.
bool StoreRules(TAdmin& admin, const std::string& user, const std::vector<std::string>& rules);
// Deletes user's key with its values; false when there was none.
bool RemoveRules(TAdmin& admin, const std::string& user);
// After the rules of the first user (StoreRules said so) of a configuration
// without TimeZone: keeps the rules to the computer's zone as it is now, so
// that a child who changes the zone gains no time. The zone pinned, as the
// database spells it; empty when nothing was written.
std::string KeepRulesToComputerZone(TAdmin& admin, bool firstUser);
// Budget1 .. Budget7 of a configured user, Monday first, kNoBudget for a day
// without; BudgetWeek.
void StoreBudgets(TAdmin& admin, const std::string& user, const std::array<int32_t, 7>& minutes);
void StoreWeekBudget(TAdmin& admin, const std::string& user, int32_t minutes);

// Extra time for a configured user (config as loaded, user as it spells
// them): seconds added to the end of the time they have anyway, or counted
// from now once they are restricted (engine's ExtraTimeUntil). The end, in the
// rules' time.
int64_t GrantExtraTime(TAdmin& admin, const TConfiguration& config, const std::string& user, int64_t seconds);
// Extra time until a moment of the rules' time.
void GrantUntil(TAdmin& admin, const std::string& user, int64_t until);
// Takes the extra time back; false when there was none.
bool TakeBackExtraTime(TAdmin& admin, const std::string& user);

// The values of the main key.
void StoreWarnMinutes(TAdmin& admin, int32_t minutes);
void StoreEndAction(TAdmin& admin, TEndAction action);
void StoreLevel(TAdmin& admin, int32_t level);
// LogonHoursBackstop or KeepUsage.
void StoreSwitch(TAdmin& admin, const char* value, bool on);
// The word EndAction stores for action ("lock", "signout", "poweroff").
const char* EndActionWord(TEndAction action);

// Path, after making the folder and its missing parents with rights for
// SYSTEM and the Administrators only (made is told each, outermost first, and
// an install that fails takes them away again). Trailing backslashes beyond a
// root's are dropped; the folder stored is returned. Raises EOSError when a
// folder cannot be made, ECommandFailed when folder is a file.
std::string StoreLogFolder(TAdmin& admin, std::string folder,
                           const std::function<void(const std::string& made)>& made = nullptr);

// The zones of the computer's database by key name, in its order.
std::vector<std::string> TimeZoneNames(const TAdmin& admin);
// The zone named (letter case ignored) as the database spells it; empty when
// there is none.
std::string ZoneNamed(const TAdmin& admin, const std::string& name);
// TimeZone: ECommandFailed for a name that is no zone of the computer. The
// zone stored, as the database spells it.
std::string StoreTimeZone(TAdmin& admin, const std::string& name);
// Back to the computer's zone; false when the rules followed it already.
bool FollowComputerZone(TAdmin& admin);

// The parent's PIN, hashed: ECommandFailed for a PIN PinRefusal refuses or
// when Windows' cryptography fails, nothing stored then.
void StorePin(TAdmin& admin, const std::string& pin);
// false when none was set.
bool RemovePin(TAdmin& admin);
bool PinIsSet(const TAdmin& admin);

// A request for more time that waits for the parent's answer.
struct TOpenRequest {
  std::string User;
  int32_t Minutes = 0;
  int64_t Asked = 0;  // in the rules' time
};
// The requests open today by the rules' clock under config; none where the
// service's file cannot be read, and then unreadable (when given) names it.
std::vector<TOpenRequest> OpenRequests(const TAdmin& admin, const TConfiguration& config,
                                       std::string* unreadable = nullptr);

// What the service answered through its pipe: Error is the Windows error of
// the call (ERROR_FILE_NOT_FOUND: no service listens), else Answer is its
// answer after "OK", or Refusal what it said instead.
struct TServiceReply {
  uint32_t Error = 0;
  bool Ok = false;
  std::string Answer;
  std::string Refusal;
};
// Approves user's open request with what they asked for, or minutes (1 to a
// day) instead when given; the service gives the time as grant does and
// closes it. The answer of an approval names the end: "until 20:30".
TServiceReply ApproveRequest(TAdmin& admin, const std::string& user, int64_t minutes = 0);
TServiceReply DenyRequest(TAdmin& admin, const std::string& user);
