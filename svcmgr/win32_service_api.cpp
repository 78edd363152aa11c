// The service runtime's calls, forwarded to advapi32, kernel32 and user32.
#include "svcmgr/service_api.h"
#include "common/win32.h"

namespace {

static_assert(sizeof(DWORD) == sizeof(uint32_t), "control codes and status fields are 32-bit");

// The thread's start routine: WINAPI, as CreateThread calls it, and nothing may
// leave it.
DWORD WINAPI ThreadStart(LPVOID parameter) {
  try {
    static_cast<TThreadRoutine*>(parameter)->ThreadMain();
  } catch (...) {
  }
  return 0;
}

MSG ToNative(const TThreadMessage& message) {
  MSG native = {};
  native.hwnd = reinterpret_cast<HWND>(message.Window);
  native.message = message.Message;
  native.wParam = static_cast<WPARAM>(message.WParam);
  native.lParam = static_cast<LPARAM>(message.LParam);
  native.time = message.Time;
  native.pt.x = message.PointX;
  native.pt.y = message.PointY;
  return native;
}

TThreadMessage FromNative(const MSG& native) {
  TThreadMessage message;
  message.Window = reinterpret_cast<uintptr_t>(native.hwnd);
  message.Message = native.message;
  message.WParam = static_cast<uintptr_t>(native.wParam);
  message.LParam = static_cast<intptr_t>(native.lParam);
  message.Time = native.time;
  message.PointX = native.pt.x;
  message.PointY = native.pt.y;
  return message;
}

class TWin32ServiceRuntime : public TServiceRuntimeApi {
 public:
  TEventLogApi& EventLog() override { return PlatformEventLog(); }

  uintptr_t RegisterControlEntry(const std::string& serviceName, TServiceControlEntry entry) override {
    // TServiceControlEntry is void WINAPI (uint32_t); LPHANDLER_FUNCTION differs only
    // in spelling its 32-bit argument DWORD.
    const auto handler = reinterpret_cast<LPHANDLER_FUNCTION>(entry);
    return reinterpret_cast<uintptr_t>(RegisterServiceCtrlHandlerA(serviceName.c_str(), handler));
  }

  bool ReportStatus(uintptr_t statusHandle, const TServiceStatusRecord& status) override {
    SERVICE_STATUS native = {};
    native.dwServiceType = status.ServiceType;
    native.dwCurrentState = status.CurrentState;
    native.dwControlsAccepted = status.ControlsAccepted;
    native.dwWin32ExitCode = status.Win32ExitCode;
    native.dwServiceSpecificExitCode = status.ServiceSpecificExitCode;
    native.dwCheckPoint = status.CheckPoint;
    native.dwWaitHint = status.WaitHint;
    return SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(statusHandle), &native) != FALSE;
  }

  uintptr_t SpawnThread(TThreadRoutine& routine, uint32_t creationFlags, uint32_t& threadId) override {
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, &ThreadStart, &routine, creationFlags, &id);
    threadId = id;
    return reinterpret_cast<uintptr_t>(thread);
  }

  uint32_t ResumeSuspended(uintptr_t thread) override { return ResumeThread(reinterpret_cast<HANDLE>(thread)); }

  uint32_t WaitObject(uintptr_t handle, uint32_t milliseconds) override {
    return WaitForSingleObject(reinterpret_cast<HANDLE>(handle), milliseconds);
  }

  void CloseThreadHandle(uintptr_t thread) override {
    KeepingLastError([&] { return CloseHandle(reinterpret_cast<HANDLE>(thread)); });
  }

  bool PostToThread(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    return PostThreadMessageA(threadId, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != FALSE;
  }

  bool PeekQueue(TThreadMessage& message, uintptr_t window, uint32_t filterMin, uint32_t filterMax,
                 uint32_t removeFlags) override {
    MSG native = {};
    const BOOL found = PeekMessageA(&native, reinterpret_cast<HWND>(window), filterMin, filterMax, removeFlags);
    if (found) message = FromNative(native);
    return found != FALSE;
  }

  int32_t WaitQueue(TThreadMessage& message, uintptr_t window, uint32_t filterMin, uint32_t filterMax) override {
    MSG native = {};
    const BOOL result = GetMessageA(&native, reinterpret_cast<HWND>(window), filterMin, filterMax);
    if (result != -1) message = FromNative(native);
    return result;
  }

  void DispatchQueued(const TThreadMessage& message) override {
    const MSG native = ToNative(message);
    DispatchMessageA(&native);
  }

  uint32_t LastError() override { return GetLastError(); }
};

}  // namespace

TServiceRuntimeApi& PlatformServiceRuntimeApi() {
  static TWin32ServiceRuntime api;
  return api;
}
