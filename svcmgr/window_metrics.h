#pragma once
// What the product's windows share of their looks: the DPI a window is shown
// at, the system's message font made for a DPI, and the colours of a week.
// Windows only (win32_window_metrics.cpp); the main thread.

#include <cstdint>

inline constexpr uint32_t kBaseDpi = 96;  // 100 %

// GetDpiForWindow where Windows has it (10 and later); elsewhere the screen's
// DPI, until WM_DPICHANGED tells another. kBaseDpi when neither answers.
uint32_t WindowDpi(uintptr_t window);
// pixels at 100 % as many at dpi.
int ScaledFor(int pixels, uint32_t dpi);
// The message font (Windows gives it in the pixels of the system's DPI) made
// for dpi: an HFONT the caller deletes.
uintptr_t MessageFontFor(uint32_t dpi);

// WM_DPICHANGED (Windows 8.1 and later): the window moved to a monitor of
// another DPI, or its scale changed. Places it where Windows suggests (the
// message's lParam) and gives the new DPI (from its wParam); the caller lays
// its content out anew.
inline constexpr uint32_t kWmDpiChanged = 0x02E0;
uint32_t FollowDpiChange(uintptr_t window, uintptr_t wParam, intptr_t lParam);

// A week's half hours wherever one is drawn (the child's clock, the parent's
// window), as COLORREF values: allowed green, restricted grey, the half hour
// now outlined in black.
inline constexpr uint32_t kAllowedColour = 0x50AA3C;     // RGB(60, 170, 80)
inline constexpr uint32_t kRestrictedColour = 0x707070;  // RGB(112, 112, 112)
inline constexpr uint32_t kNowColour = 0x000000;
// "Time is up" on the clock's icon, and a limit or a refused value in the
// parent's window.
inline constexpr uint32_t kTimeUpColour = 0x2828C8;  // RGB(200, 40, 40)
