// nortaveltray.exe: the restricted user's own view of their time, in the
// notification area and a small status window. It runs in the user's session
// with the user's rights, reads the configuration and the usage file, and
// writes nothing: ending it changes nothing the service does.
//
// Thread: everything on the main thread, except the watcher of the
// configuration key, which only posts a message to the main thread's window.

#define _WIN32_IE 0x0600  // balloon notifications
#include "common/win32.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "common/calendar.h"
#include "common/protocol.h"
#include "common/registry_api.h"
#include "common/time_zone.h"
#include "diag/log_platform.h"
#include "svcmgr/message_loop.h"
#include "svcmgr/timer.h"
#include "tray/tray_view.h"
#include "winsys/time_zones.h"

namespace {

constexpr char kInstanceMutex[] = "Local\\NortavelFreeTray";
constexpr char kGridClass[] = "NortavelFreeTrayGrid";
constexpr char kShowSwitch[] = "/show";
// Messages to the application's hidden window.
constexpr UINT kIconMessage = WM_APP + 1;
constexpr UINT kShowMessage = WM_APP + 2;
constexpr UINT kConfigChanged = WM_APP + 3;
constexpr UINT kIconId = 1;
// Read again at least this often: the usage file changes once a minute.
constexpr uint32_t kRefreshMs = 30000;
// The service writes the usage file at most a minute apart; the tray adds the
// time since, while its user is at the computer, up to this much.
constexpr int64_t kMostUnwrittenUse = 90;
constexpr int kMaxLines = 6;
// The status window's measures, in pixels at 96 DPI (100 %); the manifest makes
// the tray per-monitor DPI aware, so each is scaled to the monitor's DPI.
constexpr int kBaseDpi = 96;
constexpr int kCell = 6;        // grid cell width
constexpr int kRow = 12;        // grid row height
constexpr int kGridLabel = 34;  // room for the day's name
constexpr int kLineHeight = 18;
constexpr int kMargin = 12;
constexpr UINT kWmDpiChanged = 0x02E0;  // WM_DPICHANGED, Windows 8.1 and later
// The tool's grid: '#' restricted, '.' allowed.
constexpr COLORREF kRestrictedColour = RGB(96, 96, 96);
constexpr COLORREF kAllowedColour = RGB(214, 236, 214);
constexpr COLORREF kNowColour = RGB(220, 0, 0);

// A log sink that drops every line: the tray has no log of its own, and the
// configuration reader only logs.
class TNoLog : public TLogSink {
 public:
  void Log(const std::string&) override {}
  void FlushLog() override {}
};

struct TTray {
  TApplication* App = nullptr;
  std::string User;
  TTrayView View;
  int32_t WarnMinutes = 0;
  TEndAction EndAction = TEndAction::PowerOff;
  bool IconAdded = false;
  HWND Status = nullptr;
  HWND Lines[kMaxLines] = {};
  HWND Grid = nullptr;
  UINT Dpi = kBaseDpi;     // of the status window's monitor
  HFONT Font = nullptr;    // the status window's, for Dpi
  HICON Icons[2] = {};  // allowed, time up
  // Per end of time (UTC, to the minute), the balloons already shown.
  std::set<std::pair<int64_t, int64_t>> Shown;
};

TTray Tray;

int Scaled(int pixels) { return MulDiv(pixels, static_cast<int>(Tray.Dpi), kBaseDpi); }

// The product's icon, drawn rather than stored: a clock face, green while time
// is left and red once it is up, with its hands at ten to two.
HICON DrawIcon(int size, bool timeUp) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP colour = CreateCompatibleBitmap(screen, size, size);
  HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
  ReleaseDC(nullptr, screen);

  HGDIOBJ old = SelectObject(dc, mask);
  PatBlt(dc, 0, 0, size, size, WHITENESS);  // transparent everywhere ...
  SelectObject(dc, GetStockObject(BLACK_BRUSH));
  SelectObject(dc, GetStockObject(BLACK_PEN));
  Ellipse(dc, 0, 0, size, size);  // ... but the face

  SelectObject(dc, colour);
  PatBlt(dc, 0, 0, size, size, BLACKNESS);
  const int pen = size >= 32 ? 2 : 1;
  HBRUSH face = CreateSolidBrush(timeUp ? RGB(200, 40, 40) : RGB(40, 150, 60));
  HPEN rim = CreatePen(PS_SOLID, pen, RGB(255, 255, 255));
  SelectObject(dc, face);
  SelectObject(dc, rim);
  Ellipse(dc, 0, 0, size, size);
  const int centre = size / 2;
  MoveToEx(dc, centre, centre, nullptr);
  LineTo(dc, centre, size / 6);  // the minute hand at twelve
  MoveToEx(dc, centre, centre, nullptr);
  LineTo(dc, centre + size / 4, centre + size / 8);  // the hour hand
  SelectObject(dc, old);
  DeleteObject(face);
  DeleteObject(rim);
  DeleteDC(dc);

  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(colour);
  DeleteObject(mask);
  return icon;
}

// The main key below HKEY_LOCAL_MACHINE, as RegOpenKeyEx names it.
std::string MainKey() {
  const std::string path = kMainKeyPath;
  return path.substr(1, path.size() - 2);
}

// The configuration and the day's use, decided now. False when the user has
// no rules (or the configuration cannot be read while none was before).
bool ReadView(TTray& tray) {
  TConfiguration config;
  TNoLog log;
  try {
    LoadConfiguration(config, PlatformRegistry(), TConfigLocation(), log);
  } catch (const Exception&) {
    // Half-written by the tool just now: the next change or refresh reads it whole.
    return !tray.View.Tooltip.empty();
  }
  const int position = config.RestrictedUsers.IndexOf(tray.User);
  if (position < 0) return false;
  tray.WarnMinutes = config.WarnMinutes;
  tray.EndAction = config.EndAction;

  TZoneClock clock(PlatformClock(), config.FixedZone ? &*config.FixedZone : nullptr);
  TRulesTime time;
  time.NowUtc = SecondsOf(clock.UtcNow());
  time.NowWall = SecondsOf(clock.LocalNow());
  time.FixedZone = config.FixedZone ? &*config.FixedZone : nullptr;
  // The computer's zone says when its clock jumps, as the service reads it.
  TTimeZone computerZone;
  const std::string zoneName = time.FixedZone ? std::string() : ReadComputerTimeZone(PlatformRegistry());
  if (!zoneName.empty() && ReadTimeZone(PlatformRegistry(), 0, zoneName, computerZone)) time.ComputerZone = &computerZone;
  const int64_t now = time.NowWall;

  const TUsageBook usage = ReadUsageCopy(PlatformLogFiles(), DayOf(now)).Book;
  TDayUse use;
  if (config.UserExtras[static_cast<size_t>(position)].HasBudget()) {
    use = usage.UseOf(config.RestrictedUsers[position], DayOf(now));
    if (usage.LatestUtc() != 0) {
      const int64_t unwritten = SecondsOf(PlatformClock().UtcNow()) - usage.LatestUtc();
      use.Seconds += std::min(std::max<int64_t>(unwritten, 0), kMostUnwrittenUse);
    }
  }
  tray.View = TrayViewOf(config, position, time, use);
  return true;
}

void CopyText(char* to, size_t room, const std::string& text) {
  const size_t n = std::min(room - 1, text.size());
  std::memcpy(to, text.data(), n);
  to[n] = '\0';
}

NOTIFYICONDATAA IconData(const TTray& tray) {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = reinterpret_cast<HWND>(tray.App->Handle());
  data.uID = kIconId;
  data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  data.uCallbackMessage = kIconMessage;
  data.hIcon = tray.Icons[tray.View.Allowed ? 0 : 1];
  CopyText(data.szTip, sizeof data.szTip, tray.View.Tooltip);
  return data;
}

void ShowIcon(TTray& tray) {
  NOTIFYICONDATAA data = IconData(tray);
  if (!tray.IconAdded) {
    tray.IconAdded = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
  } else {
    Shell_NotifyIconA(NIM_MODIFY, &data);
  }
}

void ShowBalloon(TTray& tray, const std::string& text) {
  NOTIFYICONDATAA data = IconData(tray);
  data.uFlags = NIF_INFO;
  data.dwInfoFlags = NIIF_INFO;
  CopyText(data.szInfo, sizeof data.szInfo, text);
  CopyText(data.szInfoTitle, sizeof data.szInfoTitle, kTrayCaption);
  Shell_NotifyIconA(NIM_MODIFY, &data);
}

// The balloons due now, and how long until the next one may be.
uint32_t Notify(TTray& tray) {
  if (!tray.View.Allowed || !tray.View.SecondsLeft) return kRefreshMs;
  const int64_t left = *tray.View.SecondsLeft;
  const int64_t end = (SecondsOf(PlatformClock().UtcNow()) + left + 30) / 60;
  uint32_t next = kRefreshMs;
  bool shown = false;
  for (const int64_t lead : BalloonLeads(tray.WarnMinutes)) {
    if (left > lead) {
      next = static_cast<uint32_t>(std::min<int64_t>(next, (left - lead) * 1000));
      continue;
    }
    // One balloon, for the nearest lead reached; the others are spent with it.
    if (!tray.Shown.insert({end, lead}).second || shown) continue;
    shown = true;
    ShowBalloon(tray, BalloonText((left + 59) / 60, tray.EndAction));
  }
  return std::max<uint32_t>(next, 1000);
}

void UpdateStatus(TTray& tray) {
  if (tray.Status == nullptr) return;
  for (int i = 0; i < kMaxLines; ++i) {
    const bool used = i < static_cast<int>(tray.View.Lines.size());
    SetWindowTextA(tray.Lines[i], used ? tray.View.Lines[static_cast<size_t>(i)].c_str() : "");
    ShowWindow(tray.Lines[i], used ? SW_SHOWNA : SW_HIDE);
  }
  InvalidateRect(tray.Grid, nullptr, TRUE);
}

void Refresh(TTray& tray) {
  if (!ReadView(tray)) {
    // No rules (any longer): nothing to show.
    tray.App->Terminate();
    PostQuitMessage(0);
    return;
  }
  ShowIcon(tray);
  UpdateStatus(tray);
}

// Windows 10's GetDpiForWindow, looked up: Windows 8.1 lacks it, and there the
// screen's DPI stands in until WM_DPICHANGED tells another.
UINT DpiOf(HWND window) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto getDpi = reinterpret_cast<TGetDpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  UINT dpi = getDpi != nullptr ? getDpi(window) : 0;
  if (dpi == 0) {
    HDC screen = GetDC(nullptr);
    dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  return dpi != 0 ? dpi : kBaseDpi;
}

// The message font, which Windows gives in the pixels of the system's DPI,
// made for tray.Dpi.
void MakeFont(TTray& tray) {
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
  font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(tray.Dpi), systemDpi > 0 ? systemDpi : kBaseDpi);
  if (tray.Font != nullptr) DeleteObject(tray.Font);
  tray.Font = CreateFontIndirectA(&font);
}

// Places the lines and the grid for tray.Dpi and sizes the window's client
// area to hold them; the frame keeps whatever Windows draws around it.
void LayOut(TTray& tray) {
  const int gridWidth = Scaled(kGridLabel + kSlotsPerDay * kCell), line = Scaled(kLineHeight);
  for (int i = 0; i < kMaxLines; ++i) {
    SetWindowPos(tray.Lines[i], nullptr, Scaled(kMargin), Scaled(10) + i * line, gridWidth, line,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(tray.Lines[i], WM_SETFONT, reinterpret_cast<WPARAM>(tray.Font), TRUE);
  }
  SetWindowPos(tray.Grid, nullptr, Scaled(kMargin), Scaled(14) + kMaxLines * line, gridWidth,
               kDaysPerWeek * Scaled(kRow), SWP_NOZORDER | SWP_NOACTIVATE);
  RECT frame{}, client{};
  GetWindowRect(tray.Status, &frame);
  GetClientRect(tray.Status, &client);
  const int width = gridWidth + 2 * Scaled(kMargin);
  const int height = kMaxLines * line + kDaysPerWeek * Scaled(kRow) + Scaled(30);
  SetWindowPos(tray.Status, nullptr, 0, 0, width + (frame.right - frame.left) - client.right,
               height + (frame.bottom - frame.top) - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(tray.Status, nullptr, TRUE);
}

LRESULT CALLBACK GridProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_PAINT) return DefWindowProcA(window, msg, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SelectObject(dc, Tray.Font);
  SetBkMode(dc, TRANSPARENT);
  HBRUSH brushes[2] = {CreateSolidBrush(kRestrictedColour), CreateSolidBrush(kAllowedColour)};
  HBRUSH now = CreateSolidBrush(kNowColour);
  const TTrayView& view = Tray.View;
  const int row = Scaled(kRow), label = Scaled(kGridLabel);
  for (int day = 0; day < kDaysPerWeek; ++day) {
    TextOutA(dc, 0, day * row, DayName(day).c_str(), 3);
    for (int slot = 0; slot < kSlotsPerDay; ++slot) {
      // Cell edges scaled one by one, so that the cells tile without gaps.
      RECT cell{label + Scaled(slot * kCell), day * row + 1, label + Scaled((slot + 1) * kCell) - 1,
                (day + 1) * row - 1};
      const bool allowed = view.Week[static_cast<size_t>(day)][static_cast<size_t>(slot)];
      FillRect(dc, &cell, day == view.Today && slot == view.NowSlot ? now : brushes[allowed ? 1 : 0]);
    }
  }
  DeleteObject(brushes[0]);
  DeleteObject(brushes[1]);
  DeleteObject(now);
  EndPaint(window, &paint);
  return 0;
}

LRESULT CALLBACK StatusProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kWmDpiChanged && window == Tray.Status) {
    // Moved to a monitor of another DPI, or its scale changed: Windows suggests
    // where the window goes; its content is laid out anew for the DPI.
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    Tray.Dpi = HIWORD(wParam);
    MakeFont(Tray);
    LayOut(Tray);
    return 0;
  }
  if (msg == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  if (msg == WM_DESTROY && window == Tray.Status) Tray.Status = nullptr;
  return DefWindowProcA(window, msg, wParam, lParam);
}

void ShowStatus(TTray& tray) {
  if (tray.Status != nullptr) {
    SetForegroundWindow(tray.Status);
    return;
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
  tray.Status = CreateWindowExA(0, kTrayStatusClass, kTrayCaption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (tray.Status == nullptr) return;
  // Placed and sized by LayOut, once the window's DPI is known.
  for (int i = 0; i < kMaxLines; ++i)
    tray.Lines[i] =
        CreateWindowExA(0, "STATIC", "", WS_CHILD | SS_LEFT, 0, 0, 0, 0, tray.Status, nullptr, instance, nullptr);
  tray.Grid =
      CreateWindowExA(0, kGridClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, tray.Status, nullptr, instance, nullptr);
  tray.Dpi = DpiOf(tray.Status);
  MakeFont(tray);
  LayOut(tray);
  UpdateStatus(tray);
  ShowWindow(tray.Status, SW_SHOWNORMAL);
  SetForegroundWindow(tray.Status);
}

// Waits for changes of the configuration key and says so to the main thread,
// so that extra time granted shows within a second.
DWORD WINAPI WatchConfiguration(void* window) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, MainKey().c_str(), 0, KEY_NOTIFY, &key) != ERROR_SUCCESS)
    return 0;
  while (RegNotifyChangeKeyValue(key, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE) ==
         ERROR_SUCCESS)
    PostMessageA(static_cast<HWND>(window), kConfigChanged, 0, 0);
  RegCloseKey(key);
  return 0;
}

void RegisterClasses(HINSTANCE instance) {
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

std::string CurrentUser() {
  char name[257] = {};
  DWORD size = sizeof name;
  return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  const bool show = std::strstr(commandLine, kShowSwitch) != nullptr;
  // One per session: a second start only opens the first one's window.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kInstanceMutex);
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    if (show) {
      HWND running = FindWindowA(kAppWindowClass, kTrayCaption);
      if (running != nullptr) PostMessageA(running, kShowMessage, 0, 0);
    }
    return 0;
  }

  Tray.User = CurrentUser();
  if (Tray.User.empty() || !ReadView(Tray)) return 0;

  TApplication app(PlatformMessageLoopApi());
  Tray.App = &app;
  HWND hidden = reinterpret_cast<HWND>(app.Handle());
  // The hidden window carries the caption, so that a second start finds it.
  SetWindowTextA(hidden, kTrayCaption);
  Tray.Icons[0] = DrawIcon(GetSystemMetrics(SM_CXSMICON), false);
  Tray.Icons[1] = DrawIcon(GetSystemMetrics(SM_CXSMICON), true);
  RegisterClasses(instance);
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");

  TTimer timer(PlatformTimerApi());
  timer.SetInterval(kRefreshMs);
  timer.SetOnTimer([&timer](TComponent*) {
    Refresh(Tray);
    timer.SetInterval(Notify(Tray));
  });
  app.HookMainWindow([&](TWindowMessage& message) {
    if (message.Msg == kIconMessage) {
      if (message.LParam == WM_LBUTTONUP || message.LParam == WM_LBUTTONDBLCLK) ShowStatus(Tray);
      return true;
    }
    if (message.Msg == kShowMessage) {
      ShowStatus(Tray);
      return true;
    }
    if (message.Msg == kConfigChanged || message.Msg == taskbarCreated) {
      if (message.Msg == taskbarCreated) Tray.IconAdded = false;
      Refresh(Tray);
      timer.SetInterval(Notify(Tray));
      return true;
    }
    return false;
  });

  ShowIcon(Tray);
  timer.SetInterval(Notify(Tray));
  timer.SetEnabled(true);
  if (show) ShowStatus(Tray);
  CloseHandle(CreateThread(nullptr, 0, WatchConfiguration, hidden, 0, nullptr));
  app.Run();

  if (Tray.IconAdded) {
    NOTIFYICONDATAA data = IconData(Tray);
    Shell_NotifyIconA(NIM_DELETE, &data);
  }
  return 0;
}
