// Drives the real power-off path in a prefix of its own (the request ends every
// process of the prefix, this one included).
//   poweroff_probe DIR\          logs at level 2 into DIR\debug_free.log the lines a
//                                pass writes before a power-off, calls
//                                ShutdownComputer, writes DIR\poweroff_probe.result
//                                ("result=1" or "result=0") and waits 120 s to be
//                                ended by the power-off
//   poweroff_probe --idle DIR\   a bystander: writes DIR\idle.ready, waits 300 s
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "common/clock.h"
#include "common/log_sink.h"
#include "diag/diagnostic_log.h"
#include "diag/log_platform.h"
#include "diag/messages.h"
#include "winsys/accounts.h"

namespace {

void Wait(int seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); }

int Idle(const std::string& folder) {
  std::ofstream(folder + "idle.ready") << "ready\n";
  Wait(300);
  return 0;
}

// The real log, written to folder at level 2, as the power-off reaches it.
class TProbeLog : public TLogSink {
 public:
  explicit TProbeLog(std::string folder) : Folder(std::move(folder)) {}
  void Log(const std::string& message) override { File.Log(message); }
  void FlushLog() override { File.FlushLog(2, Folder); }

 private:
  TDiagnosticLog File{PlatformLogFiles(), PlatformClock()};
  std::string Folder;
};

int PowerOff(const std::string& folder) {
  TProbeLog log(folder);
  log.Log(std::string(kMsgFoundRestrictedUser) + "probe");
  log.Log(kMsgUserLoggedIn);
  log.Log(std::string(kMsgUserBlocked) + "probe");
  const bool accepted = ShutdownComputer(2, PlatformAccounts(), log);
  std::ofstream(folder + "poweroff_probe.result") << "result=" << (accepted ? 1 : 0) << "\n";
  Wait(120);
  return accepted ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--idle") return Idle(argv[2]);
  if (argc == 2) return PowerOff(argv[1]);
  std::fprintf(stderr, "usage: poweroff_probe DIR\\ | poweroff_probe --idle DIR\\\n");
  return 2;
}
