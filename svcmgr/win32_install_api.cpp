// The service control manager's calls of installation and removal.
#include "svcmgr/install_api.h"
#include "common/win32.h"

#include <sddl.h>

namespace {

SC_HANDLE AsHandle(uintptr_t handle) { return reinterpret_cast<SC_HANDLE>(handle); }
uintptr_t AsValue(SC_HANDLE handle) { return reinterpret_cast<uintptr_t>(handle); }

class TWin32ServiceManagerApi : public TServiceManagerApi, public TWin32ServiceHandleApi {
 public:
  uintptr_t OpenManager(const char* machineName, const char* databaseName, uint32_t access) override {
    return AsValue(OpenSCManagerA(machineName, databaseName, access));
  }

  uintptr_t CreateEntry(const TCreateServiceCall& call) override {
    static_assert(sizeof(DWORD) == sizeof(uint32_t), "a tag is a DWORD");
    return AsValue(CreateServiceA(AsHandle(call.Manager), call.ServiceName, call.DisplayName, call.DesiredAccess,
                                  call.ServiceType, call.StartType, call.ErrorControl, call.BinaryPathName,
                                  call.LoadOrderGroup, reinterpret_cast<LPDWORD>(call.TagId), call.Dependencies,
                                  call.ServiceStartName, call.Password));
  }

  uintptr_t OpenEntry(uintptr_t manager, const std::string& name, uint32_t access) override {
    return AsValue(OpenServiceA(AsHandle(manager), name.c_str(), access));
  }

  bool DeleteEntry(uintptr_t service) override { return ::DeleteService(AsHandle(service)) != FALSE; }

  bool ChangeFailureActions(uintptr_t service, uint32_t resetPeriod,
                            const std::vector<TServiceAction>& actions) override {
    std::vector<SC_ACTION> list;
    for (const TServiceAction& action : actions) list.push_back(SC_ACTION{static_cast<SC_ACTION_TYPE>(action.Type), action.Delay});
    SERVICE_FAILURE_ACTIONSA info{};
    info.dwResetPeriod = resetPeriod;
    info.lpRebootMsg = nullptr;
    info.lpCommand = nullptr;
    info.cActions = static_cast<DWORD>(list.size());
    info.lpsaActions = list.data();
    return ::ChangeServiceConfig2A(AsHandle(service), SERVICE_CONFIG_FAILURE_ACTIONS, &info) != FALSE;
  }

  bool SetEntryAccess(uintptr_t service, const std::string& sddl) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
      return false;
    const bool set = SetServiceObjectSecurity(AsHandle(service), DACL_SECURITY_INFORMATION, descriptor) != FALSE;
    KeepingLastError([&] { return LocalFree(descriptor) == nullptr; });
    return set;
  }

  void Pause(uint32_t milliseconds) override { Sleep(milliseconds); }

  uint32_t LastError() override { return GetLastError(); }
};

}  // namespace

TServiceManagerApi& PlatformServiceManagerApi() {
  static TWin32ServiceManagerApi api;
  return api;
}
