// The clock's status window: the lines of the view, the child's way to ask
// for more time and the parent's PIN field, and the week. Standard controls
// throughout, so that screen readers (and the tests' probes) read them; the
// week is drawn, and its lines say the same in words.
#include <cstring>
#include <string>

#include "common/calendar.h"
#include "common/protocol.h"
#include "svcmgr/window_metrics.h"
#include "tray/win32_tray.h"
#include "winsys/pin.h"

namespace {

constexpr char kGridClass[] = "NortavelFreeTrayGrid";
constexpr int kAskId = 101;
constexpr int kPinId = 102;
constexpr int kApproveId = 103;
// What the button offers: the service's choices up to an hour (two hours
// stay for nortaveltray /ask 120).
constexpr int32_t kAskChoices[] = {15, 30, 60};
// The window's measures, in pixels at 96 DPI (100 %); the manifest makes the
// tray per-monitor DPI aware, so each is scaled to the monitor's DPI.
constexpr int kCell = 6;         // grid cell width
constexpr int kRow = 12;         // grid row height
constexpr int kGridLabel = 34;   // room for the day's name
constexpr int kHourBand = 14;    // the hours above the grid
constexpr int kLineHeight = 18;
constexpr int kControlHeight = 24;
constexpr int kMargin = 12;
constexpr int kGap = 8;
// The week's colours (svcmgr/window_metrics.h): green is allowed, as on the
// icon. The half hour now is outlined: red means "time is up" on the icon.

int Scaled(int pixels) { return ScaledFor(pixels, Tray.Dpi); }

// The message font, made for tray.Dpi.
void MakeFont(TTray& tray) {
  if (tray.Font != nullptr) DeleteObject(tray.Font);
  tray.Font = reinterpret_cast<HFONT>(MessageFontFor(tray.Dpi));
}

// The lines shown: the view's, then the notice.
int LineCount(const TTray& tray) {
  const int count = static_cast<int>(tray.View.Lines.size()) + (tray.Notice.empty() ? 0 : 1);
  return count < kMaxLines ? count : kMaxLines;
}

// Asking is offered once the service answers; while a request is open, the
// parent's PIN is asked for instead.
bool AskShown(const TTray& tray) { return tray.State.Answered && tray.State.AskedMinutes == 0; }
bool PinShown(const TTray& tray) { return tray.State.Answered && tray.State.AskedMinutes > 0; }

void Place(HWND control, int x, int y, int width, int height, bool shown) {
  SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(Tray.Font), FALSE);
  ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

// Places the lines, the controls and the week for tray.Dpi and sizes the
// window's client area to hold them, its bottom edge kept where it was: the
// window grows upwards from beside the notification area.
void LayOut(TTray& tray) {
  const int margin = Scaled(kMargin), line = Scaled(kLineHeight), width = Scaled(kGridLabel + kSlotsPerDay * kCell);
  const int lines = LineCount(tray);
  int y = Scaled(10);
  for (int i = 0; i < kMaxLines; ++i) Place(tray.Lines[i], margin, y + i * line, width, line, i < lines);
  y += lines * line;
  const bool controls = AskShown(tray) || PinShown(tray);
  if (controls) {
    y += Scaled(4);
    const int height = Scaled(kControlHeight), label = Scaled(84), edit = Scaled(96);
    Place(tray.AskButton, margin, y, Scaled(150), height, AskShown(tray));
    Place(tray.PinLabel, margin, y, label, height, PinShown(tray));
    Place(tray.PinEdit, margin + label, y, edit, height, PinShown(tray));
    Place(tray.ApproveButton, margin + label + edit + Scaled(kGap), y, Scaled(90), height, PinShown(tray));
    y += height;
  } else {
    for (HWND control : {tray.AskButton, tray.PinLabel, tray.PinEdit, tray.ApproveButton}) ShowWindow(control, SW_HIDE);
  }
  y += Scaled(kGap);
  const int gridHeight = Scaled(kHourBand) + kDaysPerWeek * Scaled(kRow);
  SetWindowPos(tray.Grid, nullptr, margin, y, width, gridHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  const int height = y + gridHeight + margin;

  RECT frame{}, client{};
  GetWindowRect(tray.Status, &frame);
  GetClientRect(tray.Status, &client);
  const int outerWidth = width + 2 * margin + (frame.right - frame.left) - client.right;
  const int outerHeight = height + (frame.bottom - frame.top) - client.bottom;
  SetWindowPos(tray.Status, nullptr, frame.left, frame.bottom - outerHeight, outerWidth, outerHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(tray.Status, nullptr, TRUE);
}

// The first place of the window: the corner of the work area beside the
// notification area (bottom right, where the taskbar usually is).
void PlaceNearTheClock(HWND window) {
  RECT work{}, frame{};
  if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) == FALSE) return;
  GetWindowRect(window, &frame);
  const int gap = Scaled(kGap);
  SetWindowPos(window, nullptr, work.right - (frame.right - frame.left) - gap, work.bottom - (frame.bottom - frame.top) - gap,
               0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DrawWeek(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SelectObject(dc, Tray.Font);
  SetBkMode(dc, TRANSPARENT);
  HBRUSH brushes[2] = {CreateSolidBrush(kRestrictedColour), CreateSolidBrush(kAllowedColour)};
  HBRUSH now = CreateSolidBrush(kNowColour);
  const TTrayView& view = Tray.View;
  const int row = Scaled(kRow), label = Scaled(kGridLabel), top = Scaled(kHourBand);
  // The hours 0, 6, 12, 18 and 24 over their cells' edges; 24 ends the row.
  for (int hour = 0; hour <= 24; hour += 6) {
    SetTextAlign(dc, hour == 24 ? TA_RIGHT : TA_CENTER);
    const std::string text = std::to_string(hour);
    TextOutA(dc, label + Scaled(hour * 2 * kCell), 0, text.c_str(), static_cast<int>(text.size()));
  }
  SetTextAlign(dc, TA_LEFT);
  RECT nowCell{};
  for (int day = 0; day < kDaysPerWeek; ++day) {
    TextOutA(dc, 0, top + day * row, DayName(day).c_str(), 3);
    for (int slot = 0; slot < kSlotsPerDay; ++slot) {
      // Cell edges scaled one by one, so that the cells tile without gaps.
      RECT cell{label + Scaled(slot * kCell), top + day * row + 1, label + Scaled((slot + 1) * kCell) - 1,
                top + (day + 1) * row - 1};
      FillRect(dc, &cell, brushes[view.Week[static_cast<size_t>(day)][static_cast<size_t>(slot)] ? 1 : 0]);
      if (day == view.Today && slot == view.NowSlot) nowCell = cell;
    }
  }
  // Two pixels around the cell, drawn last so that no neighbour covers them.
  InflateRect(&nowCell, 2, 2);
  FrameRect(dc, &nowCell, now);
  InflateRect(&nowCell, -1, -1);
  FrameRect(dc, &nowCell, now);
  DeleteObject(brushes[0]);
  DeleteObject(brushes[1]);
  DeleteObject(now);
  EndPaint(window, &paint);
}

LRESULT CALLBACK GridProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_PAINT) return DefWindowProcA(window, msg, wParam, lParam);
  DrawWeek(window);
  return 0;
}

void ChooseAndAsk(TTray& tray) {
  HMENU menu = CreatePopupMenu();
  for (const int32_t minutes : kAskChoices)
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(minutes),
                AskAmountText(minutes).c_str());
  RECT button{};
  GetWindowRect(tray.AskButton, &button);
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN, button.left,
                                    button.bottom, 0, tray.Status, nullptr);
  DestroyMenu(menu);
  if (chosen == 0) return;
  tray.Notice.clear();
  CallService(TServiceCall::Ask, std::string(kRequestAsk) + " " + std::to_string(chosen));
  UpdateStatus(tray);
}

void SendPin(TTray& tray) {
  char typed[kLongestPin + 2] = {};
  GetWindowTextA(tray.PinEdit, typed, sizeof typed);
  SetWindowTextA(tray.PinEdit, "");
  const std::string pin = typed;
  if (!IsPinWellFormed(pin)) {
    tray.Notice = "A parent's PIN has 4 to 12 digits";
  } else {
    tray.Notice.clear();
    CallService(TServiceCall::Pin, std::string(kRequestPin) + " " + pin);
  }
  UpdateStatus(tray);
}

LRESULT CALLBACK StatusProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (window != Tray.Status && Tray.Status != nullptr) return DefWindowProcA(window, msg, wParam, lParam);
  switch (msg) {
    case kWmDpiChanged: {
      Tray.Dpi = FollowDpiChange(reinterpret_cast<uintptr_t>(window), wParam, lParam);
      MakeFont(Tray);
      LayOut(Tray);
      return 0;
    }
    case DM_GETDEFID:
      // Enter in the PIN field approves.
      return MAKELRESULT(PinShown(Tray) ? kApproveId : kAskId, DC_HASDEFID);
    case WM_COMMAND:
      if (LOWORD(wParam) == kAskId && HIWORD(wParam) == BN_CLICKED) ChooseAndAsk(Tray);
      if (LOWORD(wParam) == kApproveId && HIWORD(wParam) == BN_CLICKED) SendPin(Tray);
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      Tray.Status = nullptr;
      Tray.Notice.clear();
      return 0;
    default:
      return DefWindowProcA(window, msg, wParam, lParam);
  }
}

HWND Child(const char* className, const char* text, DWORD style, int id) {
  return CreateWindowExA(0, className, text, WS_CHILD | style, 0, 0, 0, 0, Tray.Status,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}
}  // namespace

void RegisterStatusClasses(HINSTANCE instance) {
  WNDCLASSA status{};
  status.lpfnWndProc = StatusProc;
  status.hInstance = instance;
  status.hIcon = Tray.Icons[0];
  status.hCursor = LoadCursor(nullptr, IDC_ARROW);
  status.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  status.lpszClassName = kTrayStatusClass;
  RegisterClassA(&status);
  WNDCLASSA grid{};
  grid.lpfnWndProc = GridProc;
  grid.hInstance = instance;
  grid.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  grid.lpszClassName = kGridClass;
  RegisterClassA(&grid);
}

void UpdateStatus(TTray& tray) {
  if (tray.Status == nullptr) return;
  const int lines = LineCount(tray);
  for (int i = 0; i < kMaxLines; ++i) {
    const size_t at = static_cast<size_t>(i);
    const std::string text = at < tray.View.Lines.size() ? tray.View.Lines[at] : i < lines ? tray.Notice : "";
    SetWindowTextA(tray.Lines[i], text.c_str());
  }
  // The title's icon is the tray's: green while time is left, red once it is up.
  const HICON icon = tray.Icons[tray.View.Allowed ? 0 : 1];
  SendMessageA(tray.Status, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SendMessageA(tray.Status, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  LayOut(tray);
  InvalidateRect(tray.Grid, nullptr, TRUE);
}

void ShowStatus(TTray& tray) {
  if (tray.Status != nullptr) {
    SetForegroundWindow(tray.Status);
    return;
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
  tray.Status = CreateWindowExA(0, kTrayStatusClass, kTrayCaption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                                nullptr);
  if (tray.Status == nullptr) return;
  // Placed and sized by LayOut, once the window's DPI is known.
  for (int i = 0; i < kMaxLines; ++i) tray.Lines[i] = Child("STATIC", "", SS_LEFT | SS_NOPREFIX, 0);
  tray.AskButton = Child("BUTTON", "", WS_TABSTOP | BS_PUSHBUTTON, kAskId);
  // The ellipsis is not in every ANSI code page.
  SetWindowTextW(tray.AskButton, L"Ask for more time\u2026");
  tray.PinLabel = Child("STATIC", "Parent's PIN:", SS_LEFT | SS_CENTERIMAGE, 0);
  tray.PinEdit = Child("EDIT", "", WS_TABSTOP | WS_BORDER | ES_PASSWORD | ES_NUMBER | ES_AUTOHSCROLL, kPinId);
  SendMessageA(tray.PinEdit, EM_LIMITTEXT, kLongestPin, 0);
  tray.ApproveButton = Child("BUTTON", "Approve", WS_TABSTOP | BS_DEFPUSHBUTTON, kApproveId);
  tray.Grid = Child(kGridClass, "", WS_VISIBLE, 0);
  tray.Dpi = WindowDpi(reinterpret_cast<uintptr_t>(tray.Status));
  MakeFont(tray);
  UpdateStatus(tray);
  PlaceNearTheClock(tray.Status);
  ShowWindow(tray.Status, SW_SHOWNORMAL);
  SetForegroundWindow(tray.Status);
  // The state now, not at the next refresh.
  CallService(TServiceCall::State, kRequestState);
}
