#include "winsys/registry_api.h"
#include "common/win32.h"

namespace {
HKEY AsKey(uintptr_t key) { return reinterpret_cast<HKEY>(key); }

class TWin32Registry : public TRegistryApi {
 public:
  int32_t OpenKey(uintptr_t root, const std::string& subKey, uint32_t access, uintptr_t& key) override {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(AsKey(root), subKey.c_str(), 0, access, &opened);
    key = result == ERROR_SUCCESS ? reinterpret_cast<uintptr_t>(opened) : 0;
    return result;
  }

  int32_t QueryValue(uintptr_t key, const std::string& name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    // DWORD is unsigned long with MinGW: copy through locals of the exact type.
    DWORD valueType = 0;
    DWORD dataSize = size != nullptr ? *size : 0;
    const LONG result = RegQueryValueExA(AsKey(key), name.c_str(), nullptr, type != nullptr ? &valueType : nullptr,
                                         data, size != nullptr ? &dataSize : nullptr);
    if (type != nullptr) *type = valueType;
    if (size != nullptr) *size = dataSize;
    return result;
  }

  int32_t QueryKeyInfo(uintptr_t key, uint32_t& subKeys, uint32_t& maxSubKeyLength) override {
    DWORD count = 0;
    DWORD longest = 0;
    const LONG result = RegQueryInfoKeyA(AsKey(key), nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr);
    subKeys = count;
    maxSubKeyLength = longest;
    return result;
  }

  int32_t EnumKey(uintptr_t key, uint32_t index, char* name, uint32_t& nameLength) override {
    DWORD length = nameLength;
    const LONG result = RegEnumKeyExA(AsKey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    nameLength = length;
    return result;
  }

  int32_t CloseKey(uintptr_t key) override {
    const LONG result = KeepingLastError([&] { return RegCloseKey(AsKey(key)); });
    return result;
  }
};
}  // namespace

TRegistryApi& PlatformRegistry() {
  static TWin32Registry api;
  return api;
}
