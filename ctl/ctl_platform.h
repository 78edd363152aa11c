#pragma once
// The platform one run of nortavelctl acts on: the program entry hands it the
// real one, the tests fakes.

#include "common/clock.h"
#include "common/registry_api.h"
#include "ctl/tool_api.h"
#include "diag/log_platform.h"
#include "winsys/account_api.h"
#include "winsys/configuration.h"
#include "winsys/crypto_api.h"
#include "winsys/pipe_api.h"
#include "winsys/process_api.h"

// What a run of the tool acts on.
struct TCtlPlatform {
  TRegistryApi& Registry;
  TAccountApi& Accounts;
  TProcessApi& Processes;
  TLogPlatform& Files;
  TClock& Clock;
  TToolApi& Tool;
  TPipeClientApi& Pipe;  // the service's pipe, for answering a child's request
  TCryptoApi& Crypto;    // for the parent's PIN
  bool Own64 = false;  // this build of the tool is the 64-bit one
  // Root and main key of the configuration; the view is chosen per run.
  TConfigLocation Location;
};
