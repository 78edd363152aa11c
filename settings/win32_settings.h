#pragma once
// What the parts of nortavelsettings.exe share: the custom controls' classes
// and calls, and the window. Internal to settings/; Windows only.
//
// Thread: everything on the main thread.

#include "common/win32.h"

#include <optional>

#include "admin/admin.h"
#include "settings/settings_model.h"
#include "settings/week_paint.h"
#include "svcmgr/window_metrics.h"

inline constexpr char kSettingsCaption[] = "Nortavel free settings";
inline constexpr char kWeekGridClass[] = "NortavelWeekGrid";
inline constexpr char kUseChartClass[] = "NortavelUseChart";

// The notification (WM_COMMAND's high word) the week sends its parent when a
// cell changed.
inline constexpr WORD kGridChanged = 1;

// The control's own state, made with its window (WM_NCCREATE) and deleted with
// it (WM_NCDESTROY); StateOf reads it.
template <class TState>
TState* StateOf(HWND control) {
  return reinterpret_cast<TState*>(GetWindowLongPtrA(control, GWLP_USERDATA));
}
// Registers a control's class, the program's instance's.
inline void RegisterControl(HINSTANCE instance, const char* name, WNDPROC procedure, LPCSTR cursor) {
  WNDCLASSA control{};
  control.lpfnWndProc = procedure;
  control.hInstance = instance;
  control.hCursor = LoadCursor(nullptr, cursor);
  control.lpszClassName = name;
  RegisterClassA(&control);
}
template <class TState>
void KeepState(HWND control, UINT msg) {
  if (msg == WM_NCCREATE) SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new TState));
  if (msg != WM_NCDESTROY) return;
  delete StateOf<TState>(control);
  SetWindowLongPtrA(control, GWLP_USERDATA, 0);
}

// --- the week (win32_week_grid.cpp) ---
void RegisterWeekGrid(HINSTANCE instance);
void SetGridWeek(HWND grid, const TWeek& week);
TWeek GridWeek(HWND grid);
// The half hour now, outlined; nullopt outlines none.
void SetGridNow(HWND grid, std::optional<TGridCell> now);

// --- the days' use (win32_use_chart.cpp) ---
void RegisterUseChart(HINSTANCE instance);
void SetUseChart(HWND chart, const TUseChart& use);

// --- the window (win32_settings_window.cpp) ---
// Makes and shows the window over admin, which outlives it; null when it
// cannot be made.
HWND OpenSettingsWindow(TAdmin& admin, HINSTANCE instance);
// The service's decision, the requests and the days' use read again.
void RefreshSettingsWindow();
// Whether message is the window's dialog navigation (Tab, mnemonics), handled.
bool SettingsDialogMessage(MSG& message);
