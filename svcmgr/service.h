#pragma once
// TService: the base class of a service module. It holds the registration
// properties that installation passes to the service control manager and the
// handler slots that the service runtime calls.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/callconv.h"
#include "svcmgr/components.h"
#include "svcmgr/service_api.h"

class TService;

enum class TServiceType { stWin32, stDevice, stFileSystem };
enum class TStartType { stBoot, stSystem, stAuto, stManual, stDisabled };
enum class TErrorSeverity { esIgnore, esNormal, esSevere, esCritical };

// The function the control manager calls with a control code (RegisterServiceCtrlHandlerA).
using TServiceControlEntry = void(NF_WINAPI*)(uint32_t controlCode);

using TStartEvent = std::function<void(TService* sender, bool& flag)>;
using TServiceEvent = std::function<void(TService* sender)>;

class TService : public TComponent {
 public:
  explicit TService(TServiceRuntimeApi& api);
  ~TService() override;

  // Registration properties, with the base class defaults.
  std::string DisplayName;
  TServiceType ServiceType = TServiceType::stWin32;
  TStartType StartType = TStartType::stAuto;
  TErrorSeverity ErrorSeverity = TErrorSeverity::esNormal;
  bool Interactive = false;
  std::string ServiceStartName;
  std::string Password;
  std::string LoadGroup;
  std::vector<std::string> Dependencies;
  uint32_t TagID = 0;
  bool AllowStop = true;
  bool AllowPause = true;
  uint32_t WaitHint = 5000;

  // Handlers. OnCreate runs once the module is fully constructed (AfterConstruction),
  // OnDestroy before it is torn down (BeforeDestruction), both on the main thread.
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TStartEvent OnStart;
  TServiceEvent OnExecute;
  TStartEvent OnStop;
  TServiceEvent OnShutdown;

  void AfterConstruction();
  void BeforeDestruction();

  // The control entry the module supplies.
  virtual TServiceControlEntry GetControlEntry() = 0;

  // The service's main entry, on the thread the control dispatcher starts for
  // it: registers the control entry, runs the service thread, reports stopped.
  virtual void RunService(uint32_t argCount, char** args);

  // Dispatcher thread: posts the control code to the service thread.
  void PostControlRequest(uint32_t controlCode);

  // Service thread only: handles pending control requests, waiting for the next
  // one when wait is true, until a stop has been requested.
  virtual void PumpControlRequests(bool wait);
  // Whether the service thread has been asked to stop; false without a thread.
  virtual bool StopRequested() const;

 protected:
  TServiceRuntimeApi& Api;
};
