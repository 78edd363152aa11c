// The least a Win32 program with a window does: one window with one line of
// text, shown, and a message loop until it is closed. tray_bench.exe times it
// beside nortaveltray.exe, so that what Wine costs every program shows apart
// from what the tray adds.
#include <windows.h>

namespace {

LRESULT CALLBACK BareProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA bare{};
  bare.lpfnWndProc = BareProc;
  bare.hInstance = instance;
  bare.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  bare.lpszClassName = "BareWindow";
  RegisterClassA(&bare);
  HWND window = CreateWindowExA(0, "BareWindow", "Bare window", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                CW_USEDEFAULT, CW_USEDEFAULT, 340, 240, nullptr, nullptr, instance, nullptr);
  CreateWindowExA(0, "STATIC", "One line", WS_CHILD | WS_VISIBLE, 12, 10, 300, 18, window, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
