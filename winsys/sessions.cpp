#include "winsys/sessions.h"

void CollectSeenAccounts(TEngineState&, TProcessApi&, TLogSink&) {}

bool GetProcessAccount(const TEngineState&, TProcessApi&, TLogSink&, uint32_t, std::string& accountName) {
  accountName.clear();
  return false;
}
