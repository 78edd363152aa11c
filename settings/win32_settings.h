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

inline constexpr char kSettingsCaption[] = "Nortavel free settings";
inline constexpr char kWeekGridClass[] = "NortavelWeekGrid";
inline constexpr char kUseChartClass[] = "NortavelUseChart";

// The notification (WM_COMMAND's high word) the week sends its parent when a
// cell changed.
inline constexpr WORD kGridChanged = 1;

// Green is allowed and grey restricted, as in the child's clock; the half
// hour now is outlined.
inline constexpr COLORREF kRestrictedColour = RGB(112, 112, 112);
inline constexpr COLORREF kAllowedColour = RGB(60, 170, 80);
inline constexpr COLORREF kNowColour = RGB(0, 0, 0);
// The clock's "time is up".
inline constexpr COLORREF kLimitColour = RGB(200, 40, 40);

inline constexpr int kBaseDpi = 96;

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
