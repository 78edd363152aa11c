// Placeholder until the Windows forwarding class is written.
#include "svcmgr/service_api.h"

TServiceRuntimeApi& PlatformServiceRuntimeApi() {
  static TServiceRuntimeApi api;
  return api;
}
