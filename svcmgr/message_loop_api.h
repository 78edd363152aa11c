#pragma once
// The window and message calls behind TApplication, the main thread's message
// loop. Method names avoid the A/W macros of <windows.h>.

#include <cstdint>

class TApplication;

// The class of the hidden window, by which another process finds it.
inline constexpr char kAppWindowClass[] = "NortavelFreeApplication";

inline constexpr uint32_t kWmEndSession = 0x0016;  // WM_ENDSESSION
inline constexpr uint32_t kWmQuit = 0x0012;        // WM_QUIT

// What one step of the loop found in the calling thread's queue.
enum class TTakeResult { Empty, Dispatched, Quit };

class TMessageLoopApi {
 public:
  virtual ~TMessageLoopApi() = default;

  // A hidden top-level window owned by the calling thread, whose messages reach
  // app.WindowMessage; 0 on failure (the cause in LastError).
  virtual uintptr_t CreateAppWindow(TApplication& app) = 0;
  virtual void DestroyAppWindow(uintptr_t window) = 0;

  // PeekMessageA(any window, all messages, PM_REMOVE); a quit message is reported,
  // any other is translated and dispatched (TranslateMessage, DispatchMessageA).
  virtual TTakeResult TakeAndDispatch() = 0;
  // WaitMessage(): returns when a new message has arrived in the calling thread's queue.
  virtual void WaitForNextMessage() = 0;

  // PostMessageA(window, message, wParam, lParam); callable from any thread.
  virtual bool PostToWindow(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

  // GetLastError() of the calling thread.
  virtual uint32_t LastError() = 0;
};

// The Windows implementation; not available natively.
TMessageLoopApi& PlatformMessageLoopApi();
