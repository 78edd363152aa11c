#pragma once
// The service control manager's calls of installation and removal; the keys
// that make the service's event sources known go through the registry's seam
// (common/registry_api.h).
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

  // ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl) and
  // SetServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, descriptor):
  // false on failure.
  virtual bool SetEntryAccess(uintptr_t service, const std::string& sddl) = 0;

  // GetLastError() of the calling thread.
  virtual uint32_t LastError() = 0;
  // Sleep(milliseconds).
  virtual void Pause(uint32_t milliseconds) = 0;
};

// The Windows implementation; not available natively.
TServiceManagerApi& PlatformServiceManagerApi();
