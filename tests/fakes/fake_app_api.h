#pragma once
// Fakes of the service application's seams: the process calls (command line,
// file name, message boxes, dispatcher), the message loop, the service control
// manager and the event log. Each records what it was asked and fails on demand.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/registry_api.h"
#include "svcmgr/application_api.h"
#include "svcmgr/event_log_api.h"
#include "svcmgr/install_api.h"
#include "svcmgr/message_loop.h"

// A service table entry as the dispatcher received it; no name for the last.
struct TDispatchedEntry {
  std::optional<std::string> ServiceName;
  TServiceMainFunction ServiceProc = nullptr;
};

struct TShownBox {
  std::string Text;
  std::string Caption;
  uint32_t Flags = 0;
};

class TFakeApplicationApi : public TApplicationApi {
 public:
  std::string CommandLineText = "nortavel_free_service.exe";
  std::string ExecutablePath = "C:\\Program Files\\Nortavel\\nortavel_free_service.exe";
  std::map<uintptr_t, std::string> Modules;  // load address -> path; each spans 0x10000
  bool Interactive = true;
  uint32_t LastErrorValue = 0;

  // The dispatcher: the result it returns (with DispatcherError as the last
  // error) after OnDispatch, which runs on the dispatcher thread.
  bool DispatcherConnects = false;
  uint32_t DispatcherError = 1063;  // ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
  std::function<void(const TServiceTableEntry* table)> OnDispatch;

  std::string CommandLine() override { return CommandLineText; }
  std::string ModuleFileName(uint32_t room) override {
    std::lock_guard<std::mutex> guard(Lock);
    Rooms.push_back(room);
    return ExecutablePath.substr(0, room);
  }
  bool FindModule(uintptr_t address, std::string& modulePath, uintptr_t& moduleBase) override {
    for (const auto& [base, path] : Modules) {
      if (address >= base && address < base + 0x10000) {
        modulePath = path;
        moduleBase = base;
        return true;
      }
    }
    return false;
  }
  int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t flags) override {
    std::lock_guard<std::mutex> guard(Lock);
    Boxes.push_back(TShownBox{text, caption, flags});
    return 1;  // IDOK
  }
  bool InteractiveStation() override { return Interactive; }
  bool StartDispatcher(const TServiceTableEntry* table) override {
    {
      std::lock_guard<std::mutex> guard(Lock);
      for (const TServiceTableEntry* entry = table;; ++entry) {
        Table.push_back(TDispatchedEntry{
            entry->ServiceName == nullptr ? std::nullopt : std::optional<std::string>(entry->ServiceName),
            entry->ServiceProc});
        if (entry->ServiceName == nullptr) break;
      }
    }
    if (OnDispatch) OnDispatch(table);
    LastErrorValue = DispatcherConnects ? 0 : DispatcherError;
    return DispatcherConnects;
  }
  uint32_t LastError() override { return LastErrorValue; }

  std::vector<TShownBox> TakeBoxes() {
    std::lock_guard<std::mutex> guard(Lock);
    std::vector<TShownBox> boxes;
    boxes.swap(Boxes);
    return boxes;
  }

  std::vector<uint32_t> Rooms;
  std::vector<TDispatchedEntry> Table;

 private:
  std::mutex Lock;
  std::vector<TShownBox> Boxes;
};

// A message queue of scripted messages. A message is an action run by
// TakeAndDispatch in place of a window procedure; posts from any thread queue a
// quit message or wake the waiting loop.
class TFakeMessageLoopApi : public TMessageLoopApi {
 public:
  static constexpr uintptr_t kWindow = 0xA99;

  bool FailCreateWindow = false;

  uintptr_t CreateAppWindow(TApplication& app) override {
    if (FailCreateWindow) return 0;
    App = &app;
    return kWindow;
  }
  void DestroyAppWindow(uintptr_t window) override { Destroyed.push_back(window); }

  TTakeResult TakeAndDispatch() override {
    std::function<void()> message;
    {
      std::lock_guard<std::mutex> guard(Lock);
      if (Queue.empty()) return TTakeResult::Empty;
      message = std::move(Queue.front());
      Queue.pop_front();
    }
    if (!message) return TTakeResult::Quit;
    message();
    return TTakeResult::Dispatched;
  }
  void WaitForNextMessage() override {
    std::unique_lock<std::mutex> guard(Lock);
    ++Waits;
    Arrived.wait(guard, [this] { return !Queue.empty(); });
  }
  bool PostToWindow(uintptr_t window, uint32_t message, uintptr_t, intptr_t) override {
    std::lock_guard<std::mutex> guard(Lock);
    Posts.push_back({window, message});
    if (message == kWmQuit) Queue.push_back(nullptr);
    Arrived.notify_all();
    return true;
  }
  uint32_t LastError() override { return FailCreateWindow ? 1400 : 0; }

  // Queues a message whose handling runs action.
  void Send(std::function<void()> action) {
    std::lock_guard<std::mutex> guard(Lock);
    Queue.push_back(std::move(action));
    Arrived.notify_all();
  }
  std::vector<std::pair<uintptr_t, uint32_t>> TakePosts() {
    std::lock_guard<std::mutex> guard(Lock);
    return Posts;
  }

  TApplication* App = nullptr;
  std::vector<uintptr_t> Destroyed;
  int Waits = 0;

 private:
  std::mutex Lock;
  std::condition_variable Arrived;
  std::deque<std::function<void()>> Queue;  // an empty action is a quit message
  std::vector<std::pair<uintptr_t, uint32_t>> Posts;
};

// What CreateServiceA received, with null pointers kept apart from empty texts.
struct TCreatedService {
  uintptr_t Manager = 0;
  std::optional<std::string> ServiceName, DisplayName, BinaryPathName, LoadOrderGroup, ServiceStartName, Password;
  uint32_t DesiredAccess = 0, ServiceType = 0, StartType = 0, ErrorControl = 0;
  bool TagRequested = false;
  std::optional<std::vector<std::string>> Dependencies;  // the names of the double-zero list
  std::string DependencyBytes;                           // the list up to and including its two zeros
};

// A registry value as RegSetValueExA received it.
struct TFakeRegValue {
  uint32_t Type = 0;
  std::string Data;  // the bytes, a string's terminating zero included
};

// A service control manager with a set of registered names, and the keys below
// HKEY_LOCAL_MACHINE that installation's registry calls reach (those it does
// not make answer ERROR_INVALID_FUNCTION). Every control manager call is also
// recorded as text ("open-manager", "create NortavelFree", "close"...).
class TFakeServiceManagerApi : public TServiceManagerApi, public TRegistryApi {
 public:
  static constexpr uintptr_t kLocalMachine = static_cast<uintptr_t>(static_cast<intptr_t>(INT32_MIN + 2));
  static constexpr uint32_t kErrorServiceExists = 1073;

  std::set<std::string> Registered;
  uint32_t FailOpenManager = 0;  // nonzero: OpenManager fails with this code
  uint32_t FailCreate = 0;
  uint32_t FailDelete = 0;
  uint32_t FailFailureActions = 0;
  // key path -> value name -> value; a key's path is as the caller spelled it.
  std::map<std::string, std::map<std::string, TFakeRegValue>> Keys;
  int32_t FailCreateKey = 0;  // nonzero: the registry call fails with this code
  int32_t FailSetValue = 0;
  int32_t FailDeleteKey = 0;
  // Every registered service is in State; a stop request makes a running one
  // stop pending, and it stops after PausesToStop pauses (never when negative).
  uint32_t State = kStateStopped;
  int PausesToStop = 0;
  uint32_t FailControl = 0;
  std::vector<uint32_t> Controls;
  uint32_t PausedMs = 0;

  bool QueryState(uintptr_t, uint32_t& state) override {
    state = State;
    return true;
  }
  bool Control(uintptr_t, uint32_t control, uint32_t& state) override {
    Controls.push_back(control);
    if (FailControl != 0) {
      Fail(FailControl);
      return false;
    }
    State = PausesToStop == 0 ? kStateStopped : kStateStopPending;
    state = State;
    return true;
  }
  void Pause(uint32_t milliseconds) override {
    PausedMs += milliseconds;
    if (State == kStateStopPending && --PausesToStop == 0) State = kStateStopped;
  }

  uintptr_t OpenManager(const char* machineName, const char* databaseName, uint32_t access) override {
    Calls.push_back("open-manager");
    ManagerArgs = {machineName == nullptr, databaseName == nullptr, access};
    if (FailOpenManager != 0) return Fail(FailOpenManager);
    return NewHandle();
  }
  uintptr_t CreateEntry(const TCreateServiceCall& call) override {
    Created.push_back(Copy(call));
    Calls.push_back("create " + std::string(call.ServiceName));
    if (FailCreate != 0) return Fail(FailCreate);
    if (!Registered.insert(call.ServiceName).second) return Fail(kErrorServiceExists);
    return NewHandle();
  }
  uintptr_t OpenEntry(uintptr_t, const std::string& name, uint32_t access) override {
    Calls.push_back("open " + name + " " + std::to_string(access));
    if (Registered.count(name) == 0) return Fail(kErrorServiceDoesNotExist);
    OpenNames[NextHandle] = name;
    return NewHandle();
  }
  bool DeleteEntry(uintptr_t service) override {
    Calls.push_back("delete");
    if (FailDelete != 0) {
      Fail(FailDelete);
      return false;
    }
    Registered.erase(OpenNames[service]);
    return true;
  }
  bool ChangeFailureActions(uintptr_t service, uint32_t resetPeriod,
                            const std::vector<TServiceAction>& actions) override {
    std::string call = "failure-actions " + OpenNames[service] + " reset " + std::to_string(resetPeriod);
    for (const TServiceAction& action : actions)
      call += " " + std::to_string(action.Type) + "/" + std::to_string(action.Delay);
    Calls.push_back(call);
    if (FailFailureActions != 0) {
      Fail(FailFailureActions);
      return false;
    }
    return true;
  }
  bool SetEntryAccess(uintptr_t service, const std::string& sddl) override {
    Calls.push_back("access " + OpenNames[service] + " " + sddl);
    if (FailAccess != 0) {
      Fail(FailAccess);
      return false;
    }
    return true;
  }
  uint32_t FailAccess = 0;
  void CloseEntry(uintptr_t handle) override {
    Calls.push_back("close");
    Open.erase(handle);
  }
  uint32_t LastError() override { return LastErrorValue; }

  int32_t CreateKey(uintptr_t root, const std::string& subKey, uint32_t, uint32_t, uintptr_t& key) override {
    key = 0;
    if (root != kLocalMachine) return 6;  // ERROR_INVALID_HANDLE
    if (FailCreateKey != 0) return FailCreateKey;
    Keys[subKey];
    KeyPaths[NextHandle] = subKey;
    key = NewHandle();
    return 0;
  }
  int32_t SetValue(uintptr_t key, const std::string& name, uint32_t type, const uint8_t* data,
                   uint32_t size) override {
    if (Open.count(key) == 0 || KeyPaths.count(key) == 0) return 6;
    if (FailSetValue != 0) return FailSetValue;
    Keys[KeyPaths[key]][name] = TFakeRegValue{type, std::string(reinterpret_cast<const char*>(data), size)};
    return 0;
  }
  int32_t DeleteKey(uintptr_t root, const std::string& subKey, uint32_t viewFlag) override {
    if (root != kLocalMachine || viewFlag != 0) return 6;
    if (FailDeleteKey != 0) return FailDeleteKey;
    return Keys.erase(subKey) == 1 ? 0 : 2;  // ERROR_FILE_NOT_FOUND
  }
  int32_t CloseKey(uintptr_t key) override {
    KeyPaths.erase(key);
    return Open.erase(key) == 1 ? 0 : 6;
  }
  static constexpr int32_t kNotMade = 1;  // ERROR_INVALID_FUNCTION
  int32_t OpenKey(uintptr_t, const std::string&, uint32_t, uintptr_t& key) override { return key = 0, kNotMade; }
  int32_t QueryValue(uintptr_t, const std::string&, uint32_t*, uint8_t*, uint32_t*) override { return kNotMade; }
  int32_t QueryKeyInfo(uintptr_t, uint32_t&, uint32_t&) override { return kNotMade; }
  int32_t EnumKey(uintptr_t, uint32_t, char*, uint32_t&) override { return kNotMade; }
  int32_t DeleteValue(uintptr_t, const std::string&) override { return kNotMade; }
  int32_t SetKeyAccess(uintptr_t, const std::string&) override { return kNotMade; }
  int32_t EnumValue(uintptr_t, uint32_t, char*, uint32_t&, uint32_t*, uint8_t*, uint32_t*) override { return kNotMade; }

  struct {
    bool NoMachine = false, DefaultDatabase = false;
    uint32_t Access = 0;
  } ManagerArgs;
  std::vector<TCreatedService> Created;
  std::vector<std::string> Calls;
  std::set<uintptr_t> Open;  // handles not yet closed

 private:
  uintptr_t NewHandle() {
    Open.insert(NextHandle);
    return NextHandle++;
  }
  uintptr_t Fail(uint32_t code) {
    LastErrorValue = code;
    return 0;
  }
  static std::optional<std::string> Text(const char* text) {
    return text == nullptr ? std::nullopt : std::optional<std::string>(text);
  }
  static TCreatedService Copy(const TCreateServiceCall& call) {
    TCreatedService copy;
    copy.Manager = call.Manager;
    copy.ServiceName = Text(call.ServiceName);
    copy.DisplayName = Text(call.DisplayName);
    copy.BinaryPathName = Text(call.BinaryPathName);
    copy.LoadOrderGroup = Text(call.LoadOrderGroup);
    copy.ServiceStartName = Text(call.ServiceStartName);
    copy.Password = Text(call.Password);
    copy.DesiredAccess = call.DesiredAccess;
    copy.ServiceType = call.ServiceType;
    copy.StartType = call.StartType;
    copy.ErrorControl = call.ErrorControl;
    copy.TagRequested = call.TagId != nullptr;
    if (call.Dependencies != nullptr) {
      std::vector<std::string> names;
      const char* p = call.Dependencies;
      // An empty list is its two zeros; otherwise names until an empty one.
      if (*p == '\0') {
        copy.DependencyBytes.assign(p, 2);
      } else {
        while (*p != '\0') {
          names.emplace_back(p);
          p += names.back().size() + 1;
        }
        copy.DependencyBytes.assign(call.Dependencies, static_cast<size_t>(p - call.Dependencies) + 1);
      }
      copy.Dependencies = names;
    }
    return copy;
  }

  uintptr_t NextHandle = 1;
  uint32_t LastErrorValue = 0;
  std::map<uintptr_t, std::string> OpenNames;
  std::map<uintptr_t, std::string> KeyPaths;  // open key handle -> its path
};

struct TAppEvent {
  std::string Source;
  uint16_t Type = 0;
  uint16_t Category = 0;
  uint32_t Id = 0;
  std::string Message;
};

// Event sources and events; a registration can be refused a number of times.
class TFakeAppEventLog : public TEventLogApi {
 public:
  int RefuseRegistrations = 0;

  uintptr_t RegisterSource(const std::string& sourceName) override {
    std::lock_guard<std::mutex> guard(Lock);
    Registrations.push_back(sourceName);
    if (RefuseRegistrations > 0) {
      --RefuseRegistrations;
      return 0;
    }
    Sources[NextSource] = sourceName;
    return NextSource++;
  }
  bool Report(uintptr_t source, uint16_t eventType, uint16_t category, uint32_t eventId,
              const std::string& message) override {
    std::lock_guard<std::mutex> guard(Lock);
    const auto found = Sources.find(source);
    Events.push_back(TAppEvent{found == Sources.end() ? "<no source>" : found->second, eventType, category, eventId,
                               message});
    return found != Sources.end();
  }
  void DeregisterSource(uintptr_t source) override {
    std::lock_guard<std::mutex> guard(Lock);
    Deregistered.push_back(source);
  }

  std::vector<TAppEvent> Events;
  std::vector<std::string> Registrations;
  std::vector<uintptr_t> Deregistered;

 private:
  std::mutex Lock;
  std::map<uintptr_t, std::string> Sources;
  uintptr_t NextSource = 0x70;
};
