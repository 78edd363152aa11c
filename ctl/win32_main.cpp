// The program entry of nortavelctl: the commands over the real platform and the console.
#include <iostream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/registry_api.h"
#include "ctl/commands.h"
#include "admin/tool_api.h"
#include "diag/log_platform.h"
#include "winsys/account_api.h"
#include "winsys/crypto_api.h"
#include "winsys/pipe_api.h"
#include "winsys/process_api.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  TCtlPlatform platform{PlatformRegistry(), PlatformAccounts(), PlatformProcesses(), PlatformLogFiles(),
                        PlatformClock(),    PlatformTool(),     PlatformPipeClient(), PlatformCrypto(),
                        sizeof(void*) == 8, TConfigLocation{}};
  const int code = RunCtl(args, platform, std::cout, std::cerr);
  std::cout.flush();
  return code;
}
