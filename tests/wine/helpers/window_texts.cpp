// Reads what a program's top-level window shows, for scripts that compare it
// exactly.
//   window_texts.exe CLASS CAPTION [TIMEOUT_MS]
//     Waits for a visible top-level window of that class and caption, then
//     prints "windows:" (how many such windows are visible), "rect:" (its frame
//     on the screen: left,top,right,bottom), then its visible children from top
//     to bottom (left to right on a line): "static:" and the text for a STATIC
//     control, "button:" and the text for a button, "edit:" for an edit field
//     (never its text: it may be a password), "child:" and the class for any
//     other. Texts are printed in UTF-8.
//     Exit code 0, or 1 when no such window appeared in time.
//   window_texts.exe --close CLASS CAPTION [TIMEOUT_MS]
//     Asks each to close (WM_CLOSE) and waits until none is left; exit code 1
//     when one is still there at the timeout.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct TWanted {
  std::string Class;
  std::string Caption;
  std::vector<HWND> Found;
};

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  wchar_t text[4096] = {};
  GetWindowTextW(window, text, 4096);
  char utf8[4 * 4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
  auto* wanted = reinterpret_cast<TWanted*>(context);
  if (IsWindowVisible(window) && ClassOf(window) == wanted->Class && TextOf(window) == wanted->Caption)
    wanted->Found.push_back(window);
  return TRUE;
}

std::vector<HWND> Visible(const char* className, const char* caption) {
  TWanted wanted{className, caption, {}};
  EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&wanted));
  return wanted.Found;
}

struct TChild {
  HWND Window;
  RECT Box;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
  auto* state = reinterpret_cast<std::pair<HWND, std::vector<TChild>*>*>(context);
  // EnumChildWindows walks grandchildren too; only the window's own lines count.
  if (GetParent(window) != state->first || !IsWindowVisible(window)) return TRUE;
  TChild child{window, {}};
  GetWindowRect(window, &child.Box);
  state->second->push_back(child);
  return TRUE;
}

// The order on the screen, not the order of creation or of the z-order, which
// differ between Windows versions and Wine.
std::vector<TChild> ChildrenOnScreen(HWND parent) {
  std::vector<TChild> children;
  std::pair<HWND, std::vector<TChild>*> state{parent, &children};
  EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&state));
  std::stable_sort(children.begin(), children.end(), [](const TChild& a, const TChild& b) {
    return a.Box.top != b.Box.top ? a.Box.top < b.Box.top : a.Box.left < b.Box.left;
  });
  return children;
}

int Usage() {
  std::fprintf(stderr,
               "usage: window_texts CLASS CAPTION [TIMEOUT_MS] | --close CLASS CAPTION [TIMEOUT_MS]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const bool close = std::string(argv[1]) == "--close";
  if (close && argc < 4) return Usage();
  const char* className = argv[close ? 2 : 1];
  const char* caption = argv[close ? 3 : 2];
  const int timeoutArg = close ? 4 : 3;
  const DWORD timeout = argc > timeoutArg ? std::strtoul(argv[timeoutArg], nullptr, 10) : 30000;
  const DWORD start = GetTickCount();

  if (close) {
    for (HWND window : Visible(className, caption)) PostMessageA(window, WM_CLOSE, 0, 0);
    while (!Visible(className, caption).empty()) {
      if (GetTickCount() - start > timeout) return 1;
      Sleep(20);
    }
    return 0;
  }

  std::vector<HWND> found;
  while ((found = Visible(className, caption)).empty()) {
    if (GetTickCount() - start > timeout) return 1;
    Sleep(20);
  }
  RECT frame = {};
  GetWindowRect(found.front(), &frame);
  std::printf("windows:%u\n", static_cast<unsigned>(found.size()));
  std::printf("rect:%ld,%ld,%ld,%ld\n", frame.left, frame.top, frame.right, frame.bottom);
  for (const TChild& child : ChildrenOnScreen(found.front())) {
    const std::string childClass = ClassOf(child.Window);
    if (lstrcmpiA(childClass.c_str(), "Static") == 0) {
      std::printf("static:%s\n", TextOf(child.Window).c_str());
    } else if (lstrcmpiA(childClass.c_str(), "Button") == 0) {
      std::printf("button:%s\n", TextOf(child.Window).c_str());
    } else if (lstrcmpiA(childClass.c_str(), "Edit") == 0) {
      std::printf("edit:\n");
    } else {
      std::printf("child:%s\n", childClass.c_str());
    }
  }
  return 0;
}
