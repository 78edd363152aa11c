#pragma once
// TRegistry: the registry accessor of one configuration load. It reads below one
// root key and holds at most one current key, which it owns: opening another key
// closes the previous one, and the destructor closes whatever is still open, so
// an error raised in the middle of a load leaks no handle.
//
// Paths are absolute below the root and may start with a backslash, which is
// dropped before the system sees the path; a trailing backslash is passed on.
// Thread: that of the load that created it; not shared.

#include <cstdint>
#include <string>
#include <vector>

#include "common/exceptions.h"
#include "common/owned.h"
#include "common/registry_api.h"
#include "common/string_list.h"

using TOwnedKey = TOwned<TRegistryApi, &TRegistryApi::CloseKey>;

// One value of a key, as stored: strings keep their terminating zero, if any.
struct TRegistryValue {
  std::string Name;
  uint32_t Type = 0;
  std::string Data;
};

// Replaces values with those of key (opened with KEY_QUERY_VALUE), in the order
// the registry enumerates them. Returns 0, or the Windows error code of the
// enumeration, with values holding those read before it.
int32_t ListKeyValues(TRegistryApi& api, uintptr_t key, std::vector<TRegistryValue>& values);

// The error to raise for a failed registry call: "<what>: <system text>" with
// the code, or "<what>: error <code>" where the system has no text for it.
EOSError RegistryError(int32_t code, const std::string& what);

class TRegistry {
 public:
  // Opens the existence test: query values and enumerate subkeys.
  static constexpr uint32_t kExistsAccess = TRegistryApi::kKeyQueryAndEnumerate;
  // The masks tried in turn when opening for reading.
  static constexpr uint32_t kReadAccess[] = {TRegistryApi::kKeyRead, TRegistryApi::kKeyQueryAndEnumerate,
                                             TRegistryApi::kKeyQueryValue};
  // Room for the longest key name (255 characters) in a double-byte code page,
  // with its terminator.
  static constexpr uint32_t kMaxKeyNameBytes = 2 * 255 + 1;

  // viewFlag (KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0) is added to every access
  // mask, so every key opened lies in that registry view.
  TRegistry(TRegistryApi& api, uintptr_t rootKey, uint32_t viewFlag = 0);

  // Whether path can be opened with kExistsAccess; the key is closed at once and
  // the current key is left alone.
  bool KeyExists(const std::string& path);

  // Opens path with the first of kReadAccess that the system grants. On success
  // the key becomes the current key and the previous one is closed; on failure
  // the current key stays as it was.
  bool OpenForReading(const std::string& path);

  // Whether the current key holds a value of that name (no data is fetched).
  bool ValueExists(const std::string& name);

  // A REG_DWORD value as a signed 32-bit integer; data shorter than 4 bytes
  // reads the missing high bytes as zero. Raises ERegistryException: "Failed to
  // get data for '<name>'" when the data cannot be fetched into 4 bytes, "Invalid
  // data type for '<name>'" for any other type.
  int32_t ReadInteger(const std::string& name);

  // A REG_SZ or REG_EXPAND_SZ value, environment references left as they are,
  // up to its first zero byte or the end of its data, whichever comes first. A
  // size that cannot be read or is 0 gives the empty string. Raises
  // ERegistryException as ReadInteger does, for any type but the two string types.
  std::string ReadString(const std::string& name);

  // Replaces the entries of list with the names of the current key's subkeys, in
  // the order the registry enumerates them. Stays empty when the key cannot be
  // queried; an index that cannot be read (a subkey deleted meanwhile) is skipped.
  void ListSubkeyNames(TStringList& list);

  // The current key's values with their types and raw data, in the order the
  // registry enumerates them; empty when there is no current key. Raises
  // EOSError with the Windows error code when they cannot be enumerated:
  // "Cannot list the values of <path>: <system text>".
  std::vector<TRegistryValue> ListValues();

  // Closes the current key, if any.
  void Close();

 private:
  static std::string BelowRoot(const std::string& path);

  TRegistryApi& Api;
  uintptr_t RootKey;
  uint32_t ViewFlag;
  TOwnedKey Current;
  std::string CurrentPath;  // as OpenForReading was given it
};
