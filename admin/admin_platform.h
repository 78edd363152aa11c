#pragma once
// The platform the administration's operations act on: nortavelctl's and the
// parent's window's entries hand it the real one, the tests fakes.

#include "admin/tool_api.h"
#include "common/clock.h"
#include "common/registry_api.h"
#include "diag/log_platform.h"
#include "winsys/account_api.h"
#include "winsys/configuration.h"
#include "winsys/crypto_api.h"
#include "winsys/pipe_api.h"
#include "winsys/process_api.h"

// What an administration acts on.
struct TAdminPlatform {
  TRegistryApi& Registry;
  TAccountApi& Accounts;
  TProcessApi& Processes;
  TLogPlatform& Files;
  TClock& Clock;
  TToolApi& Tool;
  TPipeClientApi& Pipe;  // the service's pipe, for answering a child's request
  TCryptoApi& Crypto;    // for the parent's PIN
  bool Own64 = false;  // this build of the program is the 64-bit one
  // Root and main key of the configuration; the view is chosen per run.
  TConfigLocation Location;
};
