// Placeholder until the Windows forwarding class is written.
#include "winsys/registry_api.h"

TRegistryApi& PlatformRegistry() {
  static TRegistryApi api;
  return api;
}
