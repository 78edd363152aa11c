// NortavelWeekGrid: the week as one control, a cell per half hour. The
// painting rules live in week_paint; this is their Windows face: the mouse,
// the keys, the drawing, and a notification to the parent for every change.

#include "settings/win32_settings.h"

namespace {

struct TGridState {
  TWeekPaint Paint;
  std::optional<TGridCell> Now;
};


void Changed(HWND grid) {
  InvalidateRect(grid, nullptr, FALSE);
  SendMessageA(GetParent(grid), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(grid), kGridChanged),
               reinterpret_cast<LPARAM>(grid));
}

std::optional<TGridCell> CellUnder(HWND grid, LPARAM point) {
  RECT client{};
  GetClientRect(grid, &client);
  return CellAt(static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point)), client.right, client.bottom);
}

RECT RectOf(const TGridCell& cell, const RECT& client) {
  const TCellBox box = CellBox(cell, client.right, client.bottom);
  return RECT{box.Left, box.Top, box.Right, box.Bottom};
}

void Draw(HWND grid, const TGridState& state) {
  PAINTSTRUCT paint;
  HDC target = BeginPaint(grid, &paint);
  RECT client{};
  GetClientRect(grid, &client);
  // Drawn off screen first, so that a drag does not flicker.
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
  HGDIOBJ old = SelectObject(dc, bitmap);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  HBRUSH brushes[2] = {CreateSolidBrush(kRestrictedColour), CreateSolidBrush(kAllowedColour)};
  for (int day = 0; day < kDaysPerWeek; ++day)
    for (int slot = 0; slot < kSlotsPerDay; ++slot) {
      const TGridCell cell{day, slot};
      RECT box = RectOf(cell, client);
      // A pixel of the background between cells, and a wider one between
      // hours, so that the hours can be counted.
      box.right -= 1;
      box.bottom -= 1;
      if (slot % 2 == 1 && box.right - box.left > 4) box.right -= 1;
      FillRect(dc, &box, brushes[state.Paint.Allowed(cell) ? 1 : 0]);
    }
  DeleteObject(brushes[0]);
  DeleteObject(brushes[1]);
  if (state.Now) {
    // Two pixels around the cell, drawn last so that no neighbour covers them.
    HBRUSH now = CreateSolidBrush(kNowColour);
    RECT box = RectOf(*state.Now, client);
    for (int ring = 0; ring < 2; ++ring) {
      FrameRect(dc, &box, now);
      InflateRect(&box, -1, -1);
    }
    DeleteObject(now);
  }
  if (GetFocus() == grid) {
    RECT box = RectOf(state.Paint.Focus(), client);
    InflateRect(&box, -2, -2);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    DrawFocusRect(dc, &box);
  }
  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(grid, &paint);
}

bool Key(HWND grid, TGridState& state, WPARAM key) {
  switch (key) {
    case VK_LEFT: state.Paint.MoveFocus(0, -1); break;
    case VK_RIGHT: state.Paint.MoveFocus(0, 1); break;
    case VK_UP: state.Paint.MoveFocus(-1, 0); break;
    case VK_DOWN: state.Paint.MoveFocus(1, 0); break;
    case VK_HOME: state.Paint.MoveFocus(0, -kSlotsPerDay); break;
    case VK_END: state.Paint.MoveFocus(0, kSlotsPerDay); break;
    case VK_SPACE:
      state.Paint.ToggleFocus();
      Changed(grid);
      return true;
    default:
      return false;
  }
  InvalidateRect(grid, nullptr, FALSE);
  return true;
}

LRESULT CALLBACK GridProc(HWND grid, UINT msg, WPARAM wParam, LPARAM lParam) {
  KeepState<TGridState>(grid, msg);
  TGridState* state = StateOf<TGridState>(grid);
  switch (msg) {
    case WM_GETDLGCODE:
      // The arrows and Space move and toggle cells; Tab still leaves.
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Draw(grid, *state);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(grid, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(grid);
      const std::optional<TGridCell> cell = CellUnder(grid, lParam);
      if (!cell) return 0;
      SetCapture(grid);
      state->Paint.Press(*cell);
      Changed(grid);
      return 0;
    }
    case WM_MOUSEMOVE: {
      const std::optional<TGridCell> cell = CellUnder(grid, lParam);
      if (state->Paint.Dragging() && cell && state->Paint.DragOver(*cell)) Changed(grid);
      return 0;
    }
    case WM_LBUTTONUP:
      if (GetCapture() == grid) ReleaseCapture();
      state->Paint.Release();
      return 0;
    case WM_CAPTURECHANGED:
      state->Paint.Release();
      return 0;
    case WM_KEYDOWN:
      if (Key(grid, *state, wParam)) return 0;
      break;
    case WM_CHAR:
      if (wParam == ' ') return 0;  // toggled at the key's press
      break;
    default:
      break;
  }
  return DefWindowProcA(grid, msg, wParam, lParam);
}
}  // namespace

void RegisterWeekGrid(HINSTANCE instance) { RegisterControl(instance, kWeekGridClass, GridProc, IDC_HAND); }

void SetGridWeek(HWND grid, const TWeek& week) {
  StateOf<TGridState>(grid)->Paint.SetWeek(week);
  InvalidateRect(grid, nullptr, FALSE);
}

TWeek GridWeek(HWND grid) { return StateOf<TGridState>(grid)->Paint.Week(); }

void SetGridNow(HWND grid, std::optional<TGridCell> now) {
  StateOf<TGridState>(grid)->Now = now;
  InvalidateRect(grid, nullptr, FALSE);
}
