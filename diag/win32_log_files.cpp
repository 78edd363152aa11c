// Placeholder until the Windows forwarding class is written.
#include "diag/log_platform.h"

TLogPlatform& PlatformLogFiles() {
  static TLogPlatform api;
  return api;
}
