// Works the parent's window as a parent would, for the scenarios: one run
// takes a list of steps and does them in order.
//   settings_probe.exe STEP...
//     wait MS            waits for the window "Nortavel free settings"
//     page NAME          chooses the page NAME in the list ("This computer")
//     cell DAY SLOT      clicks the middle of the cell of day DAY (0 = Monday)
//                        and half hour SLOT of the NortavelWeekGrid, computed
//                        from the control's client rectangle
//     daily DAY H M      types H hours and M minutes for the day whose label
//                        reads DAY ("Saturday"), its "No limit" unticked
//     press TEXT         presses the button whose text is TEXT ("&Save"), then
//                        prints "status:" and the window's status line
//     close              asks the window to close (WM_CLOSE)
//   Each step prints what it did; exit code 1 at the first step that fails.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kCaption[] = "Nortavel free settings";
constexpr char kGridClass[] = "NortavelWeekGrid";
constexpr DWORD kAnswerMs = 10000;

HWND Main = nullptr;

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct TSearch {
  const char* Class;
  const char* Text;
  HWND Found;
};

BOOL CALLBACK FindChild(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<TSearch*>(data);
  if (!IsWindowVisible(child) || ClassOf(child) != search->Class) return TRUE;
  if (search->Text != nullptr && TextOf(child) != search->Text) return TRUE;
  search->Found = child;
  return FALSE;
}

// The visible child of that class (and text, when given); null for none.
HWND Child(const char* className, const char* text) {
  TSearch search{className, text, nullptr};
  EnumChildWindows(Main, FindChild, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

LRESULT Send(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(window, msg, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &result) == 0) {
    std::printf("no answer to message 0x%x\n", msg);
    std::exit(1);
  }
  return static_cast<LRESULT>(result);
}

bool Fail(const std::string& what) {
  std::printf("FAILED: %s\n", what.c_str());
  return false;
}

bool Wait(int ms) {
  const DWORD until = GetTickCount() + static_cast<DWORD>(ms);
  while ((Main = FindWindowA(nullptr, kCaption)) == nullptr || !IsWindowVisible(Main)) {
    if (static_cast<LONG>(GetTickCount() - until) > 0) return Fail("no window");
    Sleep(50);
  }
  std::printf("window\n");
  return true;
}

bool Page(const char* name) {
  HWND list = Child("ListBox", nullptr);
  if (list == nullptr) return Fail("no list of pages");
  const LRESULT at = Send(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name));
  if (at == LB_ERR) return Fail(std::string("no page ") + name);
  Send(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
  Send(Main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  std::printf("page %s\n", name);
  return true;
}

bool Cell(int day, int slot) {
  HWND grid = Child(kGridClass, nullptr);
  if (grid == nullptr) return Fail("no NortavelWeekGrid");
  RECT client{};
  GetClientRect(grid, &client);
  // The middle of the cell: halfway between its edges, as the control shares
  // its area out evenly among 48 half hours and 7 days.
  const int x = (slot * client.right / 48 + (slot + 1) * client.right / 48) / 2;
  const int y = (day * client.bottom / 7 + (day + 1) * client.bottom / 7) / 2;
  Send(grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  Send(grid, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  std::printf("cell %d %d at %d,%d of %ldx%ld\n", day, slot, x, y, client.right, client.bottom);
  return true;
}

bool Daily(const char* day, const char* hours, const char* minutes) {
  HWND name = Child("Static", day);
  if (name == nullptr) return Fail(std::string("no label ") + day);
  // The row reads: name, hours, "h", minutes, "min", "No limit".
  HWND hourField = GetWindow(name, GW_HWNDNEXT);
  HWND minuteField = GetWindow(GetWindow(hourField, GW_HWNDNEXT), GW_HWNDNEXT);
  HWND noLimit = GetWindow(GetWindow(minuteField, GW_HWNDNEXT), GW_HWNDNEXT);
  if (TextOf(noLimit) != "No limit") return Fail("the row of " + std::string(day) + " is not as expected");
  if (Send(noLimit, BM_GETCHECK, 0, 0) == BST_CHECKED) Send(noLimit, BM_CLICK, 0, 0);
  Send(hourField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(hours));
  Send(minuteField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(minutes));
  std::printf("daily %s %s h %s min\n", day, hours, minutes);
  return true;
}

bool Press(const char* text) {
  HWND button = Child("Button", text);
  if (button == nullptr) return Fail(std::string("no button ") + text);
  Send(button, BM_CLICK, 0, 0);
  // The status line stands after the button that adds a child.
  HWND line = nullptr;
  for (HWND child = GetWindow(Main, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == "Button" && TextOf(child).rfind("&Add a child", 0) == 0) {
      line = GetWindow(child, GW_HWNDNEXT);
      break;
    }
  }
  std::printf("pressed %s\nstatus:%s\n", text, line != nullptr ? TextOf(line).c_str() : "");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string step = argv[i];
    const int left = argc - i - 1;
    bool done = false;
    if (step == "wait" && left >= 1) {
      done = Wait(std::atoi(argv[++i]));
    } else if (Main == nullptr && !(Main = FindWindowA(nullptr, kCaption))) {
      done = Fail("no window");
    } else if (step == "page" && left >= 1) {
      done = Page(argv[++i]);
    } else if (step == "cell" && left >= 2) {
      done = Cell(std::atoi(argv[i + 1]), std::atoi(argv[i + 2]));
      i += 2;
    } else if (step == "daily" && left >= 3) {
      done = Daily(argv[i + 1], argv[i + 2], argv[i + 3]);
      i += 3;
    } else if (step == "press" && left >= 1) {
      done = Press(argv[++i]);
    } else if (step == "close") {
      PostMessageA(Main, WM_CLOSE, 0, 0);
      done = true;
    } else {
      done = Fail("unknown step " + step);
    }
    std::fflush(stdout);
    if (!done) return 1;
  }
  return 0;
}
