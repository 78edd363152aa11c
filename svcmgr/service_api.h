#pragma once
// The service control manager, thread, message-queue and event-log calls of the
// service runtime. The caller passes the documented argument values (flags,
// filters, time-outs) so that a fake can check them. Method names avoid the A/W
// macros of <windows.h>.

#include <cstdint>
#include <string>

#include "common/callconv.h"
#include "svcmgr/event_log_api.h"

// The function the control manager calls with a control code (RegisterServiceCtrlHandlerA).
using TServiceControlEntry = void(NF_WINAPI*)(uint32_t controlCode);

// SERVICE_STATUS: seven unsigned 32-bit fields in this order.
struct TServiceStatusRecord {
  uint32_t ServiceType = 0;
  uint32_t CurrentState = 0;
  uint32_t ControlsAccepted = 0;
  uint32_t Win32ExitCode = 0;
  uint32_t ServiceSpecificExitCode = 0;
  uint32_t CheckPoint = 0;
  uint32_t WaitHint = 0;
};

inline bool operator==(const TServiceStatusRecord& a, const TServiceStatusRecord& b) {
  return a.ServiceType == b.ServiceType && a.CurrentState == b.CurrentState &&
         a.ControlsAccepted == b.ControlsAccepted && a.Win32ExitCode == b.Win32ExitCode &&
         a.ServiceSpecificExitCode == b.ServiceSpecificExitCode && a.CheckPoint == b.CheckPoint &&
         a.WaitHint == b.WaitHint;
}
inline bool operator!=(const TServiceStatusRecord& a, const TServiceStatusRecord& b) { return !(a == b); }

// MSG, as far as the runtime looks at it. The Windows implementation carries the
// remaining fields through so that DispatchMessageA sees the message it took.
struct TThreadMessage {
  uintptr_t Window = 0;
  uint32_t Message = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  uint32_t Time = 0;
  int32_t PointX = 0;
  int32_t PointY = 0;
};

// What a thread created through the seam runs. The Windows start routine calls
// ThreadMain with the object it was given and catches whatever escapes.
class TThreadRoutine {
 public:
  virtual void ThreadMain() = 0;

 protected:
  ~TThreadRoutine() = default;
};

inline constexpr uint32_t kWmUser = 0x0400;          // WM_USER
inline constexpr uint32_t kPmNoRemove = 0;           // PM_NOREMOVE
inline constexpr uint32_t kPmRemove = 1;             // PM_REMOVE
inline constexpr uint32_t kCreateSuspended = 4;      // CREATE_SUSPENDED
inline constexpr uint32_t kInfinite = 0xFFFFFFFF;    // INFINITE
inline constexpr uint32_t kResumeFailed = 0xFFFFFFFF;  // ResumeThread's (DWORD)-1

class TServiceRuntimeApi {
 public:
  virtual ~TServiceRuntimeApi() = default;

  // The event log behind the service's own logger.
  virtual TEventLogApi& EventLog() = 0;

  // RegisterServiceCtrlHandlerA(serviceName, entry): the status handle, 0 on failure.
  virtual uintptr_t RegisterControlEntry(const std::string& serviceName, TServiceControlEntry entry) = 0;
  // SetServiceStatus(statusHandle, &status): false on failure.
  virtual bool ReportStatus(uintptr_t statusHandle, const TServiceStatusRecord& status) = 0;

  // CreateThread(no security attributes, default stack size, a start routine that
  // runs routine.ThreadMain(), &routine, creationFlags, &threadId): the thread
  // handle, 0 on failure.
  virtual uintptr_t SpawnThread(TThreadRoutine& routine, uint32_t creationFlags, uint32_t& threadId) = 0;
  // ResumeThread(thread): the previous suspend count, kResumeFailed on failure.
  virtual uint32_t ResumeSuspended(uintptr_t thread) = 0;
  // WaitForSingleObject(handle, milliseconds): WAIT_OBJECT_0 (0) once it is signalled.
  virtual uint32_t WaitObject(uintptr_t handle, uint32_t milliseconds) = 0;
  // CloseHandle(thread), keeping the caller's last-error code.
  virtual void CloseThreadHandle(uintptr_t thread) = 0;

  // PostThreadMessageA(threadId, message, wParam, lParam): false on failure (for
  // instance when the thread has no message queue yet).
  virtual bool PostToThread(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // PeekMessageA(&message, window, filterMin, filterMax, removeFlags): true when a
  // message was there. The first call on a thread gives it a message queue.
  virtual bool PeekQueue(TThreadMessage& message, uintptr_t window, uint32_t filterMin, uint32_t filterMax,
                         uint32_t removeFlags) = 0;
  // GetMessageA(&message, window, filterMin, filterMax): blocks until a message
  // arrives; 0 for WM_QUIT, -1 on error, else nonzero.
  virtual int32_t WaitQueue(TThreadMessage& message, uintptr_t window, uint32_t filterMin, uint32_t filterMax) = 0;
  // DispatchMessageA(&message).
  virtual void DispatchQueued(const TThreadMessage& message) = 0;

  // GetLastError() of the calling thread.
  virtual uint32_t LastError() = 0;
};

// The Windows implementation; not available natively.
TServiceRuntimeApi& PlatformServiceRuntimeApi();
