#include "svcmgr/install.h"

#include "common/format_text.h"
#include "common/owned.h"
#include "svcmgr/os_error.h"

uint32_t StartTypeCode(TStartType startType) { return static_cast<uint32_t>(startType); }

uint32_t ErrorControlCode(TErrorSeverity severity) { return static_cast<uint32_t>(severity); }

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

namespace {
// The control manager reads an unquoted binary path up to a blank and may start
// another program instead: C:\Program.exe for C:\Program Files\N\service.exe.
std::string BinaryPathFor(const std::string& executablePath) {
  if (executablePath.find_first_of(" \t") == std::string::npos) return executablePath;
  return '"' + executablePath + '"';
}
}  // namespace

TServiceHandle OpenServiceManager(TServiceManagerApi& api) {
  const uintptr_t manager = api.OpenManager(nullptr, nullptr, kScManagerAllAccess);
  if (manager == 0) throw OSError(api.LastError());
  return TServiceHandle(api, manager);
}

void InstallService(const TService& service, TServiceManagerApi& api, uintptr_t manager,
                    const std::string& executablePath, int serviceCount) {
  const std::string& displayName = service.DisplayName.empty() ? service.Name : service.DisplayName;
  const std::string dependencies = DependencyList(service.Dependencies);
  const std::string binaryPath = BinaryPathFor(executablePath);

  TCreateServiceCall call;
  call.Manager = manager;
  call.ServiceName = service.Name.c_str();
  call.DisplayName = displayName.c_str();
  call.DesiredAccess = kServiceAllAccess;
  call.ServiceType = ServiceTypeCode(service, serviceCount);
  call.StartType = StartTypeCode(service.StartType);
  call.ErrorControl = ErrorControlCode(service.ErrorSeverity);
  call.BinaryPathName = binaryPath.c_str();
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

void StopService(const TService& service, TServiceManagerApi& api, uintptr_t manager) {
  using Api = TServiceManagerApi;
  TServiceHandle handle(api, api.OpenEntry(manager, service.Name, Api::kServiceStop | Api::kServiceQueryStatus));
  if (!handle) {
    const uint32_t error = api.LastError();
    // The removal itself reports a service that is not there.
    if (error == Api::kErrorServiceDoesNotExist) return;
    throw OSError(error);
  }
  bool asked = false;
  for (uint32_t waited = 0;; waited += kStopPollMs) {
    uint32_t state = 0;
    if (!api.QueryState(handle.Get(), state)) throw OSError(api.LastError());
    if (state == Api::kStateStopped) return;
    if (!asked && state != Api::kStateStopPending) {
      asked = api.Control(handle.Get(), Api::kControlStop, state);
      const uint32_t error = asked ? 0 : api.LastError();
      if (error == kErrorServiceNotActive || (asked && state == Api::kStateStopped)) return;
      // A service still starting takes no request yet: it is asked again at the next look.
      if (!asked && error != kErrorServiceCannotAcceptControl) throw OSError(error);
    }
    if (waited >= kStopWaitMs)
      throw Exception(FormatText(kServiceStillRunningText, {std::to_string(kStopWaitMs / 1000), service.Name}));
    api.Pause(kStopPollMs);
  }
}

void UninstallService(const TService& service, TServiceManagerApi& api, uintptr_t manager) {
  TServiceHandle handle(api, api.OpenEntry(manager, service.Name, kServiceAllAccess));
  if (!handle) throw OSError(api.LastError());
  if (!api.DeleteEntry(handle.Get())) throw OSError(api.LastError());
}

namespace {
using TOwnedKey = TOwned<TRegistryApi, &TRegistryApi::CloseKey>;

void Check(int32_t result) {
  if (result != 0) throw OSError(static_cast<uint32_t>(result));
}
}  // namespace

void WriteEventSourceKey(TRegistryApi& api, const std::string& source, const std::string& messageFile) {
  if (source.empty()) return;
  uintptr_t handle = 0;
  Check(api.CreateKey(kLocalMachineKey, kEventSourcesKeyPath + source, kRegOptionNonVolatile, kKeySetValue, handle));
  const TOwnedKey key(api, handle);
  Check(api.SetValue(key.Get(), kEventMessageFileValue, kRegExpandSz,
                     reinterpret_cast<const uint8_t*>(messageFile.c_str()),
                     static_cast<uint32_t>(messageFile.size() + 1)));
  // REG_DWORD data is little-endian, as every Windows processor stores it.
  const uint8_t types[4] = {static_cast<uint8_t>(kEventTypesSupported), static_cast<uint8_t>(kEventTypesSupported >> 8),
                            static_cast<uint8_t>(kEventTypesSupported >> 16),
                            static_cast<uint8_t>(kEventTypesSupported >> 24)};
  Check(api.SetValue(key.Get(), kTypesSupportedValue, kRegDword, types, sizeof types));
}

void DeleteEventSourceKey(TRegistryApi& api, const std::string& source) {
  if (source.empty()) return;
  const int32_t result = api.DeleteKey(kLocalMachineKey, kEventSourcesKeyPath + source, 0);
  if (result != kRegErrorFileNotFound) Check(result);
}

void WriteSafeModeKeys(TRegistryApi& api, const std::string& serviceName) {
  for (const char* parent : {kSafeBootMinimalKeyPath, kSafeBootNetworkKeyPath}) {
    uintptr_t handle = 0;
    Check(api.CreateKey(kLocalMachineKey, parent + serviceName, kRegOptionNonVolatile, kKeySetValue, handle));
    const TOwnedKey key(api, handle);
    Check(api.SetValue(key.Get(), "", kRegSz, reinterpret_cast<const uint8_t*>(kSafeBootValueData),
                       sizeof kSafeBootValueData));
  }
}

void DeleteSafeModeKeys(TRegistryApi& api, const std::string& serviceName) {
  for (const char* parent : {kSafeBootMinimalKeyPath, kSafeBootNetworkKeyPath}) {
    const int32_t result = api.DeleteKey(kLocalMachineKey, parent + serviceName, 0);
    if (result != kRegErrorFileNotFound) Check(result);
  }
}

void SetServiceAccess(const TService& service, TServiceManagerApi& api, uintptr_t manager) {
  if (service.Access.empty()) return;
  TServiceHandle handle(api, api.OpenEntry(manager, service.Name, kWriteDac));
  if (!handle) throw OSError(api.LastError());
  if (!api.SetEntryAccess(handle.Get(), service.Access)) throw OSError(api.LastError());
}

void SetFailureActions(const TService& service, TServiceManagerApi& api, uintptr_t manager) {
  if (service.RestartDelays.empty()) return;
  TServiceHandle handle(api, api.OpenEntry(manager, service.Name, kServiceChangeConfig | kServiceStart));
  if (!handle) throw OSError(api.LastError());
  std::vector<TServiceAction> actions;
  for (const uint32_t delay : service.RestartDelays) actions.push_back(TServiceAction{kScActionRestart, delay});
  if (!api.ChangeFailureActions(handle.Get(), service.FailureResetSeconds, actions)) throw OSError(api.LastError());
}
