// Session detection per tick against a loop that makes the same Windows calls
// and nothing else, timed side by side under Wine (or on Windows).
//   session_bench [--children N] [--rounds R] [--ticks T]
//       starts N idle copies of itself first (32-bit processes whose owner can be
//       read, beside Wine's own 64-bit ones, which fail at the module list), then
//       runs R rounds; each round times T ticks of CollectSeenAccounts and T ticks
//       of the bare loop, the order alternating from round to round, and prints
//       the per-tick times and their ratio. The children are ended at the end.
//   session_bench --idle      waits until it is ended
// Figures only: the exit code is 0 whatever they are.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "engine/engine_state.h"
#include "winsys/process_api.h"
#include "winsys/sessions.h"

namespace {

// The messages of a tick are part of neither loop's work.
class TDroppingLog : public TLogSink {
 public:
  void Log(const std::string&) override {}
  void FlushLog() override {}
};

// How far the bare loop got with the processes of one tick.
struct TReach {
  unsigned Listed = 0;    // ids returned, id 0 included
  unsigned Opened = 0;    // OpenProcess succeeded
  unsigned Modules = 0;   // EnumProcessModules succeeded
  unsigned Named = 0;     // LookupAccountSidA succeeded
};

// The calls session detection makes for one tick, with the documented arguments,
// in the same order and with the same releases; no list, no log, no wrapper.
TReach BareTick() {
  TReach reach;
  DWORD ids[1024];
  DWORD bytes = 0;
  if (!EnumProcesses(ids, sizeof ids, &bytes)) return reach;
  const DWORD count = std::min<DWORD>(bytes / 4, 1024);
  reach.Listed = count;
  for (DWORD i = 0; i < count; ++i) {
    if (ids[i] == 0) continue;
    const HANDLE process = OpenProcess(0x0410, FALSE, ids[i]);
    if (process == nullptr) continue;
    ++reach.Opened;
    HMODULE module = nullptr;
    DWORD needed = 0;
    HANDLE token = nullptr;
    if (EnumProcessModules(process, &module, sizeof module, &needed)) {
      ++reach.Modules;
      if (OpenProcessToken(process, 8, &token)) {
        DWORD length = 0;
        if (GetTokenInformation(token, TokenUser, nullptr, 0, &length) ||
            GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
          const HGLOBAL block = GlobalAlloc(GMEM_ZEROINIT, length);
          if (block != nullptr && GetTokenInformation(token, TokenUser, block, length, &length)) {
            char name[128];
            char domain[128];
            DWORD nameLength = 128;
            DWORD domainLength = 128;
            SID_NAME_USE use;
            if (LookupAccountSidA(nullptr, static_cast<TOKEN_USER*>(block)->User.Sid, name, &nameLength, domain,
                                  &domainLength, &use))
              ++reach.Named;
          }
          if (block != nullptr) GlobalFree(block);
        }
        CloseHandle(token);
      }
    }
    CloseHandle(process);
  }
  return reach;
}

double Now(const LARGE_INTEGER& frequency) {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<HANDLE> StartChildren(int count) {
  std::vector<HANDLE> children;
  char self[MAX_PATH];
  if (GetModuleFileNameA(nullptr, self, sizeof self) == 0) return children;
  for (int i = 0; i < count; ++i) {
    std::string command = std::string("\"") + self + "\" --idle";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      std::printf("could not start child %d: error %lu\n", i, GetLastError());
      break;
    }
    CloseHandle(info.hThread);
    children.push_back(info.hProcess);
  }
  return children;
}

void EndChildren(std::vector<HANDLE>& children) {
  for (HANDLE child : children) {
    TerminateProcess(child, 0);
    WaitForSingleObject(child, 5000);
    CloseHandle(child);
  }
  children.clear();
}

}  // namespace

int main(int argc, char** argv) {
  int children = 0, rounds = 40, ticks = 25;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--idle") {
      Sleep(INFINITE);
      return 0;
    }
    if (i + 1 < argc && arg == "--children") children = std::atoi(argv[++i]);
    else if (i + 1 < argc && arg == "--rounds") rounds = std::atoi(argv[++i]);
    else if (i + 1 < argc && arg == "--ticks") ticks = std::atoi(argv[++i]);
    else {
      std::fprintf(stderr, "usage: session_bench [--children N] [--rounds R] [--ticks T] | --idle\n");
      return 2;
    }
  }
  rounds = std::max(rounds, 1);
  ticks = std::max(ticks, 1);

  std::vector<HANDLE> started = StartChildren(children);
  // A child is listed as soon as it exists but its module list is readable only
  // once it has loaded: give them time, then warm both loops up.
  Sleep(started.empty() ? 0 : 2000 + 20 * static_cast<DWORD>(started.size()));

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  TEngineState state;  // the shipped default level, 2
  TDroppingLog log;
  TProcessApi& processes = PlatformProcesses();
  CollectSeenAccounts(state.SeenAccounts, state.DebugLevel, processes, log);
  const TReach reach = BareTick();

  std::vector<double> ours, bare, ratios;
  double oursTotal = 0, bareTotal = 0;
  for (int round = 0; round < rounds; ++round) {
    double oursSeconds = 0, bareSeconds = 0;
    for (int half = 0; half < 2; ++half) {
      const bool oursNow = (half == 0) == (round % 2 == 0);
      const double start = Now(frequency);
      for (int t = 0; t < ticks; ++t) {
        if (oursNow) CollectSeenAccounts(state.SeenAccounts, state.DebugLevel, processes, log);
        else BareTick();
      }
      (oursNow ? oursSeconds : bareSeconds) = Now(frequency) - start;
    }
    ours.push_back(oursSeconds * 1e6 / ticks);
    bare.push_back(bareSeconds * 1e6 / ticks);
    ratios.push_back(oursSeconds / bareSeconds);
    oursTotal += oursSeconds;
    bareTotal += bareSeconds;
  }
  EndChildren(started);

  std::string seen;
  for (const std::string& account : state.SeenAccounts) seen += (seen.empty() ? "" : ", ") + account;
  std::printf("session detection per tick, %d rounds of %d ticks each, interleaved\n", rounds, ticks);
  std::printf("processes per tick: %u listed, %u opened, %u with a readable module list, %u named (children "
              "started: %d)\n",
              reach.Listed, reach.Opened, reach.Modules, reach.Named, children);
  std::printf("seen accounts: %s\n", seen.c_str());
  std::printf("%-24s %10s %10s %10s\n", "per tick (us)", "median", "min", "max");
  std::printf("%-24s %10.1f %10.1f %10.1f\n", "CollectSeenAccounts", Median(ours),
              *std::min_element(ours.begin(), ours.end()), *std::max_element(ours.begin(), ours.end()));
  std::printf("%-24s %10.1f %10.1f %10.1f\n", "bare Windows calls", Median(bare),
              *std::min_element(bare.begin(), bare.end()), *std::max_element(bare.begin(), bare.end()));
  std::printf("ratio CollectSeenAccounts / bare: %.3f (median of rounds), %.3f (totals); goal <= 1.1\n",
              Median(ratios), oursTotal / bareTotal);
  return 0;
}
