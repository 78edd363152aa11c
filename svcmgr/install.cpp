#include "svcmgr/install.h"

#include "svcmgr/application_error.h"

namespace {
constexpr uint32_t kTypeKernelDriver = 0x01;
constexpr uint32_t kTypeFileSystemDriver = 0x02;
constexpr uint32_t kTypeOwnProcess = 0x10;
constexpr uint32_t kTypeShareProcess = 0x20;
constexpr uint32_t kTypeInteractiveProcess = 0x100;
}  // namespace

uint32_t ServiceTypeCode(const TService& service, int serviceCount) {
  switch (service.ServiceType) {
    case TServiceType::stDevice:
      return kTypeKernelDriver;
    case TServiceType::stFileSystem:
      return kTypeFileSystemDriver;
    case TServiceType::stWin32:
      break;
  }
  uint32_t code = serviceCount > 1 ? kTypeShareProcess : kTypeOwnProcess;
  if (service.Interactive) code |= kTypeInteractiveProcess;
  return code;
}

uint32_t StartTypeCode(TStartType startType) {
  switch (startType) {
    case TStartType::stBoot:
      return 0;
    case TStartType::stSystem:
      return 1;
    case TStartType::stAuto:
      return 2;
    case TStartType::stManual:
      return 3;
    case TStartType::stDisabled:
      return 4;
  }
  return 2;
}

uint32_t ErrorControlCode(TErrorSeverity severity) {
  switch (severity) {
    case TErrorSeverity::esIgnore:
      return 0;
    case TErrorSeverity::esNormal:
      return 1;
    case TErrorSeverity::esSevere:
      return 2;
    case TErrorSeverity::esCritical:
      return 3;
  }
  return 1;
}

std::string DependencyList(const std::vector<std::string>& dependencies) {
  std::string list;
  for (const std::string& name : dependencies) {
    list += name;
    list += '\0';
  }
  list += '\0';
  // An empty list must still end in two zeros; the string's own terminator is the second.
  if (dependencies.empty()) list += '\0';
  return list;
}

TServiceHandle OpenServiceManager(TServiceManagerApi& api) {
  const uintptr_t manager = api.OpenManager(nullptr, nullptr, kScManagerAllAccess);
  if (manager == 0) throw OSError(api.LastError());
  return TServiceHandle(api, manager);
}

void InstallService(const TService& service, TServiceManagerApi& api, uintptr_t manager,
                    const std::string& executablePath, int serviceCount) {
  const std::string& displayName = service.DisplayName.empty() ? service.Name : service.DisplayName;
  const std::string dependencies = DependencyList(service.Dependencies);

  TCreateServiceCall call;
  call.Manager = manager;
  call.ServiceName = service.Name.c_str();
  call.DisplayName = displayName.c_str();
  call.DesiredAccess = kServiceAllAccess;
  call.ServiceType = ServiceTypeCode(service, serviceCount);
  call.StartType = StartTypeCode(service.StartType);
  call.ErrorControl = ErrorControlCode(service.ErrorSeverity);
  call.BinaryPathName = executablePath.c_str();
  call.LoadOrderGroup = service.LoadGroup.c_str();
  call.TagId = nullptr;
  call.Dependencies = dependencies.c_str();
  // No account name makes the service run as LocalSystem.
  call.ServiceStartName = service.ServiceStartName.empty() ? nullptr : service.ServiceStartName.c_str();
  call.Password = service.Password.c_str();

  const uintptr_t handle = api.CreateEntry(call);
  if (handle == 0) throw OSError(api.LastError());
  TServiceHandle created(api, handle);
}

void UninstallService(const TService& service, TServiceManagerApi& api, uintptr_t manager) {
  TServiceHandle handle(api, api.OpenEntry(manager, service.Name, kServiceAllAccess));
  if (!handle) throw OSError(api.LastError());
  if (!api.DeleteEntry(handle.Get())) throw OSError(api.LastError());
}
