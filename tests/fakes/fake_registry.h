#pragma once
// An in-memory HKEY_LOCAL_MACHINE that answers like the "A" registry calls, records
// every call with its arguments, and fails on demand at each of them. It has one
// view: the KEY_WOW64_* flags are recorded with the masks and otherwise ignored.
//
// Paths are given without a leading backslash and compared ignoring ASCII case, as
// are value names; one trailing backslash on an opened path is tolerated, as the
// system does. Subkeys enumerate in the order they were created. Access is
// checked per handle: reading values and key information needs KEY_QUERY_VALUE,
// enumerating subkeys KEY_ENUMERATE_SUB_KEYS, setting and deleting values
// KEY_SET_VALUE. Values enumerate in the order they were created. Where the real
// call leaves a buffer undefined (kErrorMoreData) the fake scribbles over it.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/registry_api.h"
#include "common/text.h"
#include "winsys/registry.h"

class TFakeRegistry : public TRegistryApi {
 public:
  enum class TOp { Open, QueryValue, QueryInfo, EnumKey, Close, Create, SetValue, DeleteValue, DeleteKey, EnumValue };

  struct TCall {
    explicit TCall(TOp op) : Op(op) {}
    TOp Op;
    uintptr_t Key = 0;       // the root (Open, Create, DeleteKey) or the handle the call was made on
    std::string Target;      // Open, Create, DeleteKey: the path as passed; QueryValue,
                             // SetValue, DeleteValue: the value name
    uint32_t Access = 0;     // Open, Create: the access mask; DeleteKey: the view flag
    uint32_t Index = 0;      // EnumKey, EnumValue: the index
    bool WithData = false;   // QueryValue: a data buffer was passed
    bool WithSize = false;   // QueryValue: a size was passed
    uint32_t Room = 0;       // QueryValue with data, EnumKey: the room offered
    int32_t Result = 0;      // what the fake answered
    uintptr_t Opened = 0;    // Open: the handle handed out
  };

  // --- The hive ---
  void AddKey(const std::string& path);  // and its parents
  void RemoveKey(const std::string& path);  // and everything below it
  void SetValue(const std::string& path, const std::string& name, uint32_t type, const std::string& data);
  void SetDword(const std::string& path, const std::string& name, uint32_t value);
  // Stores text with a terminating zero, as the system's writers do.
  void SetString(const std::string& path, const std::string& name, const std::string& text,
                 uint32_t type = kRegSz);
  void RemoveValue(const std::string& path, const std::string& name);

  // --- Faults ---
  // Opens of path fail with result, from its fromCall-th open on (1 = every
  // open), only for the listed access masks (empty: any mask).
  void FailOpen(const std::string& path, int32_t result, std::set<uint32_t> masks = {}, int fromCall = 1);
  // Queries of the value name, on any key, fail with result from the fromCall-th on.
  void FailQueryValue(const std::string& name, int32_t result, int fromCall = 1);
  void FailQueryInfo(const std::string& path, int32_t result);
  // Enumerating this index of any key fails with result (a subkey deleted meanwhile).
  void FailEnumIndex(uint32_t index, int32_t result);
  // Right after the next size query of the value (no data buffer), its data
  // becomes grown: the value changes between the size query and the read.
  void GrowAfterSizeQuery(const std::string& path, const std::string& name, const std::string& grown);
  // Calls of op on target fail with result: Create, DeleteKey and EnumValue name
  // the key's path, SetValue and DeleteValue the value's name (on any key).
  void FailCall(TOp op, const std::string& target, int32_t result);
  // 0: single-byte code page. 932: Shift_JIS lead bytes, and the longest subkey
  // name counted in characters, as the system reports it to the "A" calls.
  int CodePage = 0;

  // --- What happened ---
  std::vector<TCall> Calls;
  std::vector<TCall> CallsOf(TOp op) const;
  size_t OpenHandleCount() const { return Handles.size(); }
  int BadCloses = 0;  // closes of a handle that was not open

  // --- TRegistryApi ---
  int32_t OpenKey(uintptr_t root, const std::string& subKey, uint32_t access, uintptr_t& key) override;
  int32_t QueryValue(uintptr_t key, const std::string& name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override;
  int32_t QueryKeyInfo(uintptr_t key, uint32_t& subKeys, uint32_t& maxSubKeyLength) override;
  int32_t EnumKey(uintptr_t key, uint32_t index, char* name, uint32_t& nameLength) override;
  int32_t CloseKey(uintptr_t key) override;
  int32_t CreateKey(uintptr_t root, const std::string& subKey, uint32_t options, uint32_t access,
                    uintptr_t& key) override;
  int32_t SetValue(uintptr_t key, const std::string& name, uint32_t type, const uint8_t* data,
                   uint32_t size) override;
  int32_t DeleteValue(uintptr_t key, const std::string& name) override;
  // Keeps the list by the key's path (folded); refused without WRITE_DAC.
  int32_t SetKeyAccess(uintptr_t key, const std::string& sddl) override;
  std::map<std::string, std::string> Access;
  int32_t DeleteKey(uintptr_t root, const std::string& subKey, uint32_t viewFlag) override;
  int32_t EnumValue(uintptr_t key, uint32_t index, char* name, uint32_t& nameLength, uint32_t* type,
                    uint8_t* data, uint32_t* size) override;
  // What the hive holds: the key's values in creation order (none for a missing key).
  std::vector<TRegistryValue> ValuesOf(const std::string& path);
  bool HasKey(const std::string& path);
  // The lead-byte test of CodePage, for the readers that ask the system.
  TLeadByteTest LeadByteTest() const { return CodePage == 932 ? &IsLeadByte932 : &IsNeverLeadByte; }
  static bool IsLeadByte932(uint8_t byte);
  static bool IsNeverLeadByte(uint8_t) { return false; }

 private:
  struct TValue {
    std::string Name;
    uint32_t Type = 0;
    std::string Data;
  };
  struct TKey {
    std::vector<std::string> Subkeys;  // names as created, in creation order
    std::vector<TValue> Values;
  };
  struct THandle {
    std::string Path;  // folded
    uint32_t Access = 0;
  };
  struct TOpenFault {
    int32_t Result;
    std::set<uint32_t> Masks;
    int FromCall;
  };
  struct TCountedFault {
    int32_t Result;
    int FromCall;
  };

  static std::string Fold(const std::string& text);
  TKey* Find(const std::string& foldedPath);
  TKey& Get(const std::string& path);  // creates it
  TValue* FindValue(TKey& key, const std::string& name);
  const THandle* HandleOf(uintptr_t key) const;
  uint32_t NameLength(const std::string& name);
  int32_t Record(TCall call);
  static bool IsMalformed(const std::string& foldedPath);
  // The injected result for op on target, or 0.
  int32_t FaultOf(TOp op, const std::string& target) const;
  // The stored key behind a handle, or a failure result for the call.
  int32_t KeyOf(uintptr_t handle, uint32_t neededAccess, TKey*& key);
  // Whether a call on the value call.Target of the key behind call.Key may go
  // ahead; sets call.Result either way.
  bool AdmitValueCall(TCall& call, uint32_t neededAccess, TKey*& stored);
  void Store(TKey& key, const std::string& name, uint32_t type, const std::string& data);

  std::map<std::string, TKey> Keys;  // by folded path, no trailing backslash
  std::map<uintptr_t, THandle> Handles;
  uintptr_t NextHandle = 0x1000;
  std::map<std::string, TOpenFault> OpenFaults;
  std::map<std::string, int> OpenCounts;
  std::map<std::string, TCountedFault> QueryFaults;
  std::map<std::string, int> QueryCounts;
  std::map<std::string, int32_t> InfoFaults;
  std::map<uint32_t, int32_t> EnumFaults;
  std::map<std::string, std::string> Growth;  // folded path + '\n' + folded name
  std::map<std::pair<TOp, std::string>, int32_t> CallFaults;  // by op and folded target
};
