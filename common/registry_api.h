#pragma once
// The registry calls behind the configuration loader: the single-byte ("A")
// variants, one method each. The caller passes every argument the calls document
// (root key, access mask, buffer sizes), so tests can check them. Key handles are
// the HKEY values as integers; results are the Windows error codes the calls
// return. Method names avoid the A/W macros of <windows.h>.
//
// The service's access masks carry no KEY_WOW64_* flag: each build reads the
// registry view of its own bitness (the 32-bit exe the 32-bit view, which is
// WOW6432Node on 64-bit Windows; the 64-bit exe the 64-bit view). The
// administration tool adds the flag of the view it was told to use.

#include <cstdint>
#include <string>

class TRegistryApi {
 public:
  // HKEY_LOCAL_MACHINE: (HKEY)(LONG)0x80000002, sign-extended on 64-bit Windows.
  static constexpr uintptr_t kLocalMachine = static_cast<uintptr_t>(static_cast<intptr_t>(INT32_MIN + 2));

  // Access masks.
  static constexpr uint32_t kKeyQueryValue = 0x0001;         // KEY_QUERY_VALUE
  static constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;   // KEY_ENUMERATE_SUB_KEYS
  static constexpr uint32_t kKeyRead = 0x20019;              // KEY_READ
  static constexpr uint32_t kKeyQueryAndEnumerate = 0x20009; // STANDARD_RIGHTS_READ | query | enumerate
  static constexpr uint32_t kKeySetValue = 0x0002;           // KEY_SET_VALUE
  static constexpr uint32_t kKeyWow64_64Key = 0x0100;        // KEY_WOW64_64KEY
  static constexpr uint32_t kKeyWow64_32Key = 0x0200;        // KEY_WOW64_32KEY

  // Key options.
  static constexpr uint32_t kOptionNonVolatile = 0;          // REG_OPTION_NON_VOLATILE

  // Value types.
  static constexpr uint32_t kRegSz = 1;
  static constexpr uint32_t kRegExpandSz = 2;
  static constexpr uint32_t kRegBinary = 3;
  static constexpr uint32_t kRegDword = 4;
  static constexpr uint32_t kRegDwordBigEndian = 5;
  static constexpr uint32_t kRegMultiSz = 7;
  static constexpr uint32_t kRegQword = 11;

  // Results.
  static constexpr int32_t kErrorSuccess = 0;
  static constexpr int32_t kErrorFileNotFound = 2;
  static constexpr int32_t kErrorAccessDenied = 5;
  static constexpr int32_t kErrorInvalidHandle = 6;
  static constexpr int32_t kErrorInvalidParameter = 87;
  static constexpr int32_t kErrorMoreData = 234;
  static constexpr int32_t kErrorNoMoreItems = 259;

  virtual ~TRegistryApi() = default;

  // RegOpenKeyExA(root, subKey, 0, access, &key). key is 0 unless the result is 0.
  virtual int32_t OpenKey(uintptr_t root, const std::string& subKey, uint32_t access, uintptr_t& key) = 0;

  // RegQueryValueExA(key, name, NULL, type, data, size). Any pointer may be null
  // where the call allows it (data without size does not). On kErrorMoreData
  // *size holds the size needed and the buffer's content is undefined.
  virtual int32_t QueryValue(uintptr_t key, const std::string& name, uint32_t* type, uint8_t* data,
                             uint32_t* size) = 0;

  // RegQueryInfoKeyA for the number of subkeys and the length of the longest
  // subkey name (without terminator, as the system counts it); nothing else.
  virtual int32_t QueryKeyInfo(uintptr_t key, uint32_t& subKeys, uint32_t& maxSubKeyLength) = 0;

  // RegEnumKeyExA(key, index, name, &nameLength, NULL, NULL, NULL, NULL).
  // nameLength: in, the room at name including the terminator; out, on success,
  // the name's length without it.
  virtual int32_t EnumKey(uintptr_t key, uint32_t index, char* name, uint32_t& nameLength) = 0;

  // RegCloseKey. Keeps the caller's last-error code.
  virtual int32_t CloseKey(uintptr_t key) = 0;

  // RegCreateKeyExA(root, subKey, 0, NULL, options, access, NULL, &key, NULL):
  // opens the key, creating it and any missing parents. key is 0 unless the
  // result is 0.
  virtual int32_t CreateKey(uintptr_t root, const std::string& subKey, uint32_t options, uint32_t access,
                            uintptr_t& key) = 0;

  // RegSetValueExA(key, name, 0, type, data, size). String data includes its
  // terminating zero in size, as the call documents.
  virtual int32_t SetValue(uintptr_t key, const std::string& name, uint32_t type, const uint8_t* data,
                           uint32_t size) = 0;

  // ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl) and
  // RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor): the key's
  // access list; the key must be open with WRITE_DAC. A Windows error code.
  static constexpr uint32_t kWriteDac = 0x00040000;  // WRITE_DAC
  virtual int32_t SetKeyAccess(uintptr_t key, const std::string& sddl) = 0;

  // RegDeleteValueA(key, name).
  virtual int32_t DeleteValue(uintptr_t key, const std::string& name) = 0;

  // RegDeleteKeyExA(root, subKey, viewFlag, 0): deletes a key that has no
  // subkeys, in the view viewFlag (KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0)
  // names. Where the system lacks that call (32-bit Windows XP, which has one
  // view) it is RegDeleteKeyA(root, subKey) and viewFlag is not used.
  virtual int32_t DeleteKey(uintptr_t root, const std::string& subKey, uint32_t viewFlag) = 0;

  // RegEnumValueA(key, index, name, &nameLength, NULL, type, data, size).
  // nameLength: in, the room at name including the terminator; out, on
  // success, the name's length without it. type, data and size as QueryValue
  // takes them; on kErrorMoreData *size holds the data size needed, and name,
  // nameLength and the data are undefined.
  virtual int32_t EnumValue(uintptr_t key, uint32_t index, char* name, uint32_t& nameLength, uint32_t* type,
                            uint8_t* data, uint32_t* size) = 0;
};

// The Windows implementation; not available natively.
TRegistryApi& PlatformRegistry();
