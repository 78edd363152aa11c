// A CBT hook procedure that refuses the service application's hidden window.
// A Windows test installs it for the desktop, so that the real executable fails
// at start-up the way it would without a window, while message boxes (and the
// test's dialog helper) still open. Built as refuse_app_window.dll; the export is
// undecorated (--kill-at) so the test finds it by its plain name.
#include <windows.h>

#include <cstring>

extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseAppWindow(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    // The class is read from the new window: the creator may have named it by atom.
    char className[64] = {};
    GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className);
    if (std::strcmp(className, "NortavelFreeApplication") == 0) return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
