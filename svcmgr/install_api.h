#pragma once
// The Windows calls of installation and removal: the service control manager's,
// and the registry's for the keys that make the service's event sources known.
// Pointers stay pointers so that a test can tell a null argument from an empty
// text. Method names avoid the A/W macros of <windows.h>.

#include <cstdint>
#include <string>
#include <vector>

#include "common/service_handle.h"

// The arguments of CreateServiceA, in its order.
struct TCreateServiceCall {
  uintptr_t Manager = 0;
  const char* ServiceName = nullptr;
  const char* DisplayName = nullptr;
  uint32_t DesiredAccess = 0;
  uint32_t ServiceType = 0;
  uint32_t StartType = 0;
  uint32_t ErrorControl = 0;
  const char* BinaryPathName = nullptr;
  const char* LoadOrderGroup = nullptr;
  uint32_t* TagId = nullptr;
  // A list of zero-terminated names ended by one more zero.
  const char* Dependencies = nullptr;
  const char* ServiceStartName = nullptr;
  const char* Password = nullptr;
};

// CloseEntry (CloseServiceHandle), QueryState and Control come from
// TServiceHandleApi, which the administration tool's seam shares.
class TServiceManagerApi : public virtual TServiceHandleApi {
 public:
  virtual ~TServiceManagerApi() = default;
  // OpenSCManagerA(machineName, databaseName, access): 0 on failure.
  virtual uintptr_t OpenManager(const char* machineName, const char* databaseName, uint32_t access) = 0;
  // CreateServiceA(...): 0 on failure.
  virtual uintptr_t CreateEntry(const TCreateServiceCall& call) = 0;
  // OpenServiceA(manager, name, access): 0 on failure.
  virtual uintptr_t OpenEntry(uintptr_t manager, const std::string& name, uint32_t access) = 0;
  // DeleteService(service): false on failure.
  virtual bool DeleteEntry(uintptr_t service) = 0;
  // ChangeServiceConfig2A(service, SERVICE_CONFIG_FAILURE_ACTIONS, &info) with a
  // SERVICE_FAILURE_ACTIONSA of resetPeriod (seconds), no reboot message, no
  // command and the actions: false on failure.
  virtual bool ChangeFailureActions(uintptr_t service, uint32_t resetPeriod,
                                    const std::vector<TServiceAction>& actions) = 0;

  // The registry calls return the Windows error code (0 on success); key
  // handles are the HKEY values as integers.
  // RegCreateKeyExA(root, subKey, 0, NULL, options, access, NULL, &key, NULL):
  // opens the key, creating it and any missing parents. key is 0 unless the
  // result is 0.
  virtual int32_t CreateKey(uintptr_t root, const std::string& subKey, uint32_t options, uint32_t access,
                            uintptr_t& key) = 0;
  // RegSetValueExA(key, name, 0, type, data, size). String data counts its
  // terminating zero in size, as the call documents.
  virtual int32_t SetValue(uintptr_t key, const std::string& name, uint32_t type, const uint8_t* data,
                           uint32_t size) = 0;
  // RegDeleteKeyA(root, subKey): deletes a key that has no subkeys.
  virtual int32_t DeleteKey(uintptr_t root, const std::string& subKey) = 0;
  // RegCloseKey(key), keeping the caller's last-error code.
  virtual int32_t CloseKey(uintptr_t key) = 0;

  // GetLastError() of the calling thread.
  virtual uint32_t LastError() = 0;
  // Sleep(milliseconds).
  virtual void Pause(uint32_t milliseconds) = 0;
};

// The Windows implementation; not available natively.
TServiceManagerApi& PlatformServiceManagerApi();
