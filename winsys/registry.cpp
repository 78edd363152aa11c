#include "winsys/registry.h"

#include <algorithm>
#include <vector>

#include "common/exceptions.h"

namespace {
constexpr char kMsgFailedToGetData[] = "Failed to get data for '%s'";
constexpr char kMsgInvalidDataType[] = "Invalid data type for '%s'";

// A value that keeps growing while it is read is given up on after this many
// attempts, as data that cannot be fetched.
constexpr int kReadAttempts = 8;

[[noreturn]] void Raise(const char* pattern, const std::string& name) {
  std::string message = pattern;
  message.replace(message.find("%s"), 2, name);
  throw ERegistryException(message);
}

bool IsStringType(uint32_t type) { return type == TRegistryApi::kRegSz || type == TRegistryApi::kRegExpandSz; }
}  // namespace

TRegistry::TRegistry(TRegistryApi& api, uintptr_t rootKey, uint32_t viewFlag)
    : Api(api), RootKey(rootKey), ViewFlag(viewFlag) {}

std::string TRegistry::BelowRoot(const std::string& path) {
  return !path.empty() && path.front() == '\\' ? path.substr(1) : path;
}

bool TRegistry::KeyExists(const std::string& path) {
  uintptr_t key = 0;
  if (Api.OpenKey(RootKey, BelowRoot(path), kExistsAccess | ViewFlag, key) != TRegistryApi::kErrorSuccess) return false;
  TOwnedKey probe(Api, key);
  return true;
}

bool TRegistry::OpenForReading(const std::string& path) {
  const std::string subKey = BelowRoot(path);
  for (const uint32_t access : kReadAccess) {
    uintptr_t key = 0;
    if (Api.OpenKey(RootKey, subKey, access | ViewFlag, key) == TRegistryApi::kErrorSuccess) {
      Current = TOwnedKey(Api, key);  // the move closes the previous key
      return true;
    }
  }
  return false;
}

bool TRegistry::ValueExists(const std::string& name) {
  if (!Current) return false;
  return Api.QueryValue(Current.Get(), name, nullptr, nullptr, nullptr) == TRegistryApi::kErrorSuccess;
}

int32_t TRegistry::ReadInteger(const std::string& name) {
  if (!Current) Raise(kMsgFailedToGetData, name);
  uint8_t data[4] = {};
  uint32_t type = 0;
  uint32_t size = sizeof data;
  // Data larger than 4 bytes (a REG_QWORD, a string of several characters) does
  // not fit and comes back as kErrorMoreData: it cannot be fetched.
  if (Api.QueryValue(Current.Get(), name, &type, data, &size) != TRegistryApi::kErrorSuccess)
    Raise(kMsgFailedToGetData, name);
  if (type != TRegistryApi::kRegDword) Raise(kMsgInvalidDataType, name);
  // Bytes the value does not have count as zero, whatever the call left there.
  for (uint32_t i = std::min<uint32_t>(size, sizeof data); i < sizeof data; ++i) data[i] = 0;
  const uint32_t value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                         static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
  return static_cast<int32_t>(value);
}

std::string TRegistry::ReadString(const std::string& name) {
  if (!Current) Raise(kMsgFailedToGetData, name);
  uint32_t type = 0;
  uint32_t size = 0;
  if (Api.QueryValue(Current.Get(), name, &type, nullptr, &size) != TRegistryApi::kErrorSuccess || size == 0)
    return {};

  std::vector<uint8_t> data;
  for (int attempt = 1;; ++attempt) {
    data.assign(size, 0);
    uint32_t fetched = size;
    const int32_t result = Api.QueryValue(Current.Get(), name, &type, data.data(), &fetched);
    // The value grew after its size was read: the call reports the new size.
    if (result == TRegistryApi::kErrorMoreData && fetched > size && attempt < kReadAttempts) {
      size = fetched;
      continue;
    }
    if (result != TRegistryApi::kErrorSuccess) Raise(kMsgFailedToGetData, name);
    if (!IsStringType(type)) Raise(kMsgInvalidDataType, name);
    // The data need not end with a zero, may have any length and may hold zeros:
    // only the bytes the call returned, up to the first zero, are text.
    const auto end = data.begin() + std::min<size_t>(fetched, data.size());
    return std::string(data.begin(), std::find(data.begin(), end, uint8_t{0}));
  }
}

void TRegistry::ListSubkeyNames(TStringList& list) {
  list.Clear();
  if (!Current) return;
  uint32_t count = 0;
  uint32_t longest = 0;
  if (Api.QueryKeyInfo(Current.Get(), count, longest) != TRegistryApi::kErrorSuccess) return;

  const uint32_t room = std::min<uint32_t>(longest, kMaxKeyNameBytes - 1) + 1;
  std::vector<char> name;
  for (uint32_t index = 0; index < count; ++index) {
    name.assign(room, '\0');
    uint32_t length = room;
    int32_t result = Api.EnumKey(Current.Get(), index, name.data(), length);
    if (result == TRegistryApi::kErrorMoreData && room < kMaxKeyNameBytes) {
      // The system counts the longest name in characters; in a double-byte code
      // page the name can need twice as many bytes (and a subkey renamed
      // meanwhile may be longer). Without this the user would silently vanish.
      name.assign(kMaxKeyNameBytes, '\0');
      length = kMaxKeyNameBytes;
      result = Api.EnumKey(Current.Get(), index, name.data(), length);
    }
    if (result != TRegistryApi::kErrorSuccess) continue;  // deleted meanwhile: its text is undefined
    list.Add(std::string(name.data(), std::min<size_t>(length, name.size() - 1)));
  }
}

void TRegistry::Close() { Current.Reset(); }
