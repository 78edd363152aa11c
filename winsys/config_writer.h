#pragma once
// Writes the restriction configuration at a location, as the administration
// tool changes it. The service itself never writes the registry.
// Every failure raises EOSError with the Windows error code and a message that
// names the key or value concerned, e.g. "Cannot write Time1 of user child:
// Access is denied". Every key is opened in the location's view, and every key
// opened is closed again, whatever happens. A user name that is empty or holds
// a backslash or a zero character names no user key: EOSError with
// ERROR_INVALID_NAME (123), "Invalid user name '<user>'", before any call.
// Thread: the caller's; not shared.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/registry_api.h"
#include "winsys/configuration.h"
#include "winsys/registry.h"

class TConfigWriter {
 public:
  TConfigWriter(TRegistryApi& registry, const TConfigLocation& location);

  // Time1 ... Time<n> (REG_SZ) of user from rules[0 .. n-1], creating the main
  // key, the restrictions key and the user's key as needed; Time values beyond n
  // that the key held before are deleted, so the service reads exactly rules.
  void WriteRules(const std::string& user, const std::vector<std::string>& rules);
  // Deletes the user's key with its values; false when there was none. A key
  // that holds subkeys (the configuration has none there) is not deleted: the
  // system refuses, with ERROR_ACCESS_DENIED.
  bool RemoveUser(const std::string& user);
  // Debug (REG_DWORD) and Path (REG_SZ) of the main key, creating it as needed.
  void WriteLevel(int32_t level);
  void WritePath(const std::string& path);
  // WarnMinutes (REG_DWORD) and TimeZone (REG_SZ) of the main key; each Clear
  // deletes the value and is false when there was none.
  void WriteWarnMinutes(int32_t minutes);
  void WriteTimeZone(const std::string& name);
  bool ClearTimeZone();
  // EndAction (REG_SZ) of the main key: kEndActionSignOut or kEndActionPowerOff.
  void WriteEndAction(const std::string& action);
  // A switch of the main key (REG_DWORD: LogonHoursBackstop, KeepUsage): 1 on, 0 off.
  void WriteSwitch(const std::string& name, bool on);
  // AllowUntil (REG_SZ) in the key of a configured user: a user without a key
  // is an error (ERROR_FILE_NOT_FOUND), since extra time alone restricts nobody.
  void WriteExtraTime(const std::string& user, const std::string& until);
  bool ClearExtraTime(const std::string& user);
  // Budget1 .. Budget7 (REG_DWORD minutes) in the key of a configured user from
  // minutes, Monday first; a day with kNoBudget loses its value. The new values
  // are written before the others are deleted. A user without a key is an error
  // (ERROR_FILE_NOT_FOUND), as for extra time.
  void WriteBudgets(const std::string& user, const std::array<int32_t, 7>& minutes);
  // BudgetWeek (REG_DWORD minutes) of a configured user; kNoBudget deletes it.
  void WriteWeekBudget(const std::string& user, int32_t minutes);
  // PinHash (REG_SZ) in the Parent key, created as needed and given its own
  // access list (kParentKeyAccess in winsys/pin.h) before the hash is written.
  void WritePinHash(const std::string& hash);
  // Deletes the PIN; false when there was none.
  bool ClearPin();

  // The installer's undo (nortavelctl installer), kept in a key beside the main
  // key, SnapshotKeyPath(). TakeSnapshot copies the main key's values whole into
  // it, replacing an earlier copy, and notes the keys of the main key's path
  // that do not exist yet. NoteMadeFolder adds a folder made since; false where
  // no snapshot is kept, and nothing is noted then. RestoreSnapshot puts the
  // main key's values back as they were copied, deleting those the copy lacks
  // and rewriting those that differ (their names in changed, as "removed NAME"
  // and "restored NAME"), and gives the folders noted, in the order they were
  // made; false where no snapshot is kept. DropSnapshot deletes the snapshot,
  // and with madeKeys the keys it noted as missing that hold no value or subkey
  // now, innermost first.
  std::string SnapshotKeyPath() const;
  void TakeSnapshot();
  bool NoteMadeFolder(const std::string& folder);
  bool RestoreSnapshot(std::vector<std::string>& folders, std::vector<std::string>& changed);
  void DropSnapshot(bool madeKeys);

 private:
  TOwnedKey CreateKey(const std::string& path, uint32_t access);
  TOwnedKey OpenKey(const std::string& path, uint32_t access);
  void WriteMainValue(const std::string& name, uint32_t type, const std::string& data);
  bool DeleteValue(const std::string& path, const std::string& name);
  // The values of the key at path; none when it does not exist.
  std::vector<TRegistryValue> ValuesOf(const std::string& path);
  void WriteValue(const TOwnedKey& key, const std::string& path, const TRegistryValue& value);
  std::vector<std::string> SnapshotList(const std::string& name);

  TRegistryApi& Registry;
  TConfigLocation Location;
};
