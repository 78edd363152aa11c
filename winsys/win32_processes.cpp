// Placeholder until the Windows forwarding class is written.
#include "winsys/process_api.h"

TProcessApi& PlatformProcesses() {
  static TProcessApi api;
  return api;
}
