#include "svcmgr/window_metrics.h"

#include "common/win32.h"

uint32_t WindowDpi(uintptr_t window) {
  // Looked up: Windows 8.1 lacks it.
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<TGetDpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  UINT dpi = getDpi != nullptr ? getDpi(reinterpret_cast<HWND>(window)) : 0;
  if (dpi == 0) {
    HDC screen = GetDC(nullptr);
    dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  return dpi != 0 ? dpi : kBaseDpi;
}

int ScaledFor(int pixels, uint32_t dpi) { return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi)); }

uintptr_t MessageFontFor(uint32_t dpi) {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTA font{};
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) != FALSE)
    font = metrics.lfMessageFont;
  else
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  HDC screen = GetDC(nullptr);
  const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), systemDpi > 0 ? systemDpi : static_cast<int>(kBaseDpi));
  return reinterpret_cast<uintptr_t>(CreateFontIndirectA(&font));
}

uint32_t FollowDpiChange(uintptr_t window, uintptr_t wParam, intptr_t lParam) {
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  SetWindowPos(reinterpret_cast<HWND>(window), nullptr, suggested->left, suggested->top,
               suggested->right - suggested->left, suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  return HIWORD(wParam);
}
