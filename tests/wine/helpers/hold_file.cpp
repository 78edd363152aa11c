// A reader that holds a file open as a spreadsheet does: sharing reading and
// writing but not deletion, so that nothing can take the file's place while it
// runs. It waits for the file to appear, then holds it until it is ended.
//   hold_file PATH
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  for (;;) {
    const HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    Sleep(100);
  }
  Sleep(INFINITE);
  return 0;
}
