#pragma once
// TService: the base class of a service module. It holds the registration
// properties that installation passes to the service control manager, the
// handler slots, and the service runtime: registration of the control entry,
// status reports, the service thread and the control requests it handles.
//
// Threads: RunService and RunServiceThread run on the service-main thread (the
// one the control dispatcher starts for the service); ServiceThreadMain, with the
// handlers, the request pump and the reports in between, on the service thread;
// PostControlRequest on the dispatcher thread. RunningThread is guarded by
// RunningThreadLock, since the dispatcher thread reads it while the service-main
// thread sets and releases it.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "svcmgr/components.h"
#include "svcmgr/event_logger.h"
#include "svcmgr/service_api.h"
#include "svcmgr/service_status.h"

class TService;

enum class TServiceType { stWin32, stDevice, stFileSystem };
// Each value is the code the control manager takes for it (SERVICE_BOOT_START ..
// SERVICE_DISABLED, SERVICE_ERROR_IGNORE .. SERVICE_ERROR_CRITICAL).
enum class TStartType : uint32_t { stBoot = 0, stSystem = 1, stAuto = 2, stManual = 3, stDisabled = 4 };
enum class TErrorSeverity : uint32_t { esIgnore = 0, esNormal = 1, esSevere = 2, esCritical = 3 };

using TStartEvent = std::function<void(TService* sender, bool& flag)>;
using TServiceEvent = std::function<void(TService* sender)>;

// The event text of a handler that raised: the control's word and the error's message.
inline constexpr char kServiceFailedFormat[] = "Service failed on %s: %s";

// Service control codes (SERVICE_CONTROL_*); 128 to 255 are user-defined.
inline constexpr uint32_t kControlStop = 1;
inline constexpr uint32_t kControlPause = 2;
inline constexpr uint32_t kControlContinue = 3;
inline constexpr uint32_t kControlInterrogate = 4;
inline constexpr uint32_t kControlShutdown = 5;

class TService : public TComponent {
 public:
  // The thread message that carries a control request; wParam holds the code.
  static constexpr uint32_t ControlRequestMessage = kWmUser + 1;

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
  // Beyond those: whether Windows also starts the service in Safe Mode (minimal
  // and with networking), and what the control manager does when the service
  // ends without being stopped: a restart after each delay in turn (ms), the
  // count of failures starting afresh after FailureResetSeconds. No delays: no
  // failure actions are set.
  bool StartsInSafeMode = false;
  std::vector<uint32_t> RestartDelays;
  uint32_t FailureResetSeconds = 0;
  // The service's access list (SDDL) set at install; empty: Windows' own.
  std::string Access;

  // Handlers. OnCreate runs once the module is fully constructed (AfterConstruction),
  // OnDestroy before it is torn down (BeforeDestruction), both on the main thread.
  // OnStart, OnExecute, OnStop and OnShutdown run on the service thread.
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TStartEvent OnStart;
  TServiceEvent OnExecute;
  TStartEvent OnStop;
  TServiceEvent OnShutdown;
  // Runs on the main thread of a /UNINSTALL run before the service is deleted,
  // also when it is no longer registered.
  TServiceEvent BeforeUninstall;

  void AfterConstruction();
  void BeforeDestruction();

  // The control entry the module supplies.
  virtual TServiceControlEntry GetControlEntry() = 0;

  // The service's main entry, on the thread the control dispatcher starts for
  // it: registers the control entry, runs the service thread, reports stopped.
  // Returns after the stopped report; nothing escapes it.
  virtual void RunService(uint32_t argCount, char** args);

  // Dispatcher thread: posts the control code to the service thread. Without a
  // service thread (before it is created, after it is released) the request is
  // dropped; a failed post loses it. Returns at once either way.
  void PostControlRequest(uint32_t controlCode);

  // Service thread only: handles pending control requests. With wait, blocks for
  // the next one and returns once a stop has been requested (tested before every
  // wait); without, returns when the queue is empty.
  virtual void PumpControlRequests(bool wait);
  // Whether the service thread has been asked to stop; false without a thread.
  virtual bool StopRequested() const;

  // Sets the state and reports it at once.
  void SetServiceState(TServiceState state);
  // Reports the current state; a refused report is written to the event log.
  void SendServiceStatus();
  // An event (an error unless told otherwise; category 0, id 0) under the
  // service's own source, its name, registered at the first event.
  void WriteServiceEvent(const std::string& message, uint16_t eventType = TEventLogger::kErrorType);

 protected:
  // Virtual operations of the runtime. Run on the service-main thread
  // (RunServiceThread) or the service thread (the rest).
  virtual void RunServiceThread();
  virtual bool HandleStop();
  virtual void HandleInterrogate();
  virtual void HandleShutdown();
  virtual bool HandleCustomControl(uint32_t controlCode);

  // RequestStop on the running service thread, if there is one.
  void RequestStopOfRunningThread();
  // SERVICE_WIN32_OWN_PROCESS for the one Win32 service of the process.
  uint32_t StatusServiceType() const;

  TServiceRuntimeApi& Api;
  TServiceState ServiceState = TServiceState::ssStopped;
  uintptr_t StatusHandle = 0;

 private:
  // A thread whose body is ServiceThreadMain.
  class TServiceThread;

  // The service thread's body: creates the thread's message queue, reports start
  // pending, runs OnStart, reports running, runs OnExecute (or, without one,
  // handles requests until a stop) and then handles what is still queued. An
  // error raised by the start or the execute part ends the body; one that carries
  // a message is written as an event first.
  void ServiceThreadMain();
  void HandleControlRequest(uint32_t controlCode);

  mutable std::mutex RunningThreadLock;
  std::unique_ptr<TServiceThread> RunningThread;  // guarded by RunningThreadLock

  std::mutex EventLoggerLock;
  std::unique_ptr<TEventLogger> ServiceEventLogger;  // created at the first event
};

// The service type the control manager receives, both at installation and in
// every status report (so it stays here, below installation). serviceCount is the
// number of services the process hosts: more than one makes the Win32 type a
// shared-process type.
uint32_t ServiceTypeCode(const TService& service, int serviceCount);
