#pragma once
// Registration and removal of a service with the service control manager, from
// the service's registration properties.

#include <cstdint>
#include <string>
#include <vector>

#include "common/service_handle.h"
#include "svcmgr/install_api.h"
#include "svcmgr/service.h"

inline constexpr uint32_t kScManagerAllAccess = 0xF003F;  // SC_MANAGER_ALL_ACCESS
inline constexpr uint32_t kServiceAllAccess = 0xF01FF;    // SERVICE_ALL_ACCESS

// The values the control manager receives at installation for the start type and
// the error severity.
uint32_t StartTypeCode(TStartType startType);
uint32_t ErrorControlCode(TErrorSeverity severity);

// Every name zero-terminated, then one more zero: two zeros for an empty list.
std::string DependencyList(const std::vector<std::string>& dependencies);

// OpenSCManagerA on the local computer's default database with all access;
// raises the failed-system-call error when it cannot be opened.
TServiceHandle OpenServiceManager(TServiceManagerApi& api);

// CreateServiceA for the service with executablePath as the binary: in double
// quotes when it holds a blank (space or tab), exactly as given otherwise. Raises
// the failed-system-call error when the service is not registered.
void InstallService(const TService& service, TServiceManagerApi& api, uintptr_t manager,
                    const std::string& executablePath, int serviceCount);
// OpenServiceA and DeleteService; the service is not stopped first. Raises the
// failed-system-call error when either fails.
void UninstallService(const TService& service, TServiceManagerApi& api, uintptr_t manager);
