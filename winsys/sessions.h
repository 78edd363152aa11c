#pragma once
#include <cstdint>
#include <string>

#include "common/log_sink.h"
#include "engine/engine_state.h"
#include "winsys/process_api.h"

// Appends to SeenAccounts the owner of every running process not met before.
void CollectSeenAccounts(TEngineState& state, TProcessApi& processes, TLogSink& log);

// The bare account name owning one process; false (name empty, failure logged as
// far as the level admits) when it cannot be found.
bool GetProcessAccount(const TEngineState& state, TProcessApi& processes, TLogSink& log,
                       uint32_t processId, std::string& accountName);
