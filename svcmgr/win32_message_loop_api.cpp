// The main thread's hidden window and message loop.
#include "svcmgr/message_loop.h"
#include "svcmgr/message_loop_api.h"
#include "common/win32.h"

namespace {

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* app = reinterpret_cast<TApplication*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (app != nullptr) {
    TWindowMessage windowMessage;
    windowMessage.Msg = message;
    windowMessage.WParam = wParam;
    windowMessage.LParam = lParam;
    // WindowMessage never raises.
    if (app->WindowMessage(windowMessage)) return windowMessage.Result;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class TWin32MessageLoopApi : public TMessageLoopApi {
 public:
  uintptr_t CreateAppWindow(TApplication& app) override {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing = {};
    if (!GetClassInfoA(instance, kAppWindowClass, &existing)) {
      WNDCLASSA appClass = {};
      appClass.lpfnWndProc = &AppWindowProc;
      appClass.hInstance = instance;
      appClass.lpszClassName = kAppWindowClass;
      if (RegisterClassA(&appClass) == 0) return 0;
    }
    // Top-level (no parent) so that it receives the session's end; never shown.
    const HWND window =
        CreateWindowExA(0, kAppWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 0;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&app));
    return reinterpret_cast<uintptr_t>(window);
  }

  void DestroyAppWindow(uintptr_t window) override {
    KeepingLastError([&] { return DestroyWindow(reinterpret_cast<HWND>(window)); });
  }

  TTakeResult TakeAndDispatch() override {
    MSG message = {};
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return TTakeResult::Empty;
    if (message.message == WM_QUIT) return TTakeResult::Quit;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return TTakeResult::Dispatched;
  }

  void WaitForNextMessage() override { WaitMessage(); }

  bool PostToWindow(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    return PostMessageA(reinterpret_cast<HWND>(window), message, wParam, lParam) != FALSE;
  }

  uint32_t LastError() override { return GetLastError(); }
};

}  // namespace

TMessageLoopApi& PlatformMessageLoopApi() {
  static TWin32MessageLoopApi api;
  return api;
}
