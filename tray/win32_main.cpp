// nortaveltray.exe: the restricted user's own view of their time, in the
// notification area and a small status window, and their way to ask for more.
// It runs in the user's session with the user's rights, reads the
// configuration and the usage file, asks the service through its pipe, and
// writes nothing: ending it changes nothing the service does.
//
// Thread: everything on the main thread, except the watcher of the
// configuration key and the link to the service, which only post messages to
// the main thread's window.

#define _WIN32_IE 0x0600  // balloon notifications
#include "common/win32.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <memory>
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
#include "svcmgr/window_metrics.h"
#include "tray/win32_tray.h"
#include "winsys/time_zones.h"

namespace {

constexpr char kInstanceMutex[] = "Local\\NortavelFreeTray";
constexpr char kShowSwitch[] = "/show";
constexpr char kAskSwitch[] = "/ask";
constexpr char kGoodbyeSwitch[] = "/goodbye";
constexpr UINT kIconId = 1;
// Read again at least this often: the usage file changes once a minute.
constexpr uint32_t kRefreshMs = 30000;
// The service's state is asked for every second while the window is open or a
// request waits, so that a parent's answer shows at once; otherwise this often.
constexpr uint32_t kStateMs = 1000;
constexpr int kQuietStateTicks = 30;
// The service writes the usage file at most a minute apart; the tray adds the
// time since, while its user is at the computer, up to this much.
constexpr int64_t kMostUnwrittenUse = 90;

// A log sink that drops every line: the tray has no log of its own, and the
// configuration reader only logs.
class TNoLog : public TLogSink {
 public:
  void Log(const std::string&) override {}
  void FlushLog() override {}
};

}  // namespace

TTray Tray;

namespace {

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
  HBRUSH face = CreateSolidBrush(timeUp ? kTimeUpColour : RGB(40, 150, 60));
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
  tray.View = TrayViewOf(config, position, time, use, tray.State);
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

std::string CurrentUser() {
  char name[257] = {};
  DWORD size = sizeof name;
  return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

}  // namespace

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

namespace {
// A service's answer for the child: "ERR you have asked 6 times today" reads
// "You have asked 6 times today".
std::string NoticeOf(const std::string& answer) {
  if (answer.empty()) return "The service is not running: ask your parent";
  const std::string error = std::string(kAnswerError) + " ";
  if (answer.rfind(error, 0) != 0) return "";
  if (answer == error + "not the service") return "The service is not running: the PIN was not sent";
  std::string text = answer.substr(error.size());
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

void Goodbye(TTray& tray) {
  if (tray.Status != nullptr) DestroyWindow(tray.Status);
  tray.App->Terminate();
  PostQuitMessage(0);
}

// What the service answered, on the main thread.
void TakeAnswer(TTray& tray, TServiceCall call, const std::string& answer) {
  if (call == TServiceCall::State) {
    if (answer == tray.StateAnswer) return;
    tray.StateAnswer = answer;
    tray.State = ParseServiceState(answer);
  } else {
    tray.Notice = NoticeOf(answer);
    // Asked, or approved: what the service keeps now shows at once.
    if (tray.Notice.empty()) CallService(TServiceCall::State, kRequestState);
  }
  Refresh(tray);
}

// nortaveltray /ask MINUTES: asks as the button does; 0 when the service took
// the request, 1 otherwise. A running clock shows it at once.
int AskFromTheCommandLine(const char* commandLine) {
  const char* minutes = std::strstr(commandLine, kAskSwitch) + std::strlen(kAskSwitch);
  while (*minutes == ' ') ++minutes;
  const std::string request = std::string(kRequestAsk) + " " + std::string(minutes, std::strcspn(minutes, " "));
  std::string answer;
  if (CallServiceNow(request, answer) != 0 || answer != kAnswerOk) return 1;
  HWND running = FindWindowA(kAppWindowClass, kTrayCaption);
  if (running != nullptr) PostMessageA(running, kStateMessage, 0, 0);
  return 0;
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  if (std::strstr(commandLine, kGoodbyeSwitch) != nullptr) {
    SayGoodbyeToTheClocks();
    return 0;
  }
  if (std::strstr(commandLine, kAskSwitch) != nullptr) return AskFromTheCommandLine(commandLine);
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
  RegisterStatusClasses(instance);
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");

  TTimer timer(PlatformTimerApi());
  timer.SetInterval(kRefreshMs);
  timer.SetOnTimer([&timer](TComponent*) {
    Refresh(Tray);
    timer.SetInterval(Notify(Tray));
  });
  // The service's state, and whether it is still installed: a clock without
  // one would show its last view for ever.
  TTimer stateTimer(PlatformTimerApi());
  stateTimer.SetInterval(kStateMs);
  int quietTicks = 0;
  stateTimer.SetOnTimer([&quietTicks](TComponent*) {
    const bool beat = ++quietTicks >= kQuietStateTicks;
    if (beat) quietTicks = 0;
    if (beat && !Tray.State.Answered && !ServiceInstalled()) Goodbye(Tray);
    else if (beat || Tray.Status != nullptr || Tray.State.AskedMinutes > 0) CallService(TServiceCall::State, kRequestState);
  });
  app.HookMainWindow([&](TWindowMessage& message) {
    switch (message.Msg) {
      case kIconMessage:
        if (message.LParam == WM_LBUTTONUP || message.LParam == WM_LBUTTONDBLCLK) ShowStatus(Tray);
        return true;
      case kShowMessage:
        ShowStatus(Tray);
        return true;
      case kStateMessage:
        CallService(TServiceCall::State, kRequestState);
        return true;
      case kServiceAnswer: {
        std::unique_ptr<std::string> answer(reinterpret_cast<std::string*>(message.LParam));
        TakeAnswer(Tray, static_cast<TServiceCall>(message.WParam), *answer);
        timer.SetInterval(Notify(Tray));
        return true;
      }
      case kGoodbyeMessage:
        Goodbye(Tray);
        return true;
      default:
        break;
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
  stateTimer.SetEnabled(true);
  StartServiceLink(hidden);
  CallService(TServiceCall::State, kRequestState);
  if (show) ShowStatus(Tray);
  CloseHandle(CreateThread(nullptr, 0, WatchConfiguration, hidden, 0, nullptr));
  // The status window's keys (Tab between its controls, Enter to approve)
  // need the dialog manager's hand in the loop.
  MSG msg;
  while (!app.Terminated() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (Tray.Status != nullptr && IsDialogMessageA(Tray.Status, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }

  if (Tray.IconAdded) {
    NOTIFYICONDATAA data = IconData(Tray);
    Shell_NotifyIconA(NIM_DELETE, &data);
  }
  return 0;
}
