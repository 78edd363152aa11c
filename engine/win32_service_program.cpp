#include <memory>

#include "common/clock.h"
#include "common/registry_api.h"
#include "common/win32.h"
#include "diag/log_platform.h"
#include "engine/service_program.h"
#include "svcmgr/application.h"
#include "svcmgr/application_error.h"
#include "svcmgr/event_log_api.h"
#include "winsys/account_api.h"
#include "winsys/crypto_api.h"
#include "winsys/pipe_api.h"
#include "winsys/process_api.h"
#include "winsys/session_api.h"

namespace {

std::function<void(TNortavelFree&)> AdjustModule;

void CreateServiceModule(TServiceApplication& application) {
  application.CreateModule(NortavelFree, [] {
    auto module = std::make_unique<TNortavelFree>(TNortavelFreePlatform{
        PlatformClock(), PlatformLogFiles(), PlatformRegistry(), PlatformProcesses(), PlatformAccounts(),
        PlatformSessions(), PlatformServiceRuntimeApi(), PlatformTimerApi(), PlatformPipeServer(), PlatformCrypto()});
    if (AdjustModule) AdjustModule(*module);
    return module;
  });
}

// Start-up failed before the service application existed (no window for the
// message loop): the same report, with a logger of its own.
void ReportStartupError(const Exception& error) {
  TApplicationApi& process = PlatformApplicationApi();
  TEventLogger logger(PlatformEventLog(), FileNameOf(process.ModuleFileName(kModuleFileNameRoom)));
  ReportProgramError(process, logger, false, error.ClassName(), error.Message(),
                     ThrowAddress(dynamic_cast<const void*>(&error)));
}

}  // namespace

int RunNortavelFreeProgram(const std::function<void(TNortavelFree&)>& adjust) {
  AdjustModule = adjust;
  try {
    TApplication forms(PlatformMessageLoopApi());
    TServiceApplication application(
        TServiceApplicationPlatform{PlatformApplicationApi(), PlatformMessageLoopApi(),
                                    PlatformServiceManagerApi(), PlatformEventLog(), PlatformRegistry()},
        forms);
    RunServiceProgram(application, &CreateServiceModule);
  } catch (const Exception& error) {
    try {
      ReportStartupError(error);
    } catch (...) {
    }
  } catch (...) {
    // Nothing is left to report with; the exit code stays 0 all the same.
  }
  return 0;
}
