// The scale scenario's two steps in a prefix holding more processes than one
// enumeration has room for.
//   scale_probe spawn N    starts N idle_process.exe (from this exe's folder) and
//                          returns once every one of them is running;
//                          prints "started=N", exit code 1 if some never ran
//   scale_probe probe      runs one tick of session detection at level 4 and
//                          prints, one "key=value" a line:
//                            listed=   ids one 4096-byte enumeration returned
//                            running=  ids a 65536-byte enumeration returned
//                            opened=   processes the tick tried to open
//                            nonzero=  nonzero ids among the listed ones
//                            wide=     64-bit processes among the listed ones
//                            seen=     the accounts found, comma-separated
//                          then "message=TEXT" for every log line of the tick
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/log_sink.h"
#include "engine/engine_state.h"
#include "winsys/process_api.h"
#include "winsys/sessions.h"

namespace {

// The real calls, with the process opens counted.
class TCountingProcesses : public TProcessApi {
 public:
  explicit TCountingProcesses(TProcessApi& real) : Real(real) {}
  int Opened = 0;

  bool EnumProcessIds(uint32_t* ids, uint32_t bufferBytes, uint32_t& bytesReturned) override {
    return Real.EnumProcessIds(ids, bufferBytes, bytesReturned);
  }
  uintptr_t OpenProcessById(uint32_t access, bool inheritHandle, uint32_t processId) override {
    ++Opened;
    return Real.OpenProcessById(access, inheritHandle, processId);
  }
  bool EnumModules(uintptr_t process, uintptr_t* modules, uint32_t bufferBytes, uint32_t& bytesNeeded) override {
    return Real.EnumModules(process, modules, bufferBytes, bytesNeeded);
  }
  bool OpenToken(uintptr_t process, uint32_t access, uintptr_t& token) override {
    return Real.OpenToken(process, access, token);
  }
  bool QueryToken(uintptr_t token, uint32_t infoClass, void* buffer, uint32_t length,
                  uint32_t& returnLength) override {
    return Real.QueryToken(token, infoClass, buffer, length, returnLength);
  }
  uintptr_t AllocateBlock(uint32_t flags, uint32_t bytes) override { return Real.AllocateBlock(flags, bytes); }
  void FreeBlock(uintptr_t block) override { Real.FreeBlock(block); }
  bool LookupAccount(const char* systemName, const void* sid, char* name, uint32_t& nameLength, char* domain,
                     uint32_t& domainLength, uint32_t& sidType) override {
    return Real.LookupAccount(systemName, sid, name, nameLength, domain, domainLength, sidType);
  }
  void CloseObject(uintptr_t handle) override { Real.CloseObject(handle); }
  uint32_t LastError() override { return Real.LastError(); }
  bool RunsUnderWow64() override { return Real.RunsUnderWow64(); }
  uint64_t ElapsedMs() override { return Real.ElapsedMs(); }
  bool CreationTime(uintptr_t process, uint64_t& created) override { return Real.CreationTime(process, created); }
  std::string ImagePath(uintptr_t process) override { return Real.ImagePath(process); }

 private:
  TProcessApi& Real;
};

class TRecordingSink : public TLogSink {
 public:
  std::vector<std::string> Lines;
  void Log(const std::string& message) override { Lines.push_back(message); }
  void FlushLog() override {}
};

bool IsSixtyFourBit(DWORD id) {
  SYSTEM_INFO system;
  GetNativeSystemInfo(&system);
  if (system.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_AMD64) return false;
  const HANDLE process = OpenProcess(0x1000 /* PROCESS_QUERY_LIMITED_INFORMATION */, FALSE, id);
  if (process == nullptr) return false;
  BOOL wow64 = FALSE;
  const BOOL ok = IsWow64Process(process, &wow64);
  CloseHandle(process);
  return ok && !wow64;
}

int Spawn(int count) {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  std::string folder(self, length);
  folder.erase(folder.find_last_of('\\') + 1);
  const std::string semaphore = "nf_scale_ready_" + std::to_string(GetCurrentProcessId());
  const HANDLE ready = CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, semaphore.c_str());
  if (ready == nullptr) {
    std::printf("error=semaphore %lu\n", GetLastError());
    return 1;
  }
  int started = 0;
  for (; started < count; ++started) {
    std::string command = "\"" + folder + "idle_process.exe\" " + semaphore;
    // No standard handles: a child holding this process's output open would keep
    // whoever reads it waiting for its end for as long as the child sleeps.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                        &info)) {
      std::printf("error=process %d: %lu\n", started, GetLastError());
      break;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  int running = 0;
  while (running < started && WaitForSingleObject(ready, 60000) == WAIT_OBJECT_0) ++running;
  CloseHandle(ready);
  std::printf("started=%d\n", running);
  return running == count ? 0 : 1;
}

int Probe() {
  TProcessApi& real = PlatformProcesses();
  std::vector<uint32_t> all(16384);
  uint32_t allBytes = 0;
  real.EnumProcessIds(all.data(), static_cast<uint32_t>(all.size() * 4), allBytes);
  uint32_t listed[1024];
  uint32_t listedBytes = 0;
  real.EnumProcessIds(listed, sizeof listed, listedBytes);

  TEngineState state;
  state.DebugLevel = 4;
  TRecordingSink log;
  TCountingProcesses counting(real);
  CollectSeenAccounts(state.SeenAccounts, state.DebugLevel, counting, log);

  int nonzero = 0, wide = 0;
  for (uint32_t i = 0; i < listedBytes / 4; ++i) {
    if (listed[i] == 0) continue;
    ++nonzero;
    if (IsSixtyFourBit(listed[i])) ++wide;
  }
  std::string seen;
  for (const std::string& account : state.SeenAccounts) seen += (seen.empty() ? "" : ",") + account;
  std::printf("listed=%u\nrunning=%u\nopened=%d\nnonzero=%d\nwide=%d\nseen=%s\n", listedBytes / 4, allBytes / 4,
              counting.Opened, nonzero, wide, seen.c_str());
  for (const std::string& line : log.Lines) std::printf("message=%s\n", line.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "spawn") return Spawn(std::atoi(argv[2]));
  if (argc == 2 && std::string(argv[1]) == "probe") return Probe();
  std::fprintf(stderr, "usage: scale_probe spawn N | scale_probe probe\n");
  return 2;
}
