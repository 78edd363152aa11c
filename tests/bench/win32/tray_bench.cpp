// What nortaveltray.exe costs under Wine (or on Windows), beside a bare Win32
// program that shows one window with one line of text and nothing else.
//   tray_bench start RUNS EXE [ARGS]
//     Starts EXE ARGS RUNS times; each time prints the milliseconds from
//     CreateProcess to its status window being visible ("shown") and to the
//     process waiting for input with its window painted ("idle",
//     WaitForInputIdle). Every start but the last is ended; the last keeps
//     running with its status window closed, for "sample".
//   tray_bench start-bare RUNS
//     The same for bare_window.exe beside it; the last keeps its window.
//   tray_bench start-settings RUNS EXE
//     The same for the parent's window EXE (nortavelsettings.exe); every
//     start is ended.
//   tray_bench sample [bare]
//     CPU time (user and kernel, ms) and memory (working set, its peak and the
//     private bytes, KiB) of the running tray, found by its hidden window (of
//     the bare program, found by its window).
// Figures only: the exit code is 0 whatever they are, 1 when a program did not
// show its window or cannot be found.
#define PSAPI_VERSION 2  // GetProcessMemoryInfo from kernel32, where Windows 7 and Wine have it
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "svcmgr/message_loop_api.h"
#include "tray/tray_view.h"

namespace {

constexpr char kBareClass[] = "BareWindow";
constexpr char kBareCaption[] = "Bare window";
constexpr char kSettingsClass[] = "NortavelFreeSettings";
constexpr char kSettingsCaption[] = "Nortavel free settings";
constexpr DWORD kShowTimeoutMs = 30000;

double Milliseconds() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct TSearch {
  const char* Class;
  const char* Caption;
  DWORD Process;
  HWND Found;
};

BOOL CALLBACK FindOfProcess(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<TSearch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char className[64] = {}, caption[64] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, caption, sizeof caption);
  if (process == search->Process && IsWindowVisible(window) && lstrcmpA(className, search->Class) == 0 &&
      lstrcmpA(caption, search->Caption) == 0) {
    search->Found = window;
    return FALSE;
  }
  return TRUE;
}

// Starts commandLine and times it until its window of className is visible and
// until it waits for input. False when it never showed the window.
bool TimeStart(const std::string& commandLine, const char* className, const char* caption, bool keep) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  const double start = Milliseconds();
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::printf("cannot start %s: error %lu\n", commandLine.c_str(), GetLastError());
    return false;
  }
  // Polled every millisecond or so: the figure is late by at most one step.
  TSearch search{className, caption, process.dwProcessId, nullptr};
  bool ended = false;
  while (search.Found == nullptr && !ended && Milliseconds() - start < kShowTimeoutMs) {
    EnumWindows(&FindOfProcess, reinterpret_cast<LPARAM>(&search));
    if (search.Found == nullptr) ended = WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0;
  }
  const double shown = Milliseconds() - start;
  if (ended) {
    // A tray already running, or a user without rules.
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("ended after %.1f ms (exit code %lu) without a window\n", shown, code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return false;
  }
  const DWORD waited = WaitForInputIdle(process.hProcess, kShowTimeoutMs);
  const double idle = Milliseconds() - start;
  if (search.Found == nullptr) {
    std::printf("no window within %lu ms\n", kShowTimeoutMs);
  } else {
    std::printf("shown %.1f ms, idle %s\n", shown,
                waited == 0 ? (std::to_string(static_cast<int>(idle + 0.5)) + " ms").c_str() : "not reported");
  }
  if (keep && search.Found != nullptr) {
    // The tray lives on with its icon alone, as it does most of the day.
    if (lstrcmpA(className, kTrayStatusClass) == 0) PostMessageA(search.Found, WM_CLOSE, 0, 0);
  } else {
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return search.Found != nullptr;
}

double Ms(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 10000.0;
}

int Sample(bool bare) {
  HWND app = bare ? FindWindowA(kBareClass, kBareCaption) : FindWindowA(kAppWindowClass, kTrayCaption);
  DWORD id = 0;
  if (app == nullptr || GetWindowThreadProcessId(app, &id) == 0) {
    std::printf("no %s running\n", bare ? "bare program" : "tray");
    return 1;
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (process == nullptr) {
    std::printf("cannot open it: error %lu\n", GetLastError());
    return 1;
  }
  FILETIME created, ended, kernel, user;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  const bool times = GetProcessTimes(process, &created, &ended, &kernel, &user) != FALSE;
  const bool counters =
      GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) != FALSE;
  if (times) std::printf("cpu_ms %.1f %.1f\n", Ms(user), Ms(kernel));
  if (counters)
    std::printf("memory_kib %lu %lu %lu\n", static_cast<unsigned long>(memory.WorkingSetSize / 1024),
                static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024),
                static_cast<unsigned long>(memory.PrivateUsage / 1024));
  CloseHandle(process);
  return times && counters ? 0 : 1;
}

// bare_window.exe beside this program.
std::string BarePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1) + "bare_window.exe";
}

int Usage() {
  std::fprintf(stderr,
               "usage: tray_bench start RUNS EXE [ARGS] | start-bare RUNS | start-settings RUNS EXE | sample [bare]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string mode = argv[1];
  if (mode == "sample") return Sample(argc > 2 && std::string(argv[2]) == "bare");
  if ((mode != "start" && mode != "start-bare" && mode != "start-settings") || argc < 3) return Usage();
  const int runs = std::atoi(argv[2]);
  const bool bare = mode == "start-bare";
  const bool settings = mode == "start-settings";
  if (!bare && argc < 4) return Usage();
  std::string commandLine = bare ? "\"" + BarePath() + "\"" : "";
  for (int i = 3; !bare && i < argc; ++i) commandLine += (i > 3 ? " \"" : "\"") + std::string(argv[i]) + "\"";
  for (int run = 1; run <= runs; ++run) {
    std::printf("run %d: ", run);
    const bool shown = bare       ? TimeStart(commandLine, kBareClass, kBareCaption, run == runs)
                       : settings ? TimeStart(commandLine, kSettingsClass, kSettingsCaption, false)
                                  : TimeStart(commandLine, kTrayStatusClass, kTrayCaption, run == runs);
    std::fflush(stdout);
    if (!shown) return 1;
  }
  return 0;
}
