#include "tests/fakes/fake_registry.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {
constexpr int32_t kErrorKeyDeleted = 1018;
constexpr uint8_t kScribble = 0xCC;

std::string WithoutTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}
}  // namespace

std::string TFakeRegistry::Fold(const std::string& text) {
  std::string folded = text;
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

TFakeRegistry::TKey* TFakeRegistry::Find(const std::string& foldedPath) {
  const auto it = Keys.find(foldedPath);
  return it == Keys.end() ? nullptr : &it->second;
}

TFakeRegistry::TKey& TFakeRegistry::Get(const std::string& path) {
  AddKey(path);
  return Keys[Fold(WithoutTrailingBackslash(path))];
}

TFakeRegistry::TValue* TFakeRegistry::FindValue(TKey& key, const std::string& name) {
  for (TValue& value : key.Values)
    if (Fold(value.Name) == Fold(name)) return &value;
  return nullptr;
}

const TFakeRegistry::THandle* TFakeRegistry::HandleOf(uintptr_t key) const {
  const auto it = Handles.find(key);
  return it == Handles.end() ? nullptr : &it->second;
}

void TFakeRegistry::AddKey(const std::string& path) {
  const std::string whole = WithoutTrailingBackslash(path);
  std::string parent;
  Keys[parent];
  size_t start = 0;
  while (start <= whole.size()) {
    const size_t end = std::min(whole.find('\\', start), whole.size());
    const std::string name = whole.substr(start, end - start);
    const std::string folded = Fold(whole.substr(0, end));
    TKey& parentKey = Keys[parent];
    const bool known = std::any_of(parentKey.Subkeys.begin(), parentKey.Subkeys.end(),
                                   [&](const std::string& s) { return Fold(s) == Fold(name); });
    if (!known) parentKey.Subkeys.push_back(name);
    Keys[folded];
    parent = folded;
    start = end + 1;
  }
}

void TFakeRegistry::RemoveKey(const std::string& path) {
  const std::string folded = Fold(WithoutTrailingBackslash(path));
  for (auto it = Keys.begin(); it != Keys.end();) {
    const bool below = it->first == folded || it->first.compare(0, folded.size() + 1, folded + "\\") == 0;
    it = below ? Keys.erase(it) : std::next(it);
  }
  const size_t cut = folded.rfind('\\');
  const std::string parent = cut == std::string::npos ? std::string() : folded.substr(0, cut);
  const std::string name = cut == std::string::npos ? folded : folded.substr(cut + 1);
  if (TKey* parentKey = Find(parent)) {
    auto& names = parentKey->Subkeys;
    names.erase(std::remove_if(names.begin(), names.end(), [&](const std::string& s) { return Fold(s) == name; }),
                names.end());
  }
}

void TFakeRegistry::SetValue(const std::string& path, const std::string& name, uint32_t type,
                             const std::string& data) {
  Store(Get(path), name, type, data);
}

void TFakeRegistry::Store(TKey& key, const std::string& name, uint32_t type, const std::string& data) {
  if (TValue* value = FindValue(key, name)) {
    value->Type = type;
    value->Data = data;
  } else {
    key.Values.push_back(TValue{name, type, data});
  }
}

void TFakeRegistry::SetDword(const std::string& path, const std::string& name, uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  SetValue(path, name, kRegDword, data);
}

void TFakeRegistry::SetString(const std::string& path, const std::string& name, const std::string& text,
                              uint32_t type) {
  SetValue(path, name, type, text + std::string(1, '\0'));
}

void TFakeRegistry::RemoveValue(const std::string& path, const std::string& name) {
  if (TKey* key = Find(Fold(WithoutTrailingBackslash(path))))
    key->Values.erase(std::remove_if(key->Values.begin(), key->Values.end(),
                                     [&](const TValue& v) { return Fold(v.Name) == Fold(name); }),
                      key->Values.end());
}

void TFakeRegistry::FailOpen(const std::string& path, int32_t result, std::set<uint32_t> masks, int fromCall) {
  OpenFaults[Fold(WithoutTrailingBackslash(path))] = TOpenFault{result, std::move(masks), fromCall};
}

void TFakeRegistry::FailQueryValue(const std::string& name, int32_t result, int fromCall) {
  QueryFaults[Fold(name)] = TCountedFault{result, fromCall};
}

void TFakeRegistry::FailQueryInfo(const std::string& path, int32_t result) {
  InfoFaults[Fold(WithoutTrailingBackslash(path))] = result;
}

void TFakeRegistry::FailEnumIndex(uint32_t index, int32_t result) { EnumFaults[index] = result; }

void TFakeRegistry::FailCall(TOp op, const std::string& target, int32_t result) {
  CallFaults[{op, Fold(WithoutTrailingBackslash(target))}] = result;
}

int32_t TFakeRegistry::FaultOf(TOp op, const std::string& target) const {
  const auto fault = CallFaults.find({op, Fold(WithoutTrailingBackslash(target))});
  return fault == CallFaults.end() ? kErrorSuccess : fault->second;
}

std::vector<TRegistryValue> TFakeRegistry::ValuesOf(const std::string& path) {
  std::vector<TRegistryValue> values;
  if (TKey* key = Find(Fold(WithoutTrailingBackslash(path))))
    for (const TValue& value : key->Values) values.push_back(TRegistryValue{value.Name, value.Type, value.Data});
  return values;
}

bool TFakeRegistry::HasKey(const std::string& path) { return Find(Fold(WithoutTrailingBackslash(path))) != nullptr; }

void TFakeRegistry::GrowAfterSizeQuery(const std::string& path, const std::string& name, const std::string& grown) {
  Growth[Fold(WithoutTrailingBackslash(path)) + "\n" + Fold(name)] = grown;
}

std::vector<TFakeRegistry::TCall> TFakeRegistry::CallsOf(TOp op) const {
  std::vector<TCall> selected;
  std::copy_if(Calls.begin(), Calls.end(), std::back_inserter(selected), [op](const TCall& c) { return c.Op == op; });
  return selected;
}

int32_t TFakeRegistry::Record(TCall call) {
  Calls.push_back(call);
  return call.Result;
}

uint32_t TFakeRegistry::NameLength(const std::string& name) {
  uint32_t length = 0;
  for (size_t i = 0; i < name.size(); ++length)
    i += LeadByteTest()(static_cast<uint8_t>(name[i])) && i + 1 < name.size() ? 2 : 1;
  return length;
}

// A leading backslash or an empty level names no key.
bool TFakeRegistry::IsMalformed(const std::string& foldedPath) {
  return foldedPath.empty() || foldedPath.front() == '\\' || foldedPath.find("\\\\") != std::string::npos;
}

bool TFakeRegistry::AdmitValueCall(TCall& call, uint32_t neededAccess, TKey*& stored) {
  call.Result = KeyOf(call.Key, neededAccess, stored);
  if (call.Result == kErrorSuccess) call.Result = FaultOf(call.Op, call.Target);
  return call.Result == kErrorSuccess;
}

int32_t TFakeRegistry::KeyOf(uintptr_t handle, uint32_t neededAccess, TKey*& key) {
  key = nullptr;
  const THandle* opened = HandleOf(handle);
  if (opened == nullptr) return kErrorInvalidHandle;
  if ((opened->Access & neededAccess) == 0) return kErrorAccessDenied;
  key = Find(opened->Path);
  return key == nullptr ? kErrorKeyDeleted : kErrorSuccess;
}

bool TFakeRegistry::IsLeadByte932(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

int32_t TFakeRegistry::OpenKey(uintptr_t root, const std::string& subKey, uint32_t access, uintptr_t& key) {
  TCall call(TOp::Open);
  call.Key = root;
  call.Target = subKey;
  call.Access = access;
  key = 0;
  if (root != kLocalMachine) {
    call.Result = kErrorInvalidHandle;
    return Record(call);
  }
  const std::string path = Fold(WithoutTrailingBackslash(subKey));
  const int count = ++OpenCounts[path];
  const auto fault = OpenFaults.find(path);
  if (fault != OpenFaults.end() && count >= fault->second.FromCall &&
      (fault->second.Masks.empty() || fault->second.Masks.count(access) != 0)) {
    call.Result = fault->second.Result;
  } else if (IsMalformed(path) || !Find(path)) {
    call.Result = kErrorFileNotFound;
  } else {
    key = NextHandle;
    NextHandle += 4;
    Handles[key] = THandle{path, access};
    call.Opened = key;
  }
  return Record(call);
}

int32_t TFakeRegistry::QueryValue(uintptr_t key, const std::string& name, uint32_t* type, uint8_t* data,
                                  uint32_t* size) {
  TCall call(TOp::QueryValue);
  call.Key = key;
  call.Target = name;
  call.WithData = data != nullptr;
  call.WithSize = size != nullptr;
  call.Room = size != nullptr ? *size : 0;
  const THandle* handle = HandleOf(key);
  const int count = ++QueryCounts[Fold(name)];
  const auto fault = QueryFaults.find(Fold(name));
  TKey* stored = handle != nullptr ? Find(handle->Path) : nullptr;
  TValue* value = stored != nullptr ? FindValue(*stored, name) : nullptr;

  if (handle == nullptr) {
    call.Result = kErrorInvalidHandle;
  } else if ((handle->Access & kKeyQueryValue) == 0) {
    call.Result = kErrorAccessDenied;
  } else if (fault != QueryFaults.end() && count >= fault->second.FromCall) {
    call.Result = fault->second.Result;
  } else if (stored == nullptr) {
    call.Result = kErrorKeyDeleted;
  } else if (value == nullptr) {
    call.Result = kErrorFileNotFound;
  } else if (data != nullptr && size == nullptr) {
    call.Result = kErrorInvalidParameter;
  } else {
    if (type != nullptr) *type = value->Type;
    const uint32_t length = static_cast<uint32_t>(value->Data.size());
    if (data == nullptr) {
      if (size != nullptr) *size = length;
      const auto grow = Growth.find(handle->Path + "\n" + Fold(name));
      if (grow != Growth.end()) {
        value->Data = grow->second;
        Growth.erase(grow);
      }
    } else if (*size < length) {
      std::memset(data, kScribble, *size);
      *size = length;
      call.Result = kErrorMoreData;
    } else {
      std::memcpy(data, value->Data.data(), length);
      *size = length;
    }
  }
  return Record(call);
}

int32_t TFakeRegistry::QueryKeyInfo(uintptr_t key, uint32_t& subKeys, uint32_t& maxSubKeyLength) {
  TCall call(TOp::QueryInfo);
  call.Key = key;
  const THandle* handle = HandleOf(key);
  if (handle != nullptr) call.Target = handle->Path;
  TKey* stored = handle != nullptr ? Find(handle->Path) : nullptr;
  const auto fault = handle != nullptr ? InfoFaults.find(handle->Path) : InfoFaults.end();

  if (handle == nullptr) {
    call.Result = kErrorInvalidHandle;
  } else if ((handle->Access & kKeyQueryValue) == 0) {
    call.Result = kErrorAccessDenied;
  } else if (fault != InfoFaults.end()) {
    call.Result = fault->second;
  } else if (stored == nullptr) {
    call.Result = kErrorKeyDeleted;
  } else {
    subKeys = static_cast<uint32_t>(stored->Subkeys.size());
    maxSubKeyLength = 0;
    for (const std::string& name : stored->Subkeys) maxSubKeyLength = std::max(maxSubKeyLength, NameLength(name));
  }
  return Record(call);
}

int32_t TFakeRegistry::EnumKey(uintptr_t key, uint32_t index, char* name, uint32_t& nameLength) {
  TCall call(TOp::EnumKey);
  call.Key = key;
  call.Index = index;
  call.Room = nameLength;
  const THandle* handle = HandleOf(key);
  TKey* stored = handle != nullptr ? Find(handle->Path) : nullptr;
  const auto fault = EnumFaults.find(index);

  if (handle == nullptr) {
    call.Result = kErrorInvalidHandle;
  } else if ((handle->Access & kKeyEnumerateSubKeys) == 0) {
    call.Result = kErrorAccessDenied;
  } else if (fault != EnumFaults.end()) {
    call.Result = fault->second;
  } else if (stored == nullptr) {
    call.Result = kErrorKeyDeleted;
  } else if (index >= stored->Subkeys.size()) {
    call.Result = kErrorNoMoreItems;
  } else {
    const std::string& subkey = stored->Subkeys[index];
    if (subkey.size() + 1 > nameLength) {
      std::memset(name, kScribble, nameLength);
      call.Result = kErrorMoreData;
    } else {
      std::memcpy(name, subkey.c_str(), subkey.size() + 1);
      nameLength = static_cast<uint32_t>(subkey.size());
    }
  }
  return Record(call);
}

int32_t TFakeRegistry::CloseKey(uintptr_t key) {
  TCall call(TOp::Close);
  call.Key = key;
  if (Handles.erase(key) == 0) {
    ++BadCloses;
    call.Result = kErrorInvalidHandle;
  }
  return Record(call);
}

int32_t TFakeRegistry::CreateKey(uintptr_t root, const std::string& subKey, uint32_t, uint32_t access,
                                 uintptr_t& key) {
  TCall call(TOp::Create);
  call.Key = root;
  call.Target = subKey;
  call.Access = access;
  key = 0;
  const std::string path = Fold(WithoutTrailingBackslash(subKey));
  const int32_t fault = FaultOf(TOp::Create, subKey);
  if (root != kLocalMachine) {
    call.Result = kErrorInvalidHandle;
  } else if (fault != kErrorSuccess) {
    call.Result = fault;
  } else if (IsMalformed(path)) {
    call.Result = kErrorInvalidParameter;
  } else {
    AddKey(subKey);  // the new levels keep the case they were given
    key = NextHandle;
    NextHandle += 4;
    Handles[key] = THandle{path, access};
    call.Opened = key;
  }
  return Record(call);
}

int32_t TFakeRegistry::SetValue(uintptr_t key, const std::string& name, uint32_t type, const uint8_t* data,
                                uint32_t size) {
  TCall call(TOp::SetValue);
  call.Key = key;
  call.Target = name;
  TKey* stored = nullptr;
  if (AdmitValueCall(call, kKeySetValue, stored))
    Store(*stored, name, type, std::string(reinterpret_cast<const char*>(data), size));
  return Record(call);
}

int32_t TFakeRegistry::DeleteValue(uintptr_t key, const std::string& name) {
  TCall call(TOp::DeleteValue);
  call.Key = key;
  call.Target = name;
  TKey* stored = nullptr;
  if (AdmitValueCall(call, kKeySetValue, stored)) {
    const auto it = std::find_if(stored->Values.begin(), stored->Values.end(),
                                 [&](const TValue& v) { return Fold(v.Name) == Fold(name); });
    if (it == stored->Values.end())
      call.Result = kErrorFileNotFound;
    else
      stored->Values.erase(it);
  }
  return Record(call);
}

int32_t TFakeRegistry::SetKeyAccess(uintptr_t key, const std::string& sddl) {
  const THandle* handle = HandleOf(key);
  if (handle == nullptr) return kErrorInvalidHandle;
  if ((handle->Access & kWriteDac) == 0) return kErrorAccessDenied;
  Access[handle->Path] = sddl;
  return kErrorSuccess;
}

int32_t TFakeRegistry::DeleteKey(uintptr_t root, const std::string& subKey, uint32_t viewFlag) {
  TCall call(TOp::DeleteKey);
  call.Key = root;
  call.Target = subKey;
  call.Access = viewFlag;
  const std::string path = Fold(WithoutTrailingBackslash(subKey));
  TKey* stored = IsMalformed(path) ? nullptr : Find(path);
  const int32_t fault = FaultOf(TOp::DeleteKey, subKey);
  if (root != kLocalMachine) {
    call.Result = kErrorInvalidHandle;
  } else if (fault != kErrorSuccess) {
    call.Result = fault;
  } else if (stored == nullptr) {
    call.Result = kErrorFileNotFound;
  } else if (!stored->Subkeys.empty()) {
    call.Result = kErrorAccessDenied;  // as the system refuses a key with subkeys
  } else {
    RemoveKey(path);
  }
  return Record(call);
}

int32_t TFakeRegistry::EnumValue(uintptr_t key, uint32_t index, char* name, uint32_t& nameLength, uint32_t* type,
                                 uint8_t* data, uint32_t* size) {
  TCall call(TOp::EnumValue);
  call.Key = key;
  call.Index = index;
  call.Room = size != nullptr ? *size : 0;
  TKey* stored = nullptr;
  const THandle* handle = HandleOf(key);
  if ((call.Result = KeyOf(key, kKeyQueryValue, stored)) != kErrorSuccess) return Record(call);
  if ((call.Result = FaultOf(TOp::EnumValue, handle->Path)) != kErrorSuccess) return Record(call);
  if (index >= stored->Values.size()) {
    call.Result = kErrorNoMoreItems;
    return Record(call);
  }
  const TValue& value = stored->Values[index];
  const uint32_t length = static_cast<uint32_t>(value.Data.size());
  if (data != nullptr && size == nullptr) {
    call.Result = kErrorInvalidParameter;
  } else if (value.Name.size() + 1 > nameLength || (data != nullptr && *size < length)) {
    std::memset(name, kScribble, nameLength);
    if (data != nullptr) std::memset(data, kScribble, *size);
    if (size != nullptr) *size = length;
    call.Result = kErrorMoreData;
  } else {
    std::memcpy(name, value.Name.c_str(), value.Name.size() + 1);
    nameLength = static_cast<uint32_t>(value.Name.size());
    if (type != nullptr) *type = value.Type;
    if (data != nullptr) std::memcpy(data, value.Data.data(), length);
    if (size != nullptr) *size = length;
  }
  return Record(call);
}
