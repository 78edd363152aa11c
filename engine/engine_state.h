#pragma once
// The state of the restriction engine. The module owns it for the life of the
// process; the subsystems are handed the parts they need for one operation.
// Thread: touched by ticks (main thread) and by the service handlers (service
// thread), always under the module's lock once the service runs.

#include <cstdint>

#include "common/string_list.h"
#include "winsys/configuration.h"

// The configuration's fields (DebugLevel, AppPath, RestrictedUsers, UserRules)
// and what the ticks gather. The log's lines belong to the diagnostic log.
struct TEngineState : TConfiguration {
  TStringList SeenAccounts;  // owners of processes since the module was created
  int32_t TickCount = 0;     // ticks since the last reload
};
