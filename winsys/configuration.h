#pragma once
#include "common/log_sink.h"
#include "engine/engine_state.h"
#include "winsys/registry_api.h"

// Replaces DebugLevel, AppPath, RestrictedUsers and UserRules with what the
// registry holds under HKEY_LOCAL_MACHINE\SOFTWARE\Vrem\NortavelFree. Always
// returns true; raises ERegistryException for a value of the wrong type.
bool LoadConfiguration(TEngineState& state, TRegistryApi& registry, TLogSink& log);

// Empties RestrictedUsers and UserRules.
void ClearConfiguration(TEngineState& state);
