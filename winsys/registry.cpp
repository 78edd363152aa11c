#include "winsys/registry.h"

#include <algorithm>
#include <vector>

#include "common/exceptions.h"
#include "common/little_endian.h"
#include "common/system_error.h"

namespace {
constexpr char kMsgFailedToGetData[] = "Failed to get data for '%s'";
constexpr char kMsgInvalidDataType[] = "Invalid data type for '%s'";

// A value that keeps growing while it is read is given up on after this many
// attempts, as data that cannot be fetched.
constexpr int kReadAttempts = 8;

// Room for the longest value name (16,383 characters) in a double-byte code
// page, with its terminator: the enumeration never fails for want of name room,
// so kErrorMoreData always means the data.
constexpr uint32_t kMaxValueNameBytes = 2 * 16383 + 1;
constexpr uint32_t kFirstDataRoom = 256;

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
      CurrentPath = path;
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
  return static_cast<int32_t>(LittleEndian(data, std::min<uint32_t>(size, sizeof data)));
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

std::vector<TRegistryValue> TRegistry::ListValues() {
  std::vector<TRegistryValue> values;
  if (!Current) return values;
  const int32_t result = ListKeyValues(Api, Current.Get(), values);
  if (result != TRegistryApi::kErrorSuccess) throw RegistryError(result, "Cannot list the values of " + CurrentPath);
  return values;
}

void TRegistry::Close() { Current.Reset(); }

EOSError RegistryError(int32_t code, const std::string& what) {
  const uint32_t error = static_cast<uint32_t>(code);
  const std::string text = SystemErrorText(error);
  return EOSError(error, what + ": " + (text.empty() ? "error " + std::to_string(error) : text));
}

int32_t ListKeyValues(TRegistryApi& api, uintptr_t key, std::vector<TRegistryValue>& values) {
  values.clear();
  std::vector<char> name(kMaxValueNameBytes);
  std::vector<uint8_t> data(kFirstDataRoom);
  for (uint32_t index = 0;; ++index) {
    uint32_t nameLength = 0;
    uint32_t type = 0;
    uint32_t size = 0;
    int32_t result = TRegistryApi::kErrorMoreData;
    // A value that grows between two attempts reports its new size again.
    for (int attempt = 1; result == TRegistryApi::kErrorMoreData && attempt <= kReadAttempts; ++attempt) {
      if (size > data.size()) data.resize(size);
      nameLength = kMaxValueNameBytes;
      size = static_cast<uint32_t>(data.size());
      result = api.EnumValue(key, index, name.data(), nameLength, &type, data.data(), &size);
    }
    if (result == TRegistryApi::kErrorNoMoreItems) return TRegistryApi::kErrorSuccess;
    // Any other failure would recur at every later index (a key deleted
    // meanwhile, a handle without KEY_QUERY_VALUE): stop at the first.
    if (result != TRegistryApi::kErrorSuccess) return result;
    values.push_back(TRegistryValue{std::string(name.data(), std::min(nameLength, kMaxValueNameBytes - 1)), type,
                                    std::string(data.begin(), data.begin() + std::min<size_t>(size, data.size()))});
  }
}
