#pragma once
// Every fake the module needs, bundled, and a module built on them.

#include "engine/Unit1.h"
#include "tests/fakes/fake_accounts.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_crypto.h"
#include "tests/fakes/fake_log_platform.h"
#include "tests/fakes/fake_pipe.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_sessions.h"
#include "tests/fakes/fake_service_runtime.h"
#include "tests/fakes/fake_timer_api.h"

struct TFakePlatform {
  TFakeClock Clock;
  TFakeLogPlatform LogFiles;
  TFakeRegistry Registry;
  TFakeProcesses Processes;
  TFakeAccounts Accounts;
  TFakeSessions Sessions;
  TFakeServiceRuntime ServiceRuntime;
  TFakeTimerApi Timers;
  TFakePipeServer Pipe;
  TFakeCrypto Crypto;

  TFakePlatform() { Processes.Clock = &Clock; }

  TNortavelFreePlatform View() {
    return TNortavelFreePlatform{Clock,    LogFiles,       Registry, Processes, Accounts,
                                 Sessions, ServiceRuntime, Timers,   Pipe,      Crypto};
  }
};
