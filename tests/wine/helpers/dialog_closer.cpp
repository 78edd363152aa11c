// Waits for a dialog with the given caption, prints what it shows and presses OK.
//   dialog_closer.exe [--peek] CAPTION [TIMEOUT_MS]
// With --peek the dialog is left open (for a screenshot, say).
// Prints, one per line: "caption:", "button:" (the OK button's text), "default:"
// (the default button's id), "centred:" (1 when the dialog's centre is within a
// few pixels of the screen's), "others:" (how many more such dialogs are open),
// then "text:" followed by the dialog's text exactly, to the end of the output.
// Exit code 0 once OK was pressed, 1 when no such dialog appeared in time.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ItemText(HWND dialog, int id) {
  char text[4096] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

BOOL CALLBACK CountDialogs(HWND window, LPARAM context) {
  auto* state = reinterpret_cast<std::pair<const char*, int>*>(context);
  char className[64] = {}, caption[256] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, caption, sizeof caption);
  if (std::string(className) == "#32770" && std::string(caption) == state->first && IsWindowVisible(window))
    ++state->second;
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  const bool peek = argc > 1 && std::string(argv[1]) == "--peek";
  if (peek) {
    --argc;
    ++argv;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: dialog_closer [--peek] CAPTION [TIMEOUT_MS]\n");
    return 2;
  }
  // The text may hold CR LF: it goes out byte for byte.
  _setmode(_fileno(stdout), _O_BINARY);
  const char* caption = argv[1];
  const DWORD timeout = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 30000;
  const DWORD start = GetTickCount();
  HWND dialog = nullptr;
  while ((dialog = FindWindowA("#32770", caption)) == nullptr || !IsWindowVisible(dialog)) {
    if (GetTickCount() - start > timeout) return 1;
    Sleep(50);
  }
  RECT box = {};
  GetWindowRect(dialog, &box);
  const int dx = (box.left + box.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
  const int dy = (box.top + box.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
  const bool centred = dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2;
  const LRESULT defaultId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  std::pair<const char*, int> others{caption, 0};
  EnumWindows(&CountDialogs, reinterpret_cast<LPARAM>(&others));

  std::printf("caption:%s\n", caption);
  std::printf("button:%s\n", ItemText(dialog, IDOK).c_str());
  std::printf("default:%d\n", HIWORD(defaultId) == DC_HASDEFID ? LOWORD(defaultId) : 0);
  std::printf("centred:%d\n", centred ? 1 : 0);
  std::printf("others:%d\n", others.second - 1);
  // The message box's text is its static control 0xFFFF.
  std::printf("text:%s", ItemText(dialog, 0xFFFF).c_str());
  std::fflush(stdout);
  if (!peek) SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  return 0;
}
