// The clock's link to the service: its requests through the service's pipe,
// made on a thread of their own so that a busy service never freezes the
// window, and the goodbye the package sends before it removes the files.
#include "tray/win32_tray.h"
// After <windows.h>, on which it builds.
#include <tlhelp32.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "common/protocol.h"
#include "winsys/pipe_api.h"

namespace {
// How long a call waits for the pipe to be free.
constexpr uint32_t kCallWaitMs = 2000;
// Before the service has made the goodbye event (the clock starts at logon,
// maybe before the service), it is looked for this often.
constexpr DWORD kGoodbyeLookMs = 5000;
// How long the package's goodbye waits for the clocks to end.
constexpr DWORD kGoodbyeWaitMs = 5000;
constexpr DWORD kGoodbyePollMs = 100;

struct TQueuedCall {
  TServiceCall Call;
  std::string Request;
};

std::mutex QueueLock;
std::condition_variable QueueFilled;
std::deque<TQueuedCall> Queue;

void MakeCalls(HWND window) {
  for (;;) {
    TQueuedCall next;
    {
      std::unique_lock<std::mutex> lock(QueueLock);
      QueueFilled.wait(lock, [] { return !Queue.empty(); });
      next = Queue.front();
      Queue.pop_front();
    }
    std::string answer;
    const uint32_t error =
        PlatformPipeClient().Call(kPipeName, next.Request, answer, kCallWaitMs, next.Call == TServiceCall::Pin);
    if (error == TPipeClientApi::kNotTheService) answer = "ERR not the service";
    else if (error != 0) answer.clear();
    auto* posted = new std::string(answer);
    if (!PostMessageA(window, kServiceAnswer, static_cast<WPARAM>(next.Call), reinterpret_cast<LPARAM>(posted)))
      delete posted;
  }
}

void AwaitGoodbye(HWND window) {
  HANDLE goodbye = nullptr;
  while ((goodbye = OpenEventA(SYNCHRONIZE, FALSE, kClockGoodbyeEvent)) == nullptr) Sleep(kGoodbyeLookMs);
  WaitForSingleObject(goodbye, INFINITE);
  CloseHandle(goodbye);
  PostMessageA(window, kGoodbyeMessage, 0, 0);
}

// Whether another nortaveltray.exe runs, in any session.
bool OtherClocksRun() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
    found = entry.th32ProcessID != GetCurrentProcessId() && lstrcmpiA(entry.szExeFile, "nortaveltray.exe") == 0;
  CloseHandle(snapshot);
  return found;
}
}  // namespace

void StartServiceLink(HWND window) {
  std::thread(MakeCalls, window).detach();
  std::thread(AwaitGoodbye, window).detach();
}

void CallService(TServiceCall call, const std::string& request) {
  {
    std::lock_guard<std::mutex> lock(QueueLock);
    // A state asked for while one is waiting adds nothing.
    if (call == TServiceCall::State && !Queue.empty() && Queue.back().Call == TServiceCall::State) return;
    Queue.push_back(TQueuedCall{call, request});
  }
  QueueFilled.notify_one();
}

uint32_t CallServiceNow(const std::string& request, std::string& answer) {
  return PlatformPipeClient().Call(kPipeName, request, answer, kCallWaitMs, false);
}

bool ServiceInstalled() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return true;
  SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_QUERY_STATUS);
  const bool gone = service == nullptr && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return !gone;
}

void SayGoodbyeToTheClocks() {
  HANDLE goodbye = OpenEventA(EVENT_MODIFY_STATE, FALSE, kClockGoodbyeEvent);
  // No event: no service made it since the computer started, and no clock waits.
  if (goodbye == nullptr) return;
  SetEvent(goodbye);
  for (DWORD waited = 0; waited < kGoodbyeWaitMs && OtherClocksRun(); waited += kGoodbyePollMs) Sleep(kGoodbyePollMs);
  // Set it stays while the service holds it: after a removal rolled back, the
  // clocks started again must not end at once.
  ResetEvent(goodbye);
  CloseHandle(goodbye);
}
