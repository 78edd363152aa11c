// Placeholder until the Windows forwarding class is written.
#include "winsys/account_api.h"

TAccountApi& PlatformAccounts() {
  static TAccountApi api;
  return api;
}
