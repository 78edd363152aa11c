#include "winsys/config_writer.h"

#include <algorithm>

#include "common/text.h"
#include "winsys/pin.h"
#include "winsys/registry.h"

namespace {
constexpr uint32_t kErrorInvalidName = 123;  // ERROR_INVALID_NAME
// The snapshot's key is the main key's name with this after it; in it the
// copied values, and the lists of keys and folders made.
constexpr char kSnapshotSuffix[] = ".install";
constexpr char kSnapshotValuesKey[] = "Values\\";
constexpr char kMadeKeysValue[] = "MadeKeys";
constexpr char kMadeFoldersValue[] = "MadeFolders";
constexpr uint32_t kUserKeyAccess = TRegistryApi::kKeyQueryValue | TRegistryApi::kKeySetValue;

// A path of the location (leading and trailing backslash) as the calls take it
// below the root: a trailing backslash would name an empty last level.
std::string BelowRoot(const std::string& path) {
  const size_t first = !path.empty() && path.front() == '\\' ? 1 : 0;
  const size_t last = path.size() > first && path.back() == '\\' ? path.size() - 1 : path.size();
  return path.substr(first, last - first);
}

// A key as messages show it, in the form the service's log uses.
std::string Shown(const std::string& path) { return "\\" + BelowRoot(path); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether the service would read the value as Time<m> for some m > count: value
// names compare ignoring case, and the service asks for "Time" and m in decimal
// without leading zeros. The digits are compared as text, so no number of them
// overflows.
bool IsTimeValueBeyond(const std::string& name, size_t count) {
  const std::string prefix = kTimeValuePrefix;
  if (name.size() <= prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Upper(name[i]) != Upper(prefix[i])) return false;
  const std::string digits = name.substr(prefix.size());
  for (const char c : digits)
    if (!IsDigit(c)) return false;
  if (digits.front() == '0') return false;
  const std::string limit = std::to_string(count);
  return digits.size() != limit.size() ? digits.size() > limit.size() : digits > limit;
}

// A name that is empty, holds a backslash (a deeper key) or a zero character
// (the call would see a prefix of it) names another key than the user's.
void CheckUserName(const std::string& user) {
  if (user.empty() || user.find('\\') != std::string::npos || user.find('\0') != std::string::npos)
    throw EOSError(kErrorInvalidName, "Invalid user name '" + user + "'");
}

const uint8_t* Bytes(const std::string& data) { return reinterpret_cast<const uint8_t*>(data.data()); }

std::string StringData(const std::string& text) { return text + '\0'; }

// REG_MULTI_SZ data: each text ended by a zero, and a zero after the last.
std::string ListData(const std::vector<std::string>& texts) {
  std::string data;
  for (const std::string& text : texts) data += StringData(text);
  return data + '\0';
}

std::vector<std::string> ListOfData(const std::string& data) {
  std::vector<std::string> texts;
  for (size_t at = 0; at < data.size() && data[at] != '\0';) {
    const size_t end = std::min(data.find('\0', at), data.size());
    texts.push_back(data.substr(at, end - at));
    at = end + 1;
  }
  return texts;
}

const TRegistryValue* Named(const std::vector<TRegistryValue>& values, const std::string& name) {
  for (const TRegistryValue& value : values)
    if (AsciiSameText(value.Name, name)) return &value;
  return nullptr;
}

// The key above path, with its closing backslash; empty above a top key.
std::string ParentOf(const std::string& path) {
  const std::string below = BelowRoot(path);
  const size_t last = below.rfind('\\');
  return last == std::string::npos ? "" : "\\" + below.substr(0, last + 1);
}

// REG_DWORD data: little-endian.
std::string DwordData(int32_t number) {
  const uint32_t value = static_cast<uint32_t>(number);
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  return data;
}
}  // namespace

TConfigWriter::TConfigWriter(TRegistryApi& registry, const TConfigLocation& location)
    : Registry(registry), Location(location) {}

TOwnedKey TConfigWriter::CreateKey(const std::string& path, uint32_t access) {
  uintptr_t key = 0;
  const int32_t result = Registry.CreateKey(Location.RootKey, BelowRoot(path), TRegistryApi::kOptionNonVolatile,
                                            access | static_cast<uint32_t>(Location.View), key);
  if (result != TRegistryApi::kErrorSuccess) throw RegistryError(result, "Cannot create key " + Shown(path));
  return TOwnedKey(Registry, key);
}

TOwnedKey TConfigWriter::OpenKey(const std::string& path, uint32_t access) {
  uintptr_t key = 0;
  const int32_t result =
      Registry.OpenKey(Location.RootKey, BelowRoot(path), access | static_cast<uint32_t>(Location.View), key);
  if (result != TRegistryApi::kErrorSuccess) throw RegistryError(result, "Cannot open key " + Shown(path));
  return TOwnedKey(Registry, key);
}

bool TConfigWriter::DeleteValue(const std::string& path, const std::string& name) {
  uintptr_t opened = 0;
  const int32_t open =
      Registry.OpenKey(Location.RootKey, BelowRoot(path), kUserKeyAccess | static_cast<uint32_t>(Location.View), opened);
  if (open == TRegistryApi::kErrorFileNotFound) return false;
  if (open != TRegistryApi::kErrorSuccess) throw RegistryError(open, "Cannot open key " + Shown(path));
  const TOwnedKey key(Registry, opened);
  const int32_t result = Registry.DeleteValue(key.Get(), name);
  if (result == TRegistryApi::kErrorFileNotFound) return false;
  if (result != TRegistryApi::kErrorSuccess) throw RegistryError(result, "Cannot delete " + name + " in " + Shown(path));
  return true;
}

void TConfigWriter::WriteMainValue(const std::string& name, uint32_t type, const std::string& data) {
  const TOwnedKey key = CreateKey(Location.MainKeyPath, TRegistryApi::kKeySetValue);
  const int32_t result =
      Registry.SetValue(key.Get(), name, type, Bytes(data), static_cast<uint32_t>(data.size()));
  if (result != TRegistryApi::kErrorSuccess)
    throw RegistryError(result, "Cannot write " + name + " in " + Shown(Location.MainKeyPath));
}

void TConfigWriter::WriteRules(const std::string& user, const std::vector<std::string>& rules) {
  CheckUserName(user);
  const TOwnedKey key = CreateKey(Location.RestrictionsKeyPath() + user, kUserKeyAccess);
  const std::string ofUser = " of user " + user;
  // The new rules first: a failure further on leaves them in place.
  for (size_t i = 0; i < rules.size(); ++i) {
    const std::string name = kTimeValuePrefix + std::to_string(i + 1);
    const std::string data = StringData(rules[i]);
    const int32_t result =
        Registry.SetValue(key.Get(), name, TRegistryApi::kRegSz, Bytes(data), static_cast<uint32_t>(data.size()));
    if (result != TRegistryApi::kErrorSuccess) throw RegistryError(result, "Cannot write " + name + ofUser);
  }

  // Names are gathered before deleting: a deletion renumbers the enumeration.
  std::vector<TRegistryValue> values;
  const int32_t listed = ListKeyValues(Registry, key.Get(), values);
  if (listed != TRegistryApi::kErrorSuccess) throw RegistryError(listed, "Cannot list the values" + ofUser);
  for (const TRegistryValue& value : values) {
    if (!IsTimeValueBeyond(value.Name, rules.size())) continue;
    const int32_t result = Registry.DeleteValue(key.Get(), value.Name);
    // Gone meanwhile is what was wanted.
    if (result != TRegistryApi::kErrorSuccess && result != TRegistryApi::kErrorFileNotFound)
      throw RegistryError(result, "Cannot delete " + value.Name + ofUser);
  }
}

bool TConfigWriter::RemoveUser(const std::string& user) {
  CheckUserName(user);
  const std::string path = Location.RestrictionsKeyPath() + user;
  const int32_t result = Registry.DeleteKey(Location.RootKey, BelowRoot(path), static_cast<uint32_t>(Location.View));
  if (result == TRegistryApi::kErrorFileNotFound) return false;
  if (result != TRegistryApi::kErrorSuccess) throw RegistryError(result, "Cannot delete key " + Shown(path));
  return true;
}

void TConfigWriter::WriteLevel(int32_t level) { WriteMainValue(kDebugValue, TRegistryApi::kRegDword, DwordData(level)); }

void TConfigWriter::WriteWarnMinutes(int32_t minutes) {
  WriteMainValue(kWarnMinutesValue, TRegistryApi::kRegDword, DwordData(minutes));
}

void TConfigWriter::WriteTimeZone(const std::string& name) {
  WriteMainValue(kTimeZoneValue, TRegistryApi::kRegSz, StringData(name));
}

bool TConfigWriter::ClearTimeZone() { return DeleteValue(Location.MainKeyPath, kTimeZoneValue); }

void TConfigWriter::WriteEndAction(const std::string& action) {
  WriteMainValue(kEndActionValue, TRegistryApi::kRegSz, StringData(action));
}

void TConfigWriter::WriteSwitch(const std::string& name, bool on) {
  WriteMainValue(name, TRegistryApi::kRegDword, DwordData(on ? 1 : 0));
}

void TConfigWriter::WriteExtraTime(const std::string& user, const std::string& until) {
  CheckUserName(user);
  const TOwnedKey key = OpenKey(Location.RestrictionsKeyPath() + user, TRegistryApi::kKeySetValue);
  const std::string data = StringData(until);
  const int32_t result =
      Registry.SetValue(key.Get(), kAllowUntilValue, TRegistryApi::kRegSz, Bytes(data), static_cast<uint32_t>(data.size()));
  if (result != TRegistryApi::kErrorSuccess)
    throw RegistryError(result, std::string("Cannot write ") + kAllowUntilValue + " of user " + user);
}

bool TConfigWriter::ClearExtraTime(const std::string& user) {
  CheckUserName(user);
  return DeleteValue(Location.RestrictionsKeyPath() + user, kAllowUntilValue);
}

void TConfigWriter::WriteBudgets(const std::string& user, const std::array<int32_t, 7>& minutes) {
  CheckUserName(user);
  const TOwnedKey key = OpenKey(Location.RestrictionsKeyPath() + user, kUserKeyAccess);
  const std::string ofUser = " of user " + user;
  for (size_t day = 0; day < minutes.size(); ++day) {
    if (minutes[day] == kNoBudget) continue;
    const std::string name = kBudgetValuePrefix + std::to_string(day + 1);
    const std::string data = DwordData(minutes[day]);
    const int32_t result =
        Registry.SetValue(key.Get(), name, TRegistryApi::kRegDword, Bytes(data), static_cast<uint32_t>(data.size()));
    if (result != TRegistryApi::kErrorSuccess) throw RegistryError(result, "Cannot write " + name + ofUser);
  }
  for (size_t day = 0; day < minutes.size(); ++day) {
    if (minutes[day] != kNoBudget) continue;
    const std::string name = kBudgetValuePrefix + std::to_string(day + 1);
    const int32_t result = Registry.DeleteValue(key.Get(), name);
    if (result != TRegistryApi::kErrorSuccess && result != TRegistryApi::kErrorFileNotFound)
      throw RegistryError(result, "Cannot delete " + name + ofUser);
  }
}

void TConfigWriter::WriteWeekBudget(const std::string& user, int32_t minutes) {
  CheckUserName(user);
  const TOwnedKey key = OpenKey(Location.RestrictionsKeyPath() + user, kUserKeyAccess);
  const std::string ofUser = " of user " + user;
  if (minutes == kNoBudget) {
    const int32_t result = Registry.DeleteValue(key.Get(), kBudgetWeekValue);
    if (result != TRegistryApi::kErrorSuccess && result != TRegistryApi::kErrorFileNotFound)
      throw RegistryError(result, std::string("Cannot delete ") + kBudgetWeekValue + ofUser);
    return;
  }
  const std::string data = DwordData(minutes);
  const int32_t result = Registry.SetValue(key.Get(), kBudgetWeekValue, TRegistryApi::kRegDword, Bytes(data),
                                           static_cast<uint32_t>(data.size()));
  if (result != TRegistryApi::kErrorSuccess)
    throw RegistryError(result, std::string("Cannot write ") + kBudgetWeekValue + ofUser);
}

void TConfigWriter::WritePinHash(const std::string& hash) {
  const std::string path = Location.MainKeyPath + kParentKeyName + "\\";
  const TOwnedKey key = CreateKey(path, TRegistryApi::kKeySetValue | TRegistryApi::kWriteDac);
  // Shut to users first: the main key's list, which lets them read, is not inherited.
  int32_t result = Registry.SetKeyAccess(key.Get(), kParentKeyAccess);
  if (result != TRegistryApi::kErrorSuccess) throw RegistryError(result, "Cannot set the access list of " + Shown(path));
  const std::string data = StringData(hash);
  result = Registry.SetValue(key.Get(), kPinHashValue, TRegistryApi::kRegSz, Bytes(data), static_cast<uint32_t>(data.size()));
  if (result != TRegistryApi::kErrorSuccess) throw RegistryError(result, std::string("Cannot write ") + kPinHashValue);
}

bool TConfigWriter::ClearPin() { return DeleteValue(Location.MainKeyPath + kParentKeyName + "\\", kPinHashValue); }

void TConfigWriter::WritePath(const std::string& path) {
  WriteMainValue(kPathValue, TRegistryApi::kRegSz, StringData(path));
}

std::vector<TRegistryValue> TConfigWriter::ValuesOf(const std::string& path) {
  TRegistry registry(Registry, Location.RootKey, static_cast<uint32_t>(Location.View));
  return registry.OpenForReading(path) ? registry.ListValues() : std::vector<TRegistryValue>();
}

void TConfigWriter::WriteValue(const TOwnedKey& key, const std::string& path, const TRegistryValue& value) {
  const int32_t result = Registry.SetValue(key.Get(), value.Name, value.Type, Bytes(value.Data),
                                           static_cast<uint32_t>(value.Data.size()));
  if (result != TRegistryApi::kErrorSuccess)
    throw RegistryError(result, "Cannot write " + value.Name + " in " + Shown(path));
}

std::string TConfigWriter::SnapshotKeyPath() const {
  return "\\" + BelowRoot(Location.MainKeyPath) + kSnapshotSuffix + "\\";
}

std::vector<std::string> TConfigWriter::SnapshotList(const std::string& name) {
  const std::vector<TRegistryValue> values = ValuesOf(SnapshotKeyPath());
  const TRegistryValue* list = Named(values, name);
  return list != nullptr && list->Type == TRegistryApi::kRegMultiSz ? ListOfData(list->Data)
                                                                      : std::vector<std::string>();
}

void TConfigWriter::TakeSnapshot() {
  DropSnapshot(false);
  std::vector<std::string> missing;
  TRegistry registry(Registry, Location.RootKey, static_cast<uint32_t>(Location.View));
  for (std::string path = Location.MainKeyPath; !path.empty() && !registry.KeyExists(path); path = ParentOf(path))
    missing.push_back(path);
  const std::vector<TRegistryValue> values = ValuesOf(Location.MainKeyPath);
  const std::string copies = SnapshotKeyPath() + kSnapshotValuesKey;
  const TOwnedKey copy = CreateKey(copies, TRegistryApi::kKeySetValue);
  for (const TRegistryValue& value : values) WriteValue(copy, copies, value);
  const TOwnedKey key = CreateKey(SnapshotKeyPath(), TRegistryApi::kKeySetValue);
  WriteValue(key, SnapshotKeyPath(), TRegistryValue{kMadeKeysValue, TRegistryApi::kRegMultiSz, ListData(missing)});
}

bool TConfigWriter::NoteMadeFolder(const std::string& folder) {
  if (!TRegistry(Registry, Location.RootKey, static_cast<uint32_t>(Location.View)).KeyExists(SnapshotKeyPath()))
    return false;
  std::vector<std::string> folders = SnapshotList(kMadeFoldersValue);
  folders.push_back(folder);
  const TOwnedKey key = OpenKey(SnapshotKeyPath(), TRegistryApi::kKeySetValue);
  WriteValue(key, SnapshotKeyPath(), TRegistryValue{kMadeFoldersValue, TRegistryApi::kRegMultiSz, ListData(folders)});
  return true;
}

bool TConfigWriter::RestoreSnapshot(std::vector<std::string>& folders, std::vector<std::string>& changed) {
  if (!TRegistry(Registry, Location.RootKey, static_cast<uint32_t>(Location.View)).KeyExists(SnapshotKeyPath()))
    return false;
  const std::vector<TRegistryValue> kept = ValuesOf(SnapshotKeyPath() + kSnapshotValuesKey);
  const std::vector<TRegistryValue> now = ValuesOf(Location.MainKeyPath);
  for (const TRegistryValue& value : now) {
    if (Named(kept, value.Name) != nullptr) continue;
    DeleteValue(Location.MainKeyPath, value.Name);
    changed.push_back("removed " + value.Name);
  }
  for (const TRegistryValue& value : kept) {
    const TRegistryValue* current = Named(now, value.Name);
    if (current != nullptr && current->Type == value.Type && current->Data == value.Data) continue;
    WriteValue(CreateKey(Location.MainKeyPath, TRegistryApi::kKeySetValue), Location.MainKeyPath, value);
    changed.push_back("restored " + value.Name);
  }
  folders = SnapshotList(kMadeFoldersValue);
  return true;
}

void TConfigWriter::DropSnapshot(bool madeKeys) {
  const std::vector<std::string> made = madeKeys ? SnapshotList(kMadeKeysValue) : std::vector<std::string>();
  const uint32_t view = static_cast<uint32_t>(Location.View);
  for (const std::string& path : {SnapshotKeyPath() + kSnapshotValuesKey, SnapshotKeyPath()}) {
    const int32_t result = Registry.DeleteKey(Location.RootKey, BelowRoot(path), view);
    if (result != TRegistryApi::kErrorSuccess && result != TRegistryApi::kErrorFileNotFound)
      throw RegistryError(result, "Cannot delete key " + Shown(path));
  }
  // A key that holds something now was made use of meanwhile: it stays, and
  // so does every key above it.
  TRegistry registry(Registry, Location.RootKey, view);
  for (const std::string& path : made) {
    TStringList subkeys;
    if (registry.OpenForReading(path)) registry.ListSubkeyNames(subkeys);
    if (!registry.ListValues().empty() || !subkeys.Empty()) break;
    registry.Close();
    Registry.DeleteKey(Location.RootKey, BelowRoot(path), view);
  }
}
