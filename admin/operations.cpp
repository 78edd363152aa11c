#include "admin/operations.h"

#include <algorithm>

#include "admin/admin_errors.h"
#include "admin/usage_record.h"
#include "common/calendar.h"
#include "common/protocol.h"
#include "common/string_list.h"
#include "common/text.h"
#include "diag/whole_file.h"
#include "engine/decision.h"
#include "engine/requests.h"
#include "winsys/config_writer.h"
#include "winsys/pin.h"
#include "winsys/registry.h"
#include "winsys/time_zones.h"

namespace {
constexpr char kAdminFolderSddl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kAnswerWaitMs = 5000;

TConfigWriter WriterOf(TAdmin& admin) { return TConfigWriter(admin.Platform.Registry, admin.Location); }

void Refuse(const std::string& what, const std::string& refusal) {
  if (!refusal.empty()) throw ECommandFailed(what + " takes " + refusal + ": nothing stored");
}

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// How much of path names its root, which nobody creates: "C:\" or "C:", a
// share's "\\server\share", a lone "\"; 0 for a relative path.
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    const size_t server = path.find_first_of("\\/", 2);
    const size_t share = server == std::string::npos ? server : path.find_first_of("\\/", server + 1);
    return share == std::string::npos ? path.size() : share;
  }
  if (path.size() >= 2 && path[1] == ':') return path.size() > 2 && IsPathSeparator(path[2]) ? 3 : 2;
  return !path.empty() && IsPathSeparator(path[0]) ? 1 : 0;
}

// The folders of folder that do not exist yet, outermost first, folder last.
std::vector<std::string> MissingFolders(TLogPlatform& files, std::string folder) {
  std::vector<std::string> missing;
  const size_t root = RootLength(folder);
  while (folder.size() > root && files.ReadAttributes(folder) == kInvalidFileAttributes) {
    missing.insert(missing.begin(), folder);
    const size_t parent = folder.find_last_of("\\/");
    if (parent == std::string::npos) break;
    folder.erase(parent);
  }
  return missing;
}

TServiceReply CallService(TAdmin& admin, const std::string& request) {
  TServiceReply reply;
  std::string answer;
  // Not only to a server in session 0: nothing secret is sent, and a pipe of
  // another program cannot act as the administrator, who connects for
  // identification only.
  reply.Error = admin.Platform.Pipe.Call(kPipeName, request, answer, kAnswerWaitMs, false);
  if (reply.Error != 0) return reply;
  const std::string ok = kAnswerOk;
  const std::string refusal = std::string(kAnswerError) + " ";
  if (answer == ok || answer.rfind(ok + " ", 0) == 0) {
    reply.Ok = true;
    reply.Answer = answer.substr(std::min(answer.size(), ok.size() + 1));
  } else {
    reply.Refusal = answer.rfind(refusal, 0) == 0 ? answer.substr(refusal.size()) : "an answer it should not give";
  }
  return reply;
}
}  // namespace

std::string WarnMinutesRefusal(int64_t minutes) {
  return minutes < 0 || minutes > kMaxWarnMinutes ? "0 to " + std::to_string(kMaxWarnMinutes) + " minutes" : "";
}

std::string LevelRefusal(int64_t level) {
  return level < 0 || level > kMaxLevel ? "0 to " + std::to_string(kMaxLevel) : "";
}

std::string DailyBudgetRefusal(int64_t minutes) {
  return minutes != kNoBudget && (minutes < 0 || minutes > kMaxBudgetMinutes) ? "at most 24 h a day" : "";
}

std::string WeekBudgetRefusal(int64_t minutes) {
  return minutes != kNoBudget && (minutes < 0 || minutes > kMaxWeekBudgetMinutes) ? "at most 168 h a week" : "";
}

std::string PinRefusal(const std::string& pin) { return IsPinWellFormed(pin) ? "" : "4 to 12 digits"; }

bool StoreRules(TAdmin& admin, const std::string& user, const std::vector<std::string>& rules) {
  const bool firstUser = ConfiguredUsers(admin).empty();
  WriterOf(admin).WriteRules(user, rules);
  return firstUser;
}

bool RemoveRules(TAdmin& admin, const std::string& user) { return WriterOf(admin).RemoveUser(user); }

std::string KeepRulesToComputerZone(TAdmin& admin, bool firstUser) {
  if (!firstUser) return "";
  TRegistry registry(admin.Platform.Registry, admin.Location.RootKey, static_cast<uint32_t>(admin.Location.View));
  const bool set = registry.OpenForReading(admin.Location.MainKeyPath) && registry.ValueExists(kTimeZoneValue);
  registry.Close();
  if (set) return "";
  const std::string zone = ZoneNamed(admin, ReadComputerTimeZone(admin.Platform.Registry));
  if (!zone.empty()) WriterOf(admin).WriteTimeZone(zone);
  return zone;
}

void StoreBudgets(TAdmin& admin, const std::string& user, const std::array<int32_t, 7>& minutes) {
  for (const int32_t day : minutes) Refuse("a daily time", DailyBudgetRefusal(day));
  WriterOf(admin).WriteBudgets(user, minutes);
}

void StoreWeekBudget(TAdmin& admin, const std::string& user, int32_t minutes) {
  Refuse("a weekly time", WeekBudgetRefusal(minutes));
  WriterOf(admin).WriteWeekBudget(user, minutes);
}

int64_t GrantExtraTime(TAdmin& admin, const TConfiguration& config, const std::string& user, int64_t seconds) {
  if (seconds <= 0 || seconds > int64_t{kMostExtraMinutes} * 60) throw ECommandFailed("extra time is 1 minute to 24 h");
  const int64_t now = SecondsOf(admin.RuleClock(config).LocalNow());
  // Extra time adds to the time the user has anyway, extra time given before
  // included; a day's budget used up leaves none, and the extra time counts
  // from now.
  const TDayUse use = ReadUsage(admin, config).Book.UseOf(user, DayOf(now));
  const int64_t until = ExtraTimeUntil(config, config.RestrictedUsers.IndexOf(user), now, use, seconds);
  GrantUntil(admin, user, until);
  return until;
}

void GrantUntil(TAdmin& admin, const std::string& user, int64_t until) {
  WriterOf(admin).WriteExtraTime(user, FormatMinuteStamp(until));
}

bool TakeBackExtraTime(TAdmin& admin, const std::string& user) { return WriterOf(admin).ClearExtraTime(user); }

void StoreWarnMinutes(TAdmin& admin, int32_t minutes) {
  Refuse("the warning", WarnMinutesRefusal(minutes));
  WriterOf(admin).WriteWarnMinutes(minutes);
}

const char* EndActionWord(TEndAction action) {
  switch (action) {
    case TEndAction::Lock:
      return kEndActionLock;
    case TEndAction::SignOut:
      return kEndActionSignOut;
    case TEndAction::PowerOff:
      break;
  }
  return kEndActionPowerOff;
}

void StoreEndAction(TAdmin& admin, TEndAction action) { WriterOf(admin).WriteEndAction(EndActionWord(action)); }

void StoreLevel(TAdmin& admin, int32_t level) {
  Refuse("the log level", LevelRefusal(level));
  WriterOf(admin).WriteLevel(level);
}

void StoreSwitch(TAdmin& admin, const char* value, bool on) { WriterOf(admin).WriteSwitch(value, on); }

std::string StoreLogFolder(TAdmin& admin, std::string folder, const std::function<void(const std::string&)>& made) {
  // A folder typed with its closing backslash would be made twice, the second
  // time failing as already there.
  while (folder.size() > 3 && EndsWithBackslash(folder, &PlatformIsLeadByte)) folder.pop_back();
  TLogPlatform& files = admin.Platform.Files;
  const uint32_t attributes = files.ReadAttributes(folder);
  if (attributes == kInvalidFileAttributes) {
    // The parents a fresh computer lacks get the same rights: a restricted user
    // who may write a parent could rename it, and the log with it.
    for (const std::string& missing : MissingFolders(files, folder)) {
      if (!admin.Platform.Tool.CreateFolder(missing, kAdminFolderSddl)) {
        const uint32_t error = admin.Platform.Tool.LastError();
        throw EOSError(error, "Cannot create the folder " + missing + ": " + ErrorText(error) +
                                  (error == kErrorPathNotFound ? ": check that its drive or share exists" : ""));
      }
      if (made) made(missing);
      // An install that fails takes the folders it made away again.
      WriterOf(admin).NoteMadeFolder(missing);
    }
  } else if ((attributes & kFileAttributeDirectory) == 0) {
    throw ECommandFailed(folder + " is a file, not a folder: choose another path");
  }
  WriterOf(admin).WritePath(folder);
  return folder;
}

std::vector<std::string> TimeZoneNames(const TAdmin& admin) {
  TRegistry registry(admin.Platform.Registry, TRegistryApi::kLocalMachine, static_cast<uint32_t>(admin.Location.View));
  TStringList names(&AsciiSameText);
  if (registry.OpenForReading(kTimeZonesKeyPath)) registry.ListSubkeyNames(names);
  return names.Items();
}

std::string ZoneNamed(const TAdmin& admin, const std::string& name) {
  TTimeZone zone;
  if (!ReadTimeZone(admin.Platform.Registry, static_cast<uint32_t>(admin.Location.View), name, zone)) return {};
  for (const std::string& known : TimeZoneNames(admin))
    if (AsciiSameText(known, name)) return known;
  return name;
}

std::string StoreTimeZone(TAdmin& admin, const std::string& name) {
  const std::string zone = ZoneNamed(admin, name);
  if (zone.empty())
    throw ECommandFailed("there is no time zone named '" + name +
                         "' on this computer: tzutil /l lists the names (the line below each zone)");
  WriterOf(admin).WriteTimeZone(zone);
  return zone;
}

bool FollowComputerZone(TAdmin& admin) { return WriterOf(admin).ClearTimeZone(); }

void StorePin(TAdmin& admin, const std::string& pin) {
  if (!PinRefusal(pin).empty()) throw ECommandFailed("a PIN is 4 to 12 digits: nothing stored");
  const std::string hash = HashPin(admin.Platform.Crypto, pin);
  if (hash.empty()) throw ECommandFailed("Windows' cryptography failed to protect the PIN: nothing stored");
  WriterOf(admin).WritePinHash(hash);
}

bool RemovePin(TAdmin& admin) { return WriterOf(admin).ClearPin(); }

bool PinIsSet(const TAdmin& admin) { return !ReadPinHash(admin.Platform.Registry, admin.Location).empty(); }

std::vector<TOpenRequest> OpenRequests(const TAdmin& admin, const TConfiguration& config, std::string* unreadable) {
  const std::string folder = UsagePlaces(admin.Platform.Files).RecordFolder;
  const std::string path = folder.empty() ? std::string() : folder + kRequestsFileName;
  std::string text;
  const TWholeFile read = path.empty() ? TWholeFile::Failed : ReadWholeFile(admin.Platform.Files, path, text);
  if (read == TWholeFile::Failed && unreadable != nullptr) *unreadable = path.empty() ? "the service's folder" : path;
  if (read != TWholeFile::Done) return {};
  TRequestBook book;
  book.Parse(text);
  TZoneClock clock = admin.RuleClock(config);
  const int64_t now = SecondsOf(clock.LocalNow());
  // The requests carry UTC; the parent reads the rules' clock.
  const int64_t offset = now - SecondsOf(admin.Platform.Clock.UtcNow());
  std::vector<TOpenRequest> open;
  for (const auto& [user, request] : book.Open())
    if (request.Day == DayOf(now)) open.push_back({user, request.Minutes, request.AskedUtc + offset});
  return open;
}

TServiceReply ApproveRequest(TAdmin& admin, const std::string& user, int64_t minutes) {
  return CallService(admin, std::string(kRequestApprove) + " " + user + (minutes > 0 ? " " + std::to_string(minutes) : ""));
}

TServiceReply DenyRequest(TAdmin& admin, const std::string& user) {
  return CallService(admin, std::string(kRequestDeny) + " " + user);
}
