// The parent's window: a list of pages on the left (each child, then the
// computer), the page on the right, and Save. Standard controls throughout,
// labelled in the order a screen reader reads them; the week and the days'
// use are the two drawn controls. Every change goes through the settings
// model, and from there through the administration's operations.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "admin/admin_errors.h"
#include "admin/check.h"
#include "admin/operations.h"
#include "admin/usage_record.h"
#include "common/calendar.h"
#include "common/protocol.h"
#include "engine/time_rules.h"
#include "settings/win32_settings.h"
#include "winsys/accounts.h"

namespace {

constexpr char kWindowClass[] = "NortavelFreeSettings";
// The look of the window at 96 DPI (100 %); every measure is scaled.
constexpr int kClientWidth = 960;
constexpr int kClientHeight = 690;
constexpr int kMargin = 12;
constexpr int kListWidth = 170;
constexpr int kPageLeft = kMargin + kListWidth + 16;
constexpr int kPageWidth = kClientWidth - kPageLeft - kMargin;
constexpr int kRow = 26;
constexpr int kEditHeight = 22;
constexpr int kButtonHeight = 28;
constexpr int kDayLabelWidth = 44;
constexpr int kCellWidth = 14;
constexpr int kGridRow = 22;
constexpr int kGridTop = 80;
constexpr int kHourStep = 2;

enum : int {
  kListId = 100,
  kAddId,
  kSaveId,
  kGridId,
  kPlus15Id,
  kPlus30Id,
  kPlus60Id,
  kTakeBackId,
  kApproveId,
  kDenyId,
  kRemovePinId,
  kEndActionId,
  kZoneId,
  kLevelId,
  kNoLimitId = 200,  // + the field
  kHoursId = 220,
  kMinutesId = 240,
};

const char* const kEndActionTexts[] = {"Lock the session (programs stay open)", "Sign the child out",
                                       "Switch the computer off"};
const char* const kLevelTexts[] = {"0 - no log", "1 - switch-off decisions", "2 - changes and locks (recommended)",
                                   "3 - service events", "4 - everything"};

struct TTimeRow {
  HWND Name, Hours, HoursUnit, Minutes, MinutesUnit, NoLimit, Refusal;
};

struct TWindow {
  TAdmin* Admin = nullptr;
  TSettingsModel Model;
  HWND Main = nullptr;
  UINT Dpi = kBaseDpi;
  HFONT Font = nullptr;
  int Page = 0;  // a child's position, or the number of children: the computer

  HWND ListLabel, List, Add, Save, Close, Status;
  // A child's page.
  HWND Title, Decision, WeekLabel, Grid;
  HWND Hours[24 / kHourStep + 1];
  HWND Days[kDaysPerWeek];
  HWND TimeGroup;
  TTimeRow Times[kDaysPerWeek + 1];
  HWND ExtraGroup, ExtraLine, Plus15, Plus30, Plus60, TakeBack;
  HWND RequestGroup, RequestLine, Approve, Deny;
  HWND ChartGroup, Chart;
  std::vector<HWND> ChildControls;
  // The computer's page.
  HWND ComputerTitle, WarnLabel, Warn, WarnUnit, WarnRefusal, EndLabel, EndAction, Backstop, ZoneLabel, Zone,
      LevelLabel, Level, FolderLabel, Folder, FolderRefusal, PinLabel, PinState, NewPinLabel, NewPin, RepeatLabel,
      RepeatPin, PinRefusal, RemovePin, ServiceLabel, ServiceState, FindingsLabel, Findings;
  std::vector<HWND> ComputerControls;
  std::vector<std::string> Zones;  // as the zone list offers them, after "the computer's"
};

TWindow Window;

int Scaled(int pixels) { return ScaledFor(pixels, Window.Dpi); }

// The message font, made for the window's DPI.
void MakeFont() {
  if (Window.Font != nullptr) DeleteObject(Window.Font);
  Window.Font = reinterpret_cast<HFONT>(MessageFontFor(Window.Dpi));
}

HWND Make(const char* className, const char* text, DWORD style, int id = 0, DWORD exStyle = 0) {
  return CreateWindowExA(exStyle, className, text, WS_CHILD | style, 0, 0, 0, 0, Window.Main,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

HWND Label(const char* text) { return Make("STATIC", text, SS_LEFT | SS_CENTERIMAGE); }
HWND Button(const char* text, int id, DWORD style = BS_PUSHBUTTON) { return Make("BUTTON", text, WS_TABSTOP | style, id); }
HWND Edit(int id, DWORD style = 0) {
  return Make("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | style, id, WS_EX_CLIENTEDGE);
}
HWND Combo(int id) { return Make("COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, id); }
// A refusal beside its field, in the colour of a limit.
HWND Refusal() { return Make("STATIC", "", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX); }

void Place(HWND control, int x, int y, int width, int height) {
  SetWindowPos(control, nullptr, Scaled(x), Scaled(y), Scaled(width), Scaled(height), SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(Window.Font), FALSE);
}

std::string TextOf(HWND control) {
  char text[512] = {};
  GetWindowTextA(control, text, sizeof text);
  return text;
}

bool Checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// --- making the controls, in the order of Tab and of a screen reader ---

void MakeChildPage() {
  TWindow& w = Window;
  w.Title = Make("STATIC", "", SS_LEFT | SS_NOPREFIX);
  w.Decision = Make("STATIC", "", SS_LEFT | SS_NOPREFIX);
  w.WeekLabel = Label("&Week: click or drag to allow (green) or restrict (grey); arrow keys and Space");
  for (int i = 0; i <= 24 / kHourStep; ++i)
    w.Hours[i] = Make("STATIC", std::to_string(i * kHourStep).c_str(), SS_CENTER);
  for (int day = 0; day < kDaysPerWeek; ++day) w.Days[day] = Label(ShortDayName(day).c_str());
  w.Grid = Make(kWeekGridClass, "Week", WS_TABSTOP, kGridId);
  w.TimeGroup = Make("BUTTON", "&Daily time", BS_GROUPBOX);
  for (size_t row = 0; row <= kWeekField; ++row) {
    TTimeRow& time = w.Times[row];
    const int field = static_cast<int>(row);
    time.Name = Label(row == kWeekField ? "Whole week" : DayName(field).c_str());
    time.Hours = Edit(kHoursId + field, ES_NUMBER | ES_RIGHT);
    SendMessageA(time.Hours, EM_LIMITTEXT, 3, 0);
    time.HoursUnit = Label("h");
    time.Minutes = Edit(kMinutesId + field, ES_NUMBER | ES_RIGHT);
    SendMessageA(time.Minutes, EM_LIMITTEXT, 2, 0);
    time.MinutesUnit = Label("min");
    time.NoLimit = Button("No limit", kNoLimitId + field, BS_AUTOCHECKBOX);
    time.Refusal = Refusal();
  }
  w.ExtraGroup = Make("BUTTON", "&Extra time today", BS_GROUPBOX);
  w.ExtraLine = Make("STATIC", "", SS_LEFT | SS_NOPREFIX);
  w.Plus15 = Button("+1&5 min", kPlus15Id);
  w.Plus30 = Button("+&30 min", kPlus30Id);
  w.Plus60 = Button("+1 &h", kPlus60Id);
  w.TakeBack = Button("&Take back", kTakeBackId);
  w.RequestGroup = Make("BUTTON", "Requests", BS_GROUPBOX);
  w.RequestLine = Make("STATIC", "", SS_LEFT | SS_NOPREFIX);
  w.Approve = Button("A&pprove", kApproveId);
  w.Deny = Button("De&ny", kDenyId);
  w.ChartGroup = Make("BUTTON", "Today and the last 14 days (minutes used, the daily time as a red line)", BS_GROUPBOX);
  w.Chart = Make(kUseChartClass, "", 0);
  w.ChildControls = {w.Title, w.Decision, w.WeekLabel, w.Grid, w.TimeGroup, w.ExtraGroup, w.ExtraLine, w.Plus15,
                     w.Plus30, w.Plus60, w.TakeBack, w.RequestGroup, w.RequestLine, w.Approve, w.Deny, w.ChartGroup,
                     w.Chart};
  for (HWND hour : w.Hours) w.ChildControls.push_back(hour);
  for (HWND day : w.Days) w.ChildControls.push_back(day);
  for (const TTimeRow& time : w.Times)
    w.ChildControls.insert(w.ChildControls.end(), {time.Name, time.Hours, time.HoursUnit, time.Minutes,
                                                   time.MinutesUnit, time.NoLimit, time.Refusal});
}

void MakeComputerPage() {
  TWindow& w = Window;
  w.ComputerTitle = Make("STATIC", "This computer", SS_LEFT);
  w.WarnLabel = Label("&Warn before the time ends:");
  w.Warn = Edit(0, ES_NUMBER | ES_RIGHT);
  SendMessageA(w.Warn, EM_LIMITTEXT, 3, 0);
  w.WarnUnit = Label("minutes (0: no warning)");
  w.WarnRefusal = Refusal();
  w.EndLabel = Label("When the time e&nds:");
  w.EndAction = Combo(kEndActionId);
  for (const char* text : kEndActionTexts) SendMessageA(w.EndAction, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  w.Backstop = Button("Windows' &logon hours keep the rules while the service is not running", 0, BS_AUTOCHECKBOX);
  w.ZoneLabel = Label("Time &zone of the rules:");
  w.Zone = Combo(kZoneId);
  w.LevelLabel = Label("Log le&vel:");
  w.Level = Combo(kLevelId);
  for (const char* text : kLevelTexts) SendMessageA(w.Level, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  w.FolderLabel = Label("Log &folder:");
  w.Folder = Edit(0);
  w.FolderRefusal = Refusal();
  w.PinLabel = Label("Parent's PIN:");
  w.PinState = Make("STATIC", "", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX);
  w.RemovePin = Button("Re&move the PIN", kRemovePinId);
  w.NewPinLabel = Label("New P&IN (4 to 12 digits):");
  w.NewPin = Edit(0, ES_PASSWORD | ES_NUMBER);
  SendMessageA(w.NewPin, EM_LIMITTEXT, kLongestPin, 0);
  w.RepeatLabel = Label("&Repeat the PIN:");
  w.RepeatPin = Edit(0, ES_PASSWORD | ES_NUMBER);
  SendMessageA(w.RepeatPin, EM_LIMITTEXT, kLongestPin, 0);
  w.PinRefusal = Refusal();
  w.ServiceLabel = Label("Service:");
  w.ServiceState = Make("STATIC", "", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX);
  w.FindingsLabel = Label("What the c&heck finds:");
  w.Findings = Make("EDIT", "", WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0,
                    WS_EX_CLIENTEDGE);
  w.ComputerControls = {w.ComputerTitle, w.WarnLabel, w.Warn, w.WarnUnit, w.WarnRefusal, w.EndLabel, w.EndAction,
                        w.Backstop, w.ZoneLabel, w.Zone, w.LevelLabel, w.Level, w.FolderLabel, w.Folder,
                        w.FolderRefusal, w.PinLabel, w.PinState, w.NewPinLabel, w.NewPin, w.RepeatLabel, w.RepeatPin,
                        w.PinRefusal, w.RemovePin, w.ServiceLabel, w.ServiceState, w.FindingsLabel, w.Findings};
}

// --- placing them for the window's DPI ---

void LayOutChildPage() {
  TWindow& w = Window;
  const int x = kPageLeft, gridLeft = x + kDayLabelWidth, gridWidth = kSlotsPerDay * kCellWidth;
  Place(w.Title, x, kMargin, 220, 20);
  Place(w.Decision, x + 230, kMargin, kPageWidth - 230, 20);
  Place(w.WeekLabel, x, 40, kPageWidth, 18);
  for (int i = 0; i <= 24 / kHourStep; ++i) Place(w.Hours[i], gridLeft + i * kHourStep * 2 * kCellWidth - 14, 60, 28, 18);
  for (int day = 0; day < kDaysPerWeek; ++day) Place(w.Days[day], x, kGridTop + day * kGridRow, kDayLabelWidth - 4, kGridRow);
  Place(w.Grid, gridLeft, kGridTop, gridWidth, kDaysPerWeek * kGridRow);

  const int top = kGridTop + kDaysPerWeek * kGridRow + 14, groupWidth = 396;
  Place(w.TimeGroup, x, top, groupWidth, 24 + 8 * kRow + 6);
  for (size_t row = 0; row <= kWeekField; ++row) {
    const TTimeRow& time = w.Times[row];
    const int y = top + 22 + static_cast<int>(row) * kRow;
    Place(time.Name, x + 10, y, 76, kEditHeight);
    Place(time.Hours, x + 88, y, 38, kEditHeight);
    Place(time.HoursUnit, x + 129, y, 12, kEditHeight);
    Place(time.Minutes, x + 143, y, 30, kEditHeight);
    Place(time.MinutesUnit, x + 176, y, 26, kEditHeight);
    Place(time.NoLimit, x + 206, y, 72, kEditHeight);
    Place(time.Refusal, x + 280, y, groupWidth - 286, kEditHeight);
  }
  const int right = x + groupWidth + 14, rightWidth = kPageWidth - groupWidth - 14;
  Place(w.ExtraGroup, right, top, rightWidth, 90);
  Place(w.ExtraLine, right + 10, top + 22, rightWidth - 20, 20);
  const int buttonWidth = (rightWidth - 20 - 3 * 6) / 4;
  HWND extra[] = {w.Plus15, w.Plus30, w.Plus60, w.TakeBack};
  for (int i = 0; i < 4; ++i) Place(extra[i], right + 10 + i * (buttonWidth + 6), top + 50, buttonWidth, kButtonHeight);
  Place(w.RequestGroup, right, top + 100, rightWidth, 90);
  Place(w.RequestLine, right + 10, top + 122, rightWidth - 20, 20);
  Place(w.Approve, right + 10, top + 150, 96, kButtonHeight);
  Place(w.Deny, right + 112, top + 150, 96, kButtonHeight);

  const int chartTop = top + 24 + 8 * kRow + 6 + 10;
  Place(w.ChartGroup, x, chartTop, kPageWidth, kClientHeight - 52 - chartTop);
  Place(w.Chart, x + 10, chartTop + 22, kPageWidth - 20, kClientHeight - 52 - chartTop - 30);
}

void LayOutComputerPage() {
  TWindow& w = Window;
  const int x = kPageLeft, label = 200, field = x + 210, width = 360, aside = field + width + 8;
  Place(w.ComputerTitle, x, kMargin, kPageWidth, 20);
  int y = 44;
  const auto row = [&](HWND name, HWND control, int controlWidth) {
    Place(name, x, y, label, kEditHeight);
    Place(control, field, y, controlWidth, kEditHeight);
    y += 32;
  };
  row(w.WarnLabel, w.Warn, 48);
  Place(w.WarnUnit, field + 54, 44, 200, kEditHeight);
  Place(w.WarnRefusal, field + 260, 44, kPageWidth - (field + 260 - x), kEditHeight);
  Place(w.EndLabel, x, y, label, kEditHeight);
  Place(w.EndAction, field, y, width, 200);
  y += 32;
  Place(w.Backstop, x, y, kPageWidth, kEditHeight);
  y += 32;
  Place(w.ZoneLabel, x, y, label, kEditHeight);
  Place(w.Zone, field, y, width, 300);
  y += 32;
  Place(w.LevelLabel, x, y, label, kEditHeight);
  Place(w.Level, field, y, width, 200);
  y += 32;
  Place(w.FolderRefusal, aside, y, kPageWidth - (aside - x), kEditHeight);
  row(w.FolderLabel, w.Folder, width);
  y += 8;
  Place(w.RemovePin, aside, y - 3, kPageWidth - (aside - x), kButtonHeight);
  row(w.PinLabel, w.PinState, width);
  Place(w.PinRefusal, aside, y, kPageWidth - (aside - x), kEditHeight);
  row(w.NewPinLabel, w.NewPin, 120);
  row(w.RepeatLabel, w.RepeatPin, 120);
  y += 8;
  Place(w.ServiceLabel, x, y, label, kEditHeight);
  Place(w.ServiceState, field, y, kPageWidth - (field - x), kEditHeight);
  y += 32;
  Place(w.FindingsLabel, x, y, kPageWidth, 18);
  y += 22;
  Place(w.Findings, x, y, kPageWidth, kClientHeight - 52 - y);
}

void LayOut() {
  TWindow& w = Window;
  Place(w.ListLabel, kMargin, kMargin, kListWidth, 18);
  Place(w.List, kMargin, kMargin + 20, kListWidth, kClientHeight - 52 - kMargin - 20);
  const int bottom = kClientHeight - kMargin - kButtonHeight;
  Place(w.Add, kMargin, bottom, kListWidth, kButtonHeight);
  Place(w.Status, kPageLeft, bottom, kPageWidth - 2 * 96 - 16, kButtonHeight);
  Place(w.Save, kClientWidth - kMargin - 2 * 96 - 8, bottom, 96, kButtonHeight);
  Place(w.Close, kClientWidth - kMargin - 96, bottom, 96, kButtonHeight);
  LayOutChildPage();
  LayOutComputerPage();

  RECT frame{}, client{};
  GetWindowRect(w.Main, &frame);
  GetClientRect(w.Main, &client);
  SetWindowPos(w.Main, nullptr, 0, 0, Scaled(kClientWidth) + (frame.right - frame.left) - client.right,
               Scaled(kClientHeight) + (frame.bottom - frame.top) - client.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(w.Main, nullptr, TRUE);
}

// --- the pages' fields ---

bool OnComputerPage() { return Window.Page >= static_cast<int>(Window.Model.Children().size()); }
TChildPage* CurrentChild() {
  return OnComputerPage() ? nullptr : &Window.Model.Children()[static_cast<size_t>(Window.Page)];
}

void SetStatus(const std::string& text) { SetWindowTextA(Window.Status, text.c_str()); }

void EnableTimeRow(const TTimeRow& time) {
  const BOOL on = Checked(time.NoLimit) ? FALSE : TRUE;
  for (HWND control : {time.Hours, time.HoursUnit, time.Minutes, time.MinutesUnit}) EnableWindow(control, on);
}

// What the fields of the page shown hold, into the model.
void ReadFields() {
  TWindow& w = Window;
  if (TChildPage* page = CurrentChild()) {
    page->Week = GridWeek(w.Grid);
    for (size_t row = 0; row <= kWeekField; ++row)
      page->Times[row] = TTimeField{Checked(w.Times[row].NoLimit), TextOf(w.Times[row].Hours), TextOf(w.Times[row].Minutes)};
    return;
  }
  TComputerPage& computer = w.Model.Computer();
  computer.Fields.WarnMinutes = TextOf(w.Warn);
  const LRESULT action = SendMessageA(w.EndAction, CB_GETCURSEL, 0, 0);
  if (action >= 0 && action < 3) computer.Fields.EndAction = kEndActions[action];
  computer.Fields.Backstop = Checked(w.Backstop);
  const LRESULT zone = SendMessageA(w.Zone, CB_GETCURSEL, 0, 0);
  if (zone >= 0) computer.Fields.TimeZone = zone == 0 ? std::string() : w.Zones[static_cast<size_t>(zone - 1)];
  const LRESULT level = SendMessageA(w.Level, CB_GETCURSEL, 0, 0);
  if (level >= 0) computer.Fields.Level = static_cast<int32_t>(level);
  computer.Fields.LogFolder = TextOf(w.Folder);
  computer.NewPin = TextOf(w.NewPin);
  computer.RepeatPin = TextOf(w.RepeatPin);
}

// The service's decision, the extra time, the requests and the days' use of
// the child shown, as the configuration and the service's record say now.
void ShowChildState(const TChildPage& page) {
  TWindow& w = Window;
  const TConfiguration& config = w.Model.Configuration();
  const int position = config.RestrictedUsers.IndexOf(page.User);
  const BOOL stored = position >= 0 ? TRUE : FALSE;
  for (HWND button : {w.Plus15, w.Plus30, w.Plus60, w.TakeBack}) EnableWindow(button, stored);
  if (position < 0) {
    SetWindowTextA(w.Decision, "Not saved yet: nothing applies until you press Save.");
    SetWindowTextA(w.ExtraLine, "Extra time can be given once the week is saved.");
    SetWindowTextA(w.RequestLine, "No open request.");
    EnableWindow(w.Approve, FALSE);
    EnableWindow(w.Deny, FALSE);
    SetGridNow(w.Grid, std::nullopt);
    TUseChart none;
    none.Budget.fill(kNoBudget);
    SetUseChart(w.Chart, none);
    return;
  }
  const TDateTime local = w.Admin->RuleClock(config).LocalNow();
  const int64_t now = SecondsOf(local);
  const TUsageFile usage = ReadUsage(*w.Admin, config);
  const TDayUse use = usage.Book.UseOf(config.RestrictedUsers[position], DayOf(now));
  SetWindowTextA(w.Decision, ("Now: " + DecisionLine(config, position, now, use)).c_str());
  SetGridNow(w.Grid, TGridCell{DayIndexOf(local), SlotIndexOf(local)});
  const TExtraTime& extra = config.UserExtras[static_cast<size_t>(position)].ExtraTime;
  SetWindowTextA(w.ExtraLine, extra.Until > now ? ("Extra time until " + FormatClockTime(extra.Until) +
                                                   (DayOf(extra.Until) == DayOf(now) ? "" : " tomorrow") + ".")
                                                      .c_str()
                                                : "No extra time.");
  std::string asks;
  for (const TOpenRequest& request : OpenRequests(*w.Admin, config))
    if (PlatformSameText(request.User, page.User))
      asks = page.User + " asks for " + FormatDuration(request.Minutes * 60LL) + " more (at " +
             FormatClockTime(request.Asked) + ").";
  SetWindowTextA(w.RequestLine, asks.empty() ? "No open request." : asks.c_str());
  EnableWindow(w.Approve, asks.empty() ? FALSE : TRUE);
  EnableWindow(w.Deny, asks.empty() ? FALSE : TRUE);
  SetUseChart(w.Chart, UseChartOf(config, position, usage.Book, DayOf(now)));
}

void ShowChildFields(const TChildPage& page) {
  TWindow& w = Window;
  SetWindowTextA(w.Title, page.User.c_str());
  SetGridWeek(w.Grid, page.Week);
  for (size_t row = 0; row <= kWeekField; ++row) {
    const TTimeRow& time = w.Times[row];
    SendMessageA(time.NoLimit, BM_SETCHECK, page.Times[row].NoLimit ? BST_CHECKED : BST_UNCHECKED, 0);
    SetWindowTextA(time.Hours, page.Times[row].Hours.c_str());
    SetWindowTextA(time.Minutes, page.Times[row].Minutes.c_str());
    SetWindowTextA(time.Refusal, "");
    EnableTimeRow(time);
  }
  ShowChildState(page);
}

std::string ServiceText(const TServiceInfo& service) {
  if (!service.Installed)
    return service.Error != 0 ? "cannot be asked (" + ErrorText(service.Error) + ")" : "not installed";
  return ServiceStateName(service.State) +
         (service.Config.StartType == TToolApi::kAutoStart ? ", starts with Windows" : ", does not start with Windows");
}

void FillZones() {
  TWindow& w = Window;
  w.Zones = TimeZoneNames(*w.Admin);
  SendMessageA(w.Zone, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("The computer's time zone"));
  for (const std::string& zone : w.Zones) SendMessageA(w.Zone, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(zone.c_str()));
}

void ShowComputerFields() {
  TWindow& w = Window;
  const TComputerPage& computer = w.Model.Computer();
  // The zones when the page is first shown: a hundred and more keys to read,
  // which a start on a child's page need not wait for.
  if (SendMessageA(w.Zone, CB_GETCOUNT, 0, 0) == 0) FillZones();
  SetWindowTextA(w.Warn, computer.Fields.WarnMinutes.c_str());
  for (size_t i = 0; i < 3; ++i)
    if (kEndActions[i] == computer.Fields.EndAction) SendMessageA(w.EndAction, CB_SETCURSEL, i, 0);
  SendMessageA(w.Backstop, BM_SETCHECK, computer.Fields.Backstop ? BST_CHECKED : BST_UNCHECKED, 0);
  const auto zone = std::find(w.Zones.begin(), w.Zones.end(), computer.Fields.TimeZone);
  SendMessageA(w.Zone, CB_SETCURSEL, zone == w.Zones.end() ? 0 : 1 + (zone - w.Zones.begin()), 0);
  SendMessageA(w.Level, CB_SETCURSEL, static_cast<WPARAM>(std::clamp(computer.Fields.Level, 0, kMaxLevel)), 0);
  SetWindowTextA(w.Folder, computer.Fields.LogFolder.c_str());
  SetWindowTextA(w.NewPin, computer.NewPin.c_str());
  SetWindowTextA(w.RepeatPin, computer.RepeatPin.c_str());
  const bool pin = PinIsSet(*w.Admin);
  SetWindowTextA(w.PinState, pin ? "set: a parent can approve at the child's clock" : "not set");
  EnableWindow(w.RemovePin, pin ? TRUE : FALSE);
  for (HWND refusal : {w.WarnRefusal, w.FolderRefusal, w.PinRefusal}) SetWindowTextA(refusal, "");
  w.Admin->Service = QueryService(w.Admin->Platform.Tool);
  SetWindowTextA(w.ServiceState, ServiceText(w.Admin->Service).c_str());
  std::string findings;
  for (const TFinding& finding : CheckFindings(*w.Admin))
    findings += (finding.Error ? "Problem: " : "Advice: ") + finding.Plain + "\r\n\r\n";
  SetWindowTextA(w.Findings, findings.empty() ? "No problems found." : findings.c_str());
}

void ShowPage(int page) {
  TWindow& w = Window;
  w.Page = page;
  SendMessageA(w.List, LB_SETCURSEL, static_cast<WPARAM>(page), 0);
  const bool computer = OnComputerPage();
  for (HWND control : w.ChildControls) ShowWindow(control, computer ? SW_HIDE : SW_SHOWNA);
  for (HWND control : w.ComputerControls) ShowWindow(control, computer ? SW_SHOWNA : SW_HIDE);
  if (computer)
    ShowComputerFields();
  else
    ShowChildFields(*CurrentChild());
}

void FillList() {
  TWindow& w = Window;
  SendMessageA(w.List, LB_RESETCONTENT, 0, 0);
  for (const TChildPage& page : w.Model.Children())
    SendMessageA(w.List, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(page.User.c_str()));
  SendMessageA(w.List, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("This computer"));
}

// --- what the buttons do ---

void ShowRefusals(const std::vector<TRefusal>& refused) {
  TWindow& w = Window;
  // The first page with a refusal is shown, its fields marked.
  const int page = refused.front().Child < 0 ? static_cast<int>(w.Model.Children().size()) : refused.front().Child;
  if (page != w.Page) ShowPage(page);
  for (HWND beside : {w.WarnRefusal, w.FolderRefusal, w.PinRefusal}) SetWindowTextA(beside, "");
  for (const TTimeRow& time : w.Times) SetWindowTextA(time.Refusal, "");
  for (const TRefusal& refusal : refused) {
    if ((refusal.Child < 0) != OnComputerPage() || (refusal.Child >= 0 && refusal.Child != w.Page)) continue;
    HWND beside = refusal.Field == TField::Time          ? w.Times[refusal.Index].Refusal
                  : refusal.Field == TField::WarnMinutes ? w.WarnRefusal
                  : refusal.Field == TField::LogFolder   ? w.FolderRefusal
                                                         : w.PinRefusal;
    std::string text = refusal.Text;
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    SetWindowTextA(beside, text.c_str());
  }
  SetStatus("Nothing was saved: correct the values marked in red.");
}

std::string SavedText(const TSaveResult& result) {
  if (!result.Wrote) return "Nothing to save.";
  switch (result.Reload->Kind) {
    case TReloadAnswer::Taken:
      return "Saved. The service applies it within a few seconds.";
    case TReloadAnswer::NotInstalled:
    case TReloadAnswer::NotRunning:
      return "Saved. The service is not running: it applies it when it starts.";
    case TReloadAnswer::Unreachable:
    case TReloadAnswer::Refused:
      break;
  }
  return "Saved. The service applies it within two minutes.";
}

// True when everything was saved.
bool Save() {
  TWindow& w = Window;
  ReadFields();
  const TSaveResult result = w.Model.Save(*w.Admin);
  if (!result.Refused.empty()) {
    ShowRefusals(result.Refused);
    return false;
  }
  ShowPage(w.Page);
  SetStatus(result.Failure.empty() ? SavedText(result) : "Not everything was saved: " + result.Failure);
  return result.Failure.empty();
}

void AddChild() {
  TWindow& w = Window;
  const TLocalAccounts read = ReadLocalAccounts(w.Admin->Platform.Accounts);
  HMENU menu = CreatePopupMenu();
  std::vector<std::string> offered;
  for (const TLocalAccount& account : read.Accounts) {
    const bool shown = std::any_of(w.Model.Children().begin(), w.Model.Children().end(),
                                   [&](const TChildPage& page) { return PlatformSameText(page.User, account.Name); });
    // A child needs a standard account: an administrator can stop the service.
    if (shown || account.Disabled || account.Privilege != TLocalAccount::Standard) continue;
    offered.push_back(account.Name);
    const std::string text = account.FullName.empty() ? account.Name : account.Name + " (" + account.FullName + ")";
    AppendMenuA(menu, MF_STRING, offered.size(), text.c_str());
  }
  if (offered.empty())
    AppendMenuA(menu, MF_STRING | MF_GRAYED, 0,
                read.Status != 0 ? "The accounts cannot be read" : "Every standard account has its page");
  RECT button{};
  GetWindowRect(w.Add, &button);
  const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_BOTTOMALIGN, button.left,
                                    button.top, 0, w.Main, nullptr);
  DestroyMenu(menu);
  if (chosen <= 0) return;
  ReadFields();
  const std::string& user = offered[static_cast<size_t>(chosen - 1)];
  const size_t page = w.Model.AddChild(user);
  FillList();
  ShowPage(static_cast<int>(page));
  SetStatus(user + " may use the computer at any time until you paint the week and press Save.");
}

// Extra time and answers take effect at once, without Save.
void Act(int id) {
  TWindow& w = Window;
  TChildPage* page = CurrentChild();
  if (page == nullptr) return;
  std::string said;
  try {
    const TConfiguration& config = w.Model.Configuration();
    if (id == kTakeBackId) {
      said = TakeBackExtraTime(*w.Admin, page->User) ? "The extra time of " + page->User + " is taken back."
                                                     : page->User + " had no extra time.";
    } else if (id == kApproveId || id == kDenyId) {
      const TServiceReply reply = id == kApproveId ? ApproveRequest(*w.Admin, page->User) : DenyRequest(*w.Admin, page->User);
      if (reply.Error != 0)
        said = "The service cannot be reached (" + ErrorText(reply.Error) + "): only the running service answers requests.";
      else if (!reply.Ok)
        said = "The service says: " + reply.Refusal;
      else
        said = id == kApproveId ? page->User + " may use the computer " + reply.Answer + "."
                                : page->User + "'s clock says that the answer is no.";
    } else {
      const int64_t minutes = id == kPlus15Id ? 15 : id == kPlus30Id ? 30 : 60;
      const int64_t until = GrantExtraTime(*w.Admin, config, page->User, minutes * 60);
      said = page->User + " may use the computer until " + FormatClockTime(until) + ".";
    }
  } catch (const Exception& error) {
    said = error.Message();
  }
  if (id != kApproveId && id != kDenyId) AskToReload(w.Admin->Platform.Tool);
  w.Model.Reread(*w.Admin);
  ShowChildState(*page);
  SetStatus(said);
}

void RemoveThePin() {
  TWindow& w = Window;
  if (MessageBoxA(w.Main, "Remove the parent's PIN? Requests can then be answered only here.", kSettingsCaption,
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  try {
    RemovePin(*w.Admin);
    SetStatus("The parent's PIN is removed.");
  } catch (const Exception& error) {
    SetStatus(error.Message());
  }
  ReadFields();
  ShowComputerFields();
}

// Closing with changes asks first; false keeps the window open.
bool MayClose() {
  TWindow& w = Window;
  ReadFields();
  if (!w.Model.Changed()) return true;
  const int answer = MessageBoxA(w.Main, "Save the changes before closing?", kSettingsCaption,
                                 MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) return false;
  return answer == IDNO || Save();
}

void Command(WORD id, WORD code) {
  TWindow& w = Window;
  if (id == kListId && code == LBN_SELCHANGE) {
    const LRESULT chosen = SendMessageA(w.List, LB_GETCURSEL, 0, 0);
    if (chosen >= 0 && chosen != w.Page) {
      ReadFields();
      ShowPage(static_cast<int>(chosen));
    }
    return;
  }
  if (code != BN_CLICKED) return;
  if (id >= kNoLimitId && id <= kNoLimitId + static_cast<int>(kWeekField)) {
    EnableTimeRow(w.Times[id - kNoLimitId]);
    return;
  }
  switch (id) {
    case kAddId: AddChild(); break;
    case kSaveId: Save(); break;
    case IDCANCEL:
      if (MayClose()) DestroyWindow(w.Main);
      break;
    case kPlus15Id:
    case kPlus30Id:
    case kPlus60Id:
    case kTakeBackId:
    case kApproveId:
    case kDenyId: Act(id); break;
    case kRemovePinId: RemoveThePin(); break;
    default: break;
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWindow& w = Window;
  switch (msg) {
    case kWmDpiChanged: {
      w.Dpi = FollowDpiChange(reinterpret_cast<uintptr_t>(window), wParam, lParam);
      MakeFont();
      LayOut();
      return 0;
    }
    case DM_GETDEFID:
      // Enter saves, wherever the focus is but on a button of its own.
      return MAKELRESULT(kSaveId, DC_HASDEFID);
    case WM_CTLCOLORSTATIC: {
      const HWND control = reinterpret_cast<HWND>(lParam);
      const bool refusal = control == w.WarnRefusal || control == w.FolderRefusal || control == w.PinRefusal ||
                           std::any_of(std::begin(w.Times), std::end(w.Times),
                                       [control](const TTimeRow& time) { return time.Refusal == control; });
      if (!refusal) break;
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, kTimeUpColour);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kGridId && HIWORD(wParam) == kGridChanged) {
        if (TChildPage* page = CurrentChild()) page->Week = GridWeek(w.Grid);
        return 0;
      }
      Command(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      if (MayClose()) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}
}  // namespace

HWND OpenSettingsWindow(TAdmin& admin, HINSTANCE instance) {
  TWindow& w = Window;
  w.Admin = &admin;
  w.Model.Load(admin);
  RegisterWeekGrid(instance);
  RegisterUseChart(instance);
  WNDCLASSA main{};
  main.lpfnWndProc = WindowProc;
  main.hInstance = instance;
  main.hCursor = LoadCursor(nullptr, IDC_ARROW);
  main.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  main.lpszClassName = kWindowClass;
  RegisterClassA(&main);
  w.Main = CreateWindowExA(WS_EX_CONTROLPARENT, kWindowClass, kSettingsCaption,
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (w.Main == nullptr) return nullptr;
  w.ListLabel = Label("Pa&ges:");
  w.List = Make("LISTBOX", "", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, kListId, WS_EX_CLIENTEDGE);
  MakeChildPage();
  MakeComputerPage();
  // After the pages, so that Tab comes to them last.
  w.Add = Button("&Add a child...", kAddId);
  SetWindowTextW(w.Add, L"&Add a child\u2026");  // the ellipsis is not in every ANSI code page
  w.Status = Make("STATIC", "", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX | WS_VISIBLE);
  w.Save = Button("&Save", kSaveId, BS_DEFPUSHBUTTON);
  w.Close = Button("Close", IDCANCEL);
  for (HWND control : {w.ListLabel, w.List, w.Add, w.Save, w.Close}) ShowWindow(control, SW_SHOWNA);
  w.Dpi = WindowDpi(reinterpret_cast<uintptr_t>(w.Main));
  MakeFont();
  LayOut();
  FillList();
  ShowPage(0);
  ShowWindow(w.Main, SW_SHOWNORMAL);
  SetForegroundWindow(w.Main);
  return w.Main;
}

void RefreshSettingsWindow() {
  if (Window.Main == nullptr) return;
  Window.Model.Reread(*Window.Admin);
  if (const TChildPage* page = CurrentChild()) ShowChildState(*page);
}

bool SettingsDialogMessage(MSG& message) {
  return Window.Main != nullptr && IsDialogMessageA(Window.Main, &message) != FALSE;
}
