// NortavelUseChart: a child's minutes of use on the last days as bars, today
// last and in the allowed colour, each day's budget a line across its bar.
// Its window text says today's figures in words, for a screen reader.
#include <algorithm>
#include <string>

#include "common/calendar.h"
#include "engine/week.h"
#include "settings/win32_settings.h"

namespace {
constexpr COLORREF kDayColour = RGB(120, 150, 190);
constexpr int kLeastScaleMinutes = 60;

struct TChartState {
  TUseChart Use;
  HFONT Font = nullptr;  // the parent's, given by WM_SETFONT
};


// The minutes the chart's height stands for: whole hours above the largest
// bar or budget, one hour at least.
int32_t ScaleMinutes(const TUseChart& use) {
  int32_t most = kLeastScaleMinutes;
  for (size_t i = 0; i < use.Minutes.size(); ++i) most = std::max({most, use.Minutes[i], use.Budget[i]});
  return (most + 59) / 60 * 60;
}

void Draw(HWND chart, const TChartState& state) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(chart, &paint);
  RECT client{};
  GetClientRect(chart, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  HGDIOBJ oldFont = SelectObject(dc, state.Font != nullptr ? state.Font : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  const int line = metrics.tmHeight;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));

  const TUseChart& use = state.Use;
  const int32_t scale = ScaleMinutes(use);
  const std::string top = std::to_string(scale / 60) + " h";
  SIZE topSize{};
  GetTextExtentPoint32A(dc, top.c_str(), static_cast<int>(top.size()), &topSize);
  const int left = topSize.cx + line / 2, bottom = client.bottom - line - 2, height = bottom - line / 2;
  TextOutA(dc, 0, line / 2 - line / 2, top.c_str(), static_cast<int>(top.size()));
  TextOutA(dc, topSize.cx - line / 2, bottom - line, "0", 1);
  HPEN axis = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT));
  HGDIOBJ oldPen = SelectObject(dc, axis);
  MoveToEx(dc, left, line / 2, nullptr);
  LineTo(dc, left, bottom);
  LineTo(dc, client.right, bottom);

  const int width = client.right - left;
  HBRUSH dayBrush = CreateSolidBrush(kDayColour), todayBrush = CreateSolidBrush(kAllowedColour);
  HPEN limit = CreatePen(PS_SOLID, std::max(2, line / 8), kTimeUpColour);
  const auto yOf = [&](int32_t minutes) { return bottom - static_cast<int>(static_cast<long long>(minutes) * height / scale); };
  for (int i = 0; i < kChartDays; ++i) {
    const size_t at = static_cast<size_t>(i);
    const int x0 = left + width * i / kChartDays, x1 = left + width * (i + 1) / kChartDays;
    const int gap = std::max(2, (x1 - x0) / 5);
    const bool today = i + 1 == kChartDays;
    RECT bar{x0 + gap, yOf(use.Minutes[at]), x1 - gap, bottom};
    FillRect(dc, &bar, today ? todayBrush : dayBrush);
    if (use.Budget[at] != kNoBudget) {
      SelectObject(dc, limit);
      MoveToEx(dc, x0 + 1, yOf(use.Budget[at]), nullptr);
      LineTo(dc, x1 - 1, yOf(use.Budget[at]));
    }
    // The weekday under each bar; today's says so.
    const int64_t day = use.FirstDay + i;
    const std::string label = today ? "Today" : ShortDayName(WeekdayOf(day));
    SetTextAlign(dc, TA_CENTER);
    SetTextColor(dc, today ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_GRAYTEXT));
    TextOutA(dc, (x0 + x1) / 2, bottom + 2, label.c_str(), static_cast<int>(label.size()));
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldFont);
  DeleteObject(axis);
  DeleteObject(limit);
  DeleteObject(dayBrush);
  DeleteObject(todayBrush);
  EndPaint(chart, &paint);
}

LRESULT CALLBACK ChartProc(HWND chart, UINT msg, WPARAM wParam, LPARAM lParam) {
  KeepState<TChartState>(chart, msg);
  TChartState* state = StateOf<TChartState>(chart);
  switch (msg) {
    case WM_SETFONT:
      state->Font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam) != 0) InvalidateRect(chart, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      Draw(chart, *state);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(chart, msg, wParam, lParam);
}
}  // namespace

void RegisterUseChart(HINSTANCE instance) { RegisterControl(instance, kUseChartClass, ChartProc, IDC_ARROW); }

void SetUseChart(HWND chart, const TUseChart& use) {
  StateOf<TChartState>(chart)->Use = use;
  const size_t today = static_cast<size_t>(kChartDays - 1);
  std::string said = "Used today: " + FormatDuration(use.Minutes[today] * 60LL);
  if (use.Budget[today] != kNoBudget) said += " of " + FormatDuration(use.Budget[today] * 60LL);
  SetWindowTextA(chart, said.c_str());
  InvalidateRect(chart, nullptr, TRUE);
}
