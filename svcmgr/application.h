#pragma once
// TServiceApplication: the one service application of the process. It owns the
// service module, reads the command line, installs or uninstalls the service, or
// connects the process to the service control manager through the dispatcher
// thread while the main thread runs the message loop.
//
// Threads: created, run and released on the main thread. ServiceMainCallback runs
// on the thread the control dispatcher provides; TServiceStartThread on its own.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "common/registry_api.h"
#include "svcmgr/application_api.h"
#include "svcmgr/event_logger.h"
#include "svcmgr/install_api.h"
#include "svcmgr/message_loop.h"
#include "svcmgr/service.h"

inline constexpr char kApplicationTitle[] = "Nortavel free service";

// Every platform facility the service application reaches.
struct TServiceApplicationPlatform {
  TApplicationApi& Process;
  TMessageLoopApi& MessageLoop;
  TServiceManagerApi& ServiceManager;
  TEventLogApi& EventLog;
  TRegistryApi& Registry;  // the event sources' and Safe Mode's keys
};

// The dispatcher thread: connects the process to the service control manager
// and, as its last act, posts the quit message to the message loop's window.
class TServiceStartThread {
 public:
  // Starts at once. table must stay unchanged until this object is released.
  // Raises EThread when the thread cannot be created.
  TServiceStartThread(TApplicationApi& api, TMessageLoopApi& loopApi, const TServiceTableEntry* table,
                      uintptr_t quitWindow);
  // Waits until the thread has ended.
  ~TServiceStartThread();
  TServiceStartThread(const TServiceStartThread&) = delete;
  TServiceStartThread& operator=(const TServiceStartThread&) = delete;

  // 0 when the dispatcher returned after its services stopped, else the error
  // code of the failed connection. Read it once the quit message has arrived.
  uint32_t DispatcherResult() const { return Result.load(); }

 private:
  void Execute();

  TApplicationApi& Api;
  TMessageLoopApi& LoopApi;
  const TServiceTableEntry* Table;
  uintptr_t QuitWindow;
  std::atomic<uint32_t> Result{0};
  std::thread Thread;
};

class TServiceApplication {
 public:
  // Hooks EndSessionHook into forms' window. The event logger's source is the
  // executable's file name. Becomes the process's Application.
  TServiceApplication(const TServiceApplicationPlatform& platform, TApplication& forms);
  // Runs what exit procedures are left, removes the hooks, releases the logger.
  ~TServiceApplication();
  TServiceApplication(const TServiceApplication&) = delete;
  TServiceApplication& operator=(const TServiceApplication&) = delete;

  TEventLogger EventLogger;
  bool Initialized = false;
  std::string Title;

  // Once per process: the process shows no main window.
  void InitializeApplication();

  // Constructs a module (construct returns a std::unique_ptr<TModule>), runs its
  // creation handler and owns it; reference points at it until it is destroyed.
  // When construction fails, reference is null and the error passes on.
  // reference must outlive this application.
  template <class TModule, class TFactory>
  void CreateModule(TModule*& reference, TFactory&& construct);

  // Installs, uninstalls, or hosts the services until they have stopped.
  void RunApplication();
  // Installs or uninstalls every service and reports the outcome in dialogs; the
  // success dialog only when not silent. A removal stops each service before its
  // BeforeUninstall handler runs; one that does not stop is not removed, and
  // keeps its event sources and Safe Mode keys. With the services, the keys of their
  // event sources and of the executable's file name are written (for those
  // installed) or deleted (for all). A service control manager that cannot be
  // opened raises the failed-system-call error.
  void ChangeRegistration(bool install, bool silent);

  // The services' entry in the service table; nothing escapes it.
  static void NF_WINAPI ServiceMainCallback(uint32_t argCount, char** args);
  // What ServiceMainCallback does: runs the service named by args[0].
  void DispatchServiceMain(uint32_t argCount, char** args);

  // The message of error as an error event under the executable's file name.
  void LogApplicationException(const Exception& error);
  // Handles WM_ENDSESSION, so that the end of a user's session never ends the process.
  bool EndSessionHook(TWindowMessage& message);
  // Destroys every owned component, newest first; services run their destruction
  // handler first. The first error of a handler passes on once all are destroyed.
  void ReleaseComponents();
  // Whether the command line holds "-name" or "/name", ignoring case.
  bool HasSwitch(const std::string& name);

  // The exit procedures that RunApplication registered, each once; errors go to
  // the event log.
  void RunExitProcedures();
  // The last-resort report of an error that escaped the program entry.
  void ReportProgramError(const std::string& className, const std::string& message, uintptr_t address);
  // Whether the service control manager started this process: it has called a
  // service's entry, or the dispatcher returned after connecting.
  bool StartedByServiceManager() const { return ServiceManagerConnected.load(); }

  std::vector<TService*> Services() const;
  size_t ComponentCount() const { return Components.size(); }
  TApplication& Forms;

 private:
  struct TOwnedComponent {
    std::unique_ptr<TComponent> Component;
    std::function<void()> ClearReference;
  };

  void Adopt(std::unique_ptr<TComponent> component, std::function<void()> clearReference);
  std::vector<TServiceTableEntry> BuildServiceTable() const;
  std::string ExecutablePath();
  // Writes (install) or deletes the event-source keys of sources and of the
  // executable's file name; nothing when sources is empty. A key that cannot be
  // written or deleted is reported as a warning event.
  void ChangeEventSources(bool install, std::vector<std::string> sources, const std::string& messageFile);
  // Safe Mode and the failure actions of a service just installed, or the Safe
  // Mode keys of one removed; what fails is a warning event.
  void ChangeExtras(bool install, const TService& service, uintptr_t manager);

  TServiceApplicationPlatform Platform;
  std::vector<TOwnedComponent> Components;
  std::vector<std::function<void()>> ExitProcedures;
  bool ReleaseRegistered = false;
  int EndSessionHookId = 0;
  std::atomic<bool> ServiceManagerConnected{false};
};

// The process's service application while it exists.
extern TServiceApplication* Application;

// The last-resort report: a message box ("Application Error") when a user can see
// it, else, in a process the service control manager started or on a station
// nobody sees, an error event with the same text. Never raises.
void ReportProgramError(TApplicationApi& api, TEventLogger& logger, bool startedByServiceManager,
                        const std::string& className, const std::string& message, uintptr_t address);

// The program entry's steps: initialise, title, create the module, run; an error
// that escapes is reported; then the exit procedures run. Returns 0 in every case.
int RunServiceProgram(TServiceApplication& application,
                      const std::function<void(TServiceApplication&)>& createModule);

template <class TModule, class TFactory>
void TServiceApplication::CreateModule(TModule*& reference, TFactory&& construct) {
  static_assert(std::is_base_of<TService, TModule>::value, "a module is a service");
  reference = nullptr;
  std::unique_ptr<TModule> module = construct();
  module->AfterConstruction();
  TModule* const created = module.get();
  TModule** const slot = &reference;
  Adopt(std::move(module), [slot] { *slot = nullptr; });
  reference = created;
}
