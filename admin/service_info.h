#pragma once
// The installed service as the administration sees it: its registration, its
// state, the bitness of its executable and so the registry view it reads; and
// the request that makes it reload the configuration now. Thread: the caller's.

#include <cstdint>
#include <string>
#include <vector>

#include "common/protocol.h"
#include "admin/tool_api.h"
#include "winsys/configuration.h"

// IMAGE_FILE_HEADER.Machine values.
inline constexpr uint16_t kMachineI386 = 0x14c;
inline constexpr uint16_t kMachineAmd64 = 0x8664;

struct TServiceInfo {
  bool Installed = false;
  uint32_t Error = 0;      // why the service could not be queried; 0 when it could
  uint32_t State = 0;      // SERVICE_STOPPED 1 .. SERVICE_PAUSED 7; 0 when unknown
  TServiceConfig Config;   // when Installed
  std::string Executable;  // the path without quotes and arguments
  uint16_t Machine = 0;    // of Executable; 0 when it cannot be read
  bool RecoveryKnown = false;  // the failure actions below could be read
  uint32_t ResetPeriod = 0;    // seconds after which failures are counted afresh
  std::vector<TServiceAction> Recovery;
};

// Asks the control manager about the service and reads its executable's header.
// Never raises: what cannot be read stays at its default, Error says why.
TServiceInfo QueryService(TToolApi& tool);

// The Machine field of a PE image's file header, given the file's first bytes;
// 0 when they hold no PE image.
uint16_t ImageMachine(const std::string& head);

// The executable of a registered command line: the quoted part when it starts
// with a quote, else up to the first ".exe" that ends a word, else all of it.
std::string ExecutableOf(const std::string& binaryPath);

// The view a 64-bit (or 32-bit) image reads: View64 or View32.
TRegistryView ViewOfMachine(uint16_t machine);

// What became of a request to reload. A request not taken costs nothing else:
// the service reads the change within two minutes anyway, or when it starts.
struct TReloadAnswer {
  enum TKind {
    Taken,         // the running service reloads at its next tick
    NotInstalled,  // it reads the change when it is installed and starts
    NotRunning,    // it reads the change when it starts
    Unreachable,   // the control manager or the service could not be opened; Error says why
    Refused,       // the service did not take the control; Error says why, 0 when unanswered
  };
  TKind Kind = Taken;
  uint32_t Error = 0;
};

// Sends kControlReloadConfiguration when the service runs.
TReloadAnswer AskToReload(TToolApi& tool);

// The service's state in words: "running", "stopped", ...
std::string ServiceStateName(uint32_t state);
// What to say of configured users whose accounts are locked while no service runs
// to give their hours back (users, in order); empty when the service runs or
// nobody is locked.
std::string LockedWithoutServiceText(const TServiceInfo& service, const std::vector<std::string>& users);
