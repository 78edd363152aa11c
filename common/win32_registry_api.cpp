#include "common/registry_api.h"
#include "common/win32.h"

#include <sddl.h>

namespace {
HKEY AsKey(uintptr_t key) { return reinterpret_cast<HKEY>(key); }

// RegDeleteKeyExA exists from 64-bit XP and Vista on; 32-bit XP lacks it and has
// a single view, where RegDeleteKeyA does the same. Looked up once, at run time,
// so the exe still starts there.
using TDeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
TDeleteKeyEx DeleteKeyEx() {
  static const auto call = reinterpret_cast<TDeleteKeyEx>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")));
  return call;
}

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

  int32_t CreateKey(uintptr_t root, const std::string& subKey, uint32_t options, uint32_t access,
                    uintptr_t& key) override {
    HKEY created = nullptr;
    const LONG result =
        RegCreateKeyExA(AsKey(root), subKey.c_str(), 0, nullptr, options, access, nullptr, &created, nullptr);
    key = result == ERROR_SUCCESS ? reinterpret_cast<uintptr_t>(created) : 0;
    return result;
  }

  int32_t SetValue(uintptr_t key, const std::string& name, uint32_t type, const uint8_t* data,
                   uint32_t size) override {
    return RegSetValueExA(AsKey(key), name.c_str(), 0, type, data, size);
  }

  int32_t SetKeyAccess(uintptr_t key, const std::string& sddl) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
      return static_cast<int32_t>(GetLastError());
    const LONG result = RegSetKeySecurity(AsKey(key), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return result;
  }

  int32_t DeleteValue(uintptr_t key, const std::string& name) override {
    return RegDeleteValueA(AsKey(key), name.c_str());
  }

  int32_t DeleteKey(uintptr_t root, const std::string& subKey, uint32_t viewFlag) override {
    if (const TDeleteKeyEx deleteKeyEx = DeleteKeyEx()) return deleteKeyEx(AsKey(root), subKey.c_str(), viewFlag, 0);
    return RegDeleteKeyA(AsKey(root), subKey.c_str());
  }

  int32_t EnumValue(uintptr_t key, uint32_t index, char* name, uint32_t& nameLength, uint32_t* type, uint8_t* data,
                    uint32_t* size) override {
    DWORD length = nameLength;
    DWORD valueType = 0;
    DWORD dataSize = size != nullptr ? *size : 0;
    const LONG result = RegEnumValueA(AsKey(key), index, name, &length, nullptr,
                                      type != nullptr ? &valueType : nullptr, data,
                                      size != nullptr ? &dataSize : nullptr);
    nameLength = length;
    if (type != nullptr) *type = valueType;
    if (size != nullptr) *size = dataSize;
    return result;
  }
};
}  // namespace

TRegistryApi& PlatformRegistry() {
  static TWin32Registry api;
  return api;
}
