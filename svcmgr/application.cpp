#include "svcmgr/application.h"

#include <exception>
#include <functional>
#include <system_error>

#include "common/format_text.h"
#include "common/system_error.h"
#include "common/text.h"
#include "svcmgr/application_error.h"
#include "svcmgr/command_line.h"
#include "svcmgr/components.h"
#include "svcmgr/dialogs.h"
#include "svcmgr/install.h"
#include "svcmgr/os_error.h"
#include "svcmgr/thread.h"

TServiceApplication* Application = nullptr;

namespace {
constexpr uint32_t kErrorNotEnoughMemory = 8;  // ERROR_NOT_ENOUGH_MEMORY

// Runs action; whatever it raises is dropped. For the places where nothing may
// escape and nothing is left to report with.
template <class TAction>
void Quietly(TAction&& action) noexcept {
  try {
    action();
  } catch (...) {
  }
}
}  // namespace

TServiceStartThread::TServiceStartThread(TApplicationApi& api, TMessageLoopApi& loopApi,
                                         const TServiceTableEntry* table, uintptr_t quitWindow)
    : Api(api), LoopApi(loopApi), Table(table), QuitWindow(quitWindow) {
  try {
    Thread = std::thread([this] { Execute(); });
  } catch (const std::system_error& error) {
    throw EThread(FormatText(kThreadCreationError, {error.what()}));
  }
}

TServiceStartThread::~TServiceStartThread() {
  if (Thread.joinable()) Thread.join();
}

void TServiceStartThread::Execute() {
  try {
    Result = Api.StartDispatcher(Table) ? 0 : Api.LastError();
  } catch (...) {
    // Only the copy of the table can fail, for want of memory.
    Result = kErrorNotEnoughMemory;
  }
  // The loop ends when it takes this message; the result is stored before it.
  LoopApi.PostToWindow(QuitWindow, kWmQuit, 0, 0);
}

TServiceApplication::TServiceApplication(const TServiceApplicationPlatform& platform, TApplication& forms)
    : EventLogger(platform.EventLog, FileNameOf(platform.Process.ModuleFileName(kModuleFileNameRoom))),
      Forms(forms),
      Platform(platform) {
  EndSessionHookId = Forms.HookMainWindow([this](TWindowMessage& message) { return EndSessionHook(message); });
  if (Application == nullptr) Application = this;
}

TServiceApplication::~TServiceApplication() {
  RunExitProcedures();
  Quietly([this] { ReleaseComponents(); });
  Forms.UnhookMainWindow(EndSessionHookId);
  SetApplicationExceptionHook(nullptr);
  if (Application == this) Application = nullptr;
}

void TServiceApplication::InitializeApplication() {
  if (Initialized) return;
  Initialized = true;
  Forms.ShowMainForm = false;
}

void TServiceApplication::Adopt(std::unique_ptr<TComponent> component, std::function<void()> clearReference) {
  Components.push_back(TOwnedComponent{std::move(component), std::move(clearReference)});
}

std::vector<TService*> TServiceApplication::Services() const {
  std::vector<TService*> services;
  for (const TOwnedComponent& owned : Components)
    if (auto* service = dynamic_cast<TService*>(owned.Component.get())) services.push_back(service);
  return services;
}

bool TServiceApplication::HasSwitch(const std::string& name) {
  const auto arguments = SplitCommandLine(Platform.Process.CommandLine(), &PlatformIsLeadByte);
  return HasCommandLineSwitch(arguments, name, &PlatformSameText);
}

void TServiceApplication::RunApplication() {
  if (!ReleaseRegistered) {
    ExitProcedures.push_back([this] { ReleaseComponents(); });
    ReleaseRegistered = true;
  }
  if (HasSwitch(kSwitchInstall)) {
    ChangeRegistration(true, HasSwitch(kSwitchSilent));
    return;
  }
  if (HasSwitch(kSwitchUninstall)) {
    ChangeRegistration(false, HasSwitch(kSwitchSilent));
    return;
  }

  SetApplicationExceptionHook([this](const Exception& error) { LogApplicationException(error); });
  // The table outlives the dispatcher thread, which is released first.
  const std::vector<TServiceTableEntry> table = BuildServiceTable();
  auto dispatcher = std::make_unique<TServiceStartThread>(Platform.Process, Platform.MessageLoop, table.data(),
                                                          Forms.Handle());
  Forms.Run();
  Forms.Terminate();
  const uint32_t result = dispatcher->DispatcherResult();
  if (result != 0)
    EventLogger.LogEvent(SystemErrorText(result));
  else
    ServiceManagerConnected = true;
}

std::vector<TServiceTableEntry> TServiceApplication::BuildServiceTable() const {
  std::vector<TServiceTableEntry> table;
  for (TService* service : Services()) table.push_back(TServiceTableEntry{service->Name.c_str(), &ServiceMainCallback});
  table.push_back(TServiceTableEntry{});
  return table;
}

std::string TServiceApplication::ExecutablePath() {
  const std::string path = Platform.Process.ModuleFileName(kModuleFileNameRoom);
  if (path.empty()) throw OSError(Platform.Process.LastError());
  // A path that filled the whole room was cut: registering it would name another file.
  if (path.size() >= kModuleFileNameRoom) throw OSError(kErrorInsufficientBuffer);
  return path;
}

void TServiceApplication::ChangeRegistration(bool install, bool silent) {
  TServiceManagerApi& manager = Platform.ServiceManager;
  const TServiceHandle scm = OpenServiceManager(manager);
  const std::vector<TService*> services = Services();
  bool allOk = true;
  std::vector<std::string> sources;
  std::string executablePath;
  for (TService* service : services) {
    bool changed = false, stopped = false;
    try {
      if (install) {
        executablePath = ExecutablePath();
        InstallService(*service, manager, scm.Get(), executablePath, static_cast<int>(services.size()));
      } else {
        // Stopped before its handler gives the users' hours back: a running
        // service would take them again.
        StopService(*service, manager, scm.Get());
        stopped = true;
        if (service->BeforeUninstall) service->BeforeUninstall(service);
        UninstallService(*service, manager, scm.Get());
      }
      changed = true;
    } catch (const Exception& error) {
      allOk = false;
      const std::string& name = service->DisplayName.empty() ? service->Name : service->DisplayName;
      ShowErrorDialog(Platform.Process, FormatText(install ? kInstallFailedText : kUninstallFailedText,
                                                  {name, error.Message()}));
    }
    // A removal takes the source's key even when the service was gone already,
    // so that none outlives it; a service that would not stop keeps all it has.
    if (changed || stopped) {
      sources.push_back(service->Name);
      ChangeExtras(install, *service, scm.Get());
    }
  }
  ChangeEventSources(install, sources, executablePath);
  if (allOk && !silent) ShowInformationDialog(Platform.Process, install ? kInstalledText : kUninstalledText);
}

void TServiceApplication::ChangeExtras(bool install, const TService& service, uintptr_t manager) {
  TServiceManagerApi& api = Platform.ServiceManager;
  TRegistryApi& registry = Platform.Registry;
  // The service is installed or removed all the same: a failure here is a
  // warning for the administrator, never the run's outcome.
  const auto attempt = [this](const char* failedText, const std::function<void()>& action) {
    try {
      action();
    } catch (const Exception& error) {
      EventLogger.LogEvent(FormatText(failedText, {error.Message()}), TEventLogger::kWarningType);
    }
  };
  if (install) {
    if (service.StartsInSafeMode) attempt(kSafeModeNotRegisteredText, [&] { WriteSafeModeKeys(registry, service.Name); });
    attempt(kRecoveryNotSetText, [&] { SetFailureActions(service, api, manager); });
    attempt(kAccessNotSetText, [&] { SetServiceAccess(service, api, manager); });
  } else if (service.StartsInSafeMode) {
    attempt(kSafeModeNotRemovedText, [&] { DeleteSafeModeKeys(registry, service.Name); });
  }
}

void TServiceApplication::ChangeEventSources(bool install, std::vector<std::string> sources,
                                             const std::string& messageFile) {
  if (sources.empty()) return;
  // The application's own events go under the executable's file name.
  sources.push_back(EventLogger.SourceName());
  for (const std::string& source : sources) {
    try {
      if (install)
        WriteEventSourceKey(Platform.Registry, source, messageFile);
      else
        DeleteEventSourceKey(Platform.Registry, source);
    } catch (const Exception& error) {
      // The service is installed or removed all the same; only the texts Event
      // Viewer shows suffer, so a warning tells the administrator and the run
      // reports its outcome as before.
      EventLogger.LogEvent(FormatText(install ? kEventSourceNotRegisteredText : kEventSourceNotRemovedText,
                                      {source, error.Message()}),
                           TEventLogger::kWarningType);
    }
  }
}

void NF_WINAPI TServiceApplication::ServiceMainCallback(uint32_t argCount, char** args) {
  TServiceApplication* const application = Application;
  if (application == nullptr) return;
  try {
    application->DispatchServiceMain(argCount, args);
  } catch (const Exception& error) {
    Quietly([&] { application->LogApplicationException(error); });
  } catch (...) {
  }
}

void TServiceApplication::DispatchServiceMain(uint32_t argCount, char** args) {
  ServiceManagerConnected = true;
  if (argCount == 0 || args == nullptr || args[0] == nullptr) return;
  const std::string name = args[0];
  for (TService* service : Services()) {
    if (PlatformSameText(name, service->Name)) {
      service->RunService(argCount, args);
      return;
    }
  }
}

void TServiceApplication::LogApplicationException(const Exception& error) { EventLogger.LogEvent(error.Message()); }

bool TServiceApplication::EndSessionHook(TWindowMessage& message) {
  if (message.Msg != kWmEndSession) return false;
  message.Result = 0;
  return true;
}

void TServiceApplication::ReleaseComponents() {
  std::exception_ptr firstError;
  while (!Components.empty()) {
    TOwnedComponent owned = std::move(Components.back());
    Components.pop_back();
    if (auto* service = dynamic_cast<TService*>(owned.Component.get())) {
      try {
        service->BeforeDestruction();
      } catch (...) {
        if (!firstError) firstError = std::current_exception();
      }
    }
    if (owned.ClearReference) owned.ClearReference();
    owned.Component.reset();
  }
  if (firstError) std::rethrow_exception(firstError);
}

void TServiceApplication::RunExitProcedures() {
  std::vector<std::function<void()>> procedures;
  procedures.swap(ExitProcedures);
  for (auto& procedure : procedures) {
    try {
      procedure();
    } catch (const Exception& error) {
      Quietly([&] { LogApplicationException(error); });
    } catch (...) {
    }
  }
}

void TServiceApplication::ReportProgramError(const std::string& className, const std::string& message,
                                             uintptr_t address) {
  ::ReportProgramError(Platform.Process, EventLogger, StartedByServiceManager(), className, message, address);
}

void ReportProgramError(TApplicationApi& api, TEventLogger& logger, bool startedByServiceManager,
                        const std::string& className, const std::string& message, uintptr_t address) {
  Quietly([&] {
    std::string moduleName = logger.SourceName();
    uintptr_t offset = 0;
    std::string modulePath;
    uintptr_t moduleBase = 0;
    if (address != 0 && api.FindModule(address, modulePath, moduleBase)) {
      moduleName = FileNameOf(modulePath);
      offset = address - moduleBase;
    }
    const std::string text = ApplicationErrorText(className, moduleName, offset, message);
    // A box in a service's session, or on a station nobody sees, would wait for
    // ever: the event log takes the report there instead.
    if (startedByServiceManager || !api.InteractiveStation())
      logger.LogEvent(text);
    else
      api.ShowMessageBox(text, CutText(kApplicationErrorCaption, kApplicationErrorCaptionLimit),
                         kMbTaskModal | kMbIconError);
  });
}

int RunServiceProgram(TServiceApplication& application,
                      const std::function<void(TServiceApplication&)>& createModule) {
  try {
    application.InitializeApplication();
    application.Title = kApplicationTitle;
    createModule(application);
    application.RunApplication();
  } catch (const Exception& error) {
    application.ReportProgramError(error.ClassName(), error.Message(),
                                   ThrowAddress(dynamic_cast<const void*>(&error)));
  } catch (const std::exception& error) {
    // Anything else is reported as an Exception without a message.
    application.ReportProgramError("Exception", "", ThrowAddress(dynamic_cast<const void*>(&error)));
  } catch (...) {
    application.ReportProgramError("Exception", "", ThrowAddress(nullptr));
  }
  application.RunExitProcedures();
  return 0;
}
