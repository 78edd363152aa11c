#pragma once
#include "common/log_sink.h"
#include "engine/engine_state.h"
#include "winsys/registry_api.h"

// Replaces DebugLevel, AppPath, RestrictedUsers and UserRules with what the
// registry holds under HKEY_LOCAL_MACHINE\SOFTWARE\Vrem\NortavelFree. Always
// returns true; raises ERegistryException for a value of the wrong type.
//
// After such an error every key is closed and the lists stay as far as they got:
// from Debug, level and folder are unchanged and there are no users; from Path,
// the level is the new one, the folder the old one, and there are no users; from
// Time<n> of user i, RestrictedUsers holds every user and UserRules the rule
// lists of users 0 to i - 1 (a prefix, so positions still match).
// Thread: the caller's, which holds the module's lock.
bool LoadConfiguration(TEngineState& state, TRegistryApi& registry, TLogSink& log);

// Empties RestrictedUsers and UserRules.
void ClearConfiguration(TEngineState& state);
