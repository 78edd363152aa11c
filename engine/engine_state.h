#pragma once
// The state of the restriction engine. The module owns it for the life of the
// process; the subsystems are handed it for the duration of one operation.
// Thread: touched by ticks (main thread) and by the service handlers (service
// thread), always under the module's lock once the service runs.

#include <cstdint>
#include <string>
#include <vector>

#include "common/string_list.h"

struct TEngineState {
  int32_t DebugLevel = 2;                // log level; see LevelAdmits
  std::string AppPath;                   // log folder: empty or ending in a backslash
  TStringList LogLines;                  // stamped lines not yet written, oldest first
  TStringList SeenAccounts;              // owners of processes since the module was created
  TStringList RestrictedUsers;           // configured user names, in registry order
  std::vector<TStringList> UserRules;    // per restricted user, its day rules (Time1 first)
  int32_t TickCount = 0;                 // ticks since the last reload
};
