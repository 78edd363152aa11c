// The timer's hidden "TPUtilWindow": created on the constructing thread, given
// TimerWindowProc bound to its timer, so WM_TIMER becomes TTimer::Tick there.
#include "svcmgr/timer.h"
#include "svcmgr/timer_api.h"
#include "common/win32.h"

namespace {

constexpr char kUtilWindowClass[] = "TPUtilWindow";

LRESULT CALLBACK TimerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (timer != nullptr) {
      try {
        timer->Tick();
      } catch (...) {
        // Tick lets nothing escape; this only keeps the promise at the boundary.
      }
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The class is shared by every such window of the process: registered once with
// DefWindowProcA, and registered anew when someone left it with another procedure.
bool EnsureUtilWindowClass(HINSTANCE instance) {
  WNDCLASSA existing = {};
  if (GetClassInfoA(instance, kUtilWindowClass, &existing)) {
    if (existing.lpfnWndProc == &DefWindowProcA) return true;
    UnregisterClassA(kUtilWindowClass, instance);
  }
  WNDCLASSA utilClass = {};
  utilClass.lpfnWndProc = &DefWindowProcA;
  utilClass.hInstance = instance;
  utilClass.lpszClassName = kUtilWindowClass;
  return RegisterClassA(&utilClass) != 0;
}

class TWin32TimerApi : public TTimerApi {
 public:
  uintptr_t CreateTimerWindow(TTimer& timer) override {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!EnsureUtilWindowClass(instance)) return 0;
    const HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, instance, nullptr);
    if (window == nullptr) return 0;
    // The timer first, so the procedure finds it from its first message on.
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&timer));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TimerWindowProc));
    return reinterpret_cast<uintptr_t>(window);
  }

  void DestroyTimerWindow(uintptr_t window) override {
    KeepingLastError([&] { return DestroyWindow(reinterpret_cast<HWND>(window)); });
  }

  bool SetTimer(uintptr_t window, uintptr_t id, uint32_t interval) override {
    return ::SetTimer(reinterpret_cast<HWND>(window), id, interval, nullptr) != 0;
  }

  void KillTimer(uintptr_t window, uintptr_t id) override { ::KillTimer(reinterpret_cast<HWND>(window), id); }

  uint32_t LastError() override { return GetLastError(); }
};

}  // namespace

TTimerApi& PlatformTimerApi() {
  static TWin32TimerApi api;
  return api;
}
