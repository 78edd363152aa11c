#include "winsys/configuration.h"

bool LoadConfiguration(TEngineState& state, TRegistryApi&, TLogSink&) {
  ClearConfiguration(state);
  return true;
}

void ClearConfiguration(TEngineState& state) {
  state.RestrictedUsers.Clear();
  state.UserRules.clear();
}
