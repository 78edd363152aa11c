#include "svcmgr/service.h"

#include <exception>

#include "common/exceptions.h"
#include "common/format_text.h"
#include "common/system_error.h"
#include "svcmgr/thread.h"

namespace {
constexpr uint32_t kTypeKernelDriver = 0x01;         // SERVICE_KERNEL_DRIVER
constexpr uint32_t kTypeFileSystemDriver = 0x02;     // SERVICE_FILE_SYSTEM_DRIVER
constexpr uint32_t kTypeOwnProcess = 0x10;           // SERVICE_WIN32_OWN_PROCESS
constexpr uint32_t kTypeShareProcess = 0x20;         // SERVICE_WIN32_SHARE_PROCESS
constexpr uint32_t kTypeInteractiveProcess = 0x100;  // SERVICE_INTERACTIVE_PROCESS

// The word a failure message names a control by; user-defined codes have none.
const char* ControlWord(uint32_t controlCode) {
  switch (controlCode) {
    case kControlStop: return "stop";
    case kControlPause: return "pause";
    case kControlContinue: return "continue";
    case kControlInterrogate: return "interrogate";
    case kControlShutdown: return "shutdown";
    default: return "";
  }
}
}  // namespace

class TService::TServiceThread : public TThread {
 public:
  explicit TServiceThread(TService& service) : TThread(service.Api), Service(service) {}

 protected:
  void Execute() override { Service.ServiceThreadMain(); }

 private:
  TService& Service;
};

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

TService::TService(TServiceRuntimeApi& api) : Api(api) {}

TService::~TService() = default;

void TService::AfterConstruction() {
  if (OnCreate) OnCreate(this);
}

void TService::BeforeDestruction() {
  if (OnDestroy) OnDestroy(this);
}

void TService::RunService(uint32_t, char**) {
  StatusHandle = Api.RegisterControlEntry(Name, GetControlEntry());
  if (StatusHandle == 0) {
    WriteServiceEvent(SystemErrorText(Api.LastError()));
    return;
  }
  RunServiceThread();
}

void TService::RunServiceThread() {
  SetServiceState(TServiceState::ssStartPending);
  std::string failure;
  bool failed = false;
  try {
    auto thread = std::make_unique<TServiceThread>(*this);
    TServiceThread* started = thread.get();
    {
      std::lock_guard<std::mutex> guard(RunningThreadLock);
      RunningThread = std::move(thread);
    }
    started->Start();
    started->WaitFor();
  } catch (const std::exception& error) {
    failed = true;
    failure = error.what();
  } catch (...) {
    // Nothing may leave the service main entry; the stopped report still goes out.
  }
  // Taken out under the lock so that a late control request never reaches a
  // released thread object; released outside it.
  std::unique_ptr<TServiceThread> ended;
  {
    std::lock_guard<std::mutex> guard(RunningThreadLock);
    ended = std::move(RunningThread);
  }
  ended.reset();

  // The event goes out before the stopped report: once stopped is reported the
  // dispatcher returns and the program ends, destroying this object, while this
  // thread would still be writing.
  if (failed) WriteServiceEvent(FormatText(kServiceFailedFormat, {"execute", failure}));
  SetServiceState(TServiceState::ssStopped);
}

void TService::ServiceThreadMain() {
  // The queue must exist before anyone can post to this thread; until then a
  // control request fails to post and is lost.
  TThreadMessage message;
  Api.PeekQueue(message, 0, kWmUser, kWmUser, kPmNoRemove);

  try {
    SetServiceState(TServiceState::ssStartPending);
    bool started = true;
    if (OnStart) OnStart(this, started);
    if (!started) return;
  } catch (const std::exception& error) {
    WriteServiceEvent(FormatText(kServiceFailedFormat, {"start", error.what()}));
    return;
  }

  try {
    SetServiceState(TServiceState::ssRunning);
    if (OnExecute) {
      OnExecute(this);
    } else {
      // Without a body the service simply serves requests until it is stopped.
      while (!StopRequested()) PumpControlRequests(true);
    }
    PumpControlRequests(false);
  } catch (const std::exception& error) {
    WriteServiceEvent(FormatText(kServiceFailedFormat, {"execute", error.what()}));
  }
}

void TService::PostControlRequest(uint32_t controlCode) {
  std::lock_guard<std::mutex> guard(RunningThreadLock);
  if (!RunningThread) return;
  Api.PostToThread(RunningThread->ThreadId(), ControlRequestMessage, controlCode, 0);
}

bool TService::StopRequested() const {
  std::lock_guard<std::mutex> guard(RunningThreadLock);
  return RunningThread && RunningThread->StopRequested();
}

void TService::RequestStopOfRunningThread() {
  std::lock_guard<std::mutex> guard(RunningThreadLock);
  if (RunningThread) RunningThread->RequestStop();
}

void TService::PumpControlRequests(bool wait) {
  for (;;) {
    if (wait && StopRequested()) return;
    TThreadMessage message;
    if (wait) {
      // 0 is a quit message; -1 an error, after which the message is not valid.
      if (Api.WaitQueue(message, 0, 0, 0) <= 0) return;
    } else if (!Api.PeekQueue(message, 0, 0, 0, kPmRemove)) {
      return;
    }
    if (message.Window != 0 || message.Message != ControlRequestMessage) {
      Api.DispatchQueued(message);
      continue;
    }
    HandleControlRequest(static_cast<uint32_t>(message.WParam));
  }
}

void TService::HandleControlRequest(uint32_t controlCode) {
  const TServiceState oldState = ServiceState;
  try {
    bool ok = true;
    switch (controlCode) {
      case kControlStop: ok = HandleStop(); break;
      case kControlInterrogate: HandleInterrogate(); break;
      case kControlShutdown: HandleShutdown(); break;
      default: ok = HandleCustomControl(controlCode); break;
    }
    if (!ok) SetServiceState(oldState);
  } catch (const std::exception& error) {
    // Both our Exception family and the standard library's errors carry a message.
    // A failed shutdown stays stop pending: the stop is under way regardless.
    if (controlCode != kControlShutdown) SetServiceState(oldState);
    WriteServiceEvent(FormatText(kServiceFailedFormat, {ControlWord(controlCode), error.what()}));
  }
}

bool TService::HandleStop() {
  bool stopped = true;
  SetServiceState(TServiceState::ssStopPending);
  if (OnStop) OnStop(this, stopped);
  if (stopped) RequestStopOfRunningThread();
  return stopped;
}

void TService::HandleShutdown() {
  SetServiceState(TServiceState::ssStopPending);
  try {
    if (OnShutdown) OnShutdown(this);
  } catch (...) {
    RequestStopOfRunningThread();
    throw;
  }
  RequestStopOfRunningThread();
}

void TService::HandleInterrogate() { SendServiceStatus(); }

bool TService::HandleCustomControl(uint32_t) { return true; }

void TService::SetServiceState(TServiceState state) {
  ServiceState = state;
  SendServiceStatus();
}

uint32_t TService::StatusServiceType() const {
  // The same type installation registers; the process hosts this one service.
  return ServiceTypeCode(*this, 1);
}

void TService::SendServiceStatus() {
  TServiceStatusRecord status;
  status.ServiceType = StatusServiceType();
  status.CurrentState = static_cast<uint32_t>(ServiceState);
  status.ControlsAccepted = AcceptedControls(ServiceState, AllowStop, AllowPause);
  status.Win32ExitCode = 0;
  status.ServiceSpecificExitCode = 0;
  status.CheckPoint = NextStatusCheckPoint(ServiceState);
  status.WaitHint = WaitHint;
  if (!Api.ReportStatus(StatusHandle, status)) WriteServiceEvent(SystemErrorText(Api.LastError()));
}

void TService::WriteServiceEvent(const std::string& message, uint16_t eventType) {
  TEventLogger* logger;
  {
    std::lock_guard<std::mutex> guard(EventLoggerLock);
    if (!ServiceEventLogger) ServiceEventLogger = std::make_unique<TEventLogger>(Api.EventLog(), Name);
    logger = ServiceEventLogger.get();
  }
  logger->LogEvent(message, eventType, 0, 0);
}
