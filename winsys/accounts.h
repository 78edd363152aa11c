#pragma once
#include <string>

#include "common/log_sink.h"
#include "engine/engine_state.h"
#include "winsys/account_api.h"

// Locks (block) or unlocks the local account's logon hours; the outcome is logged.
void SetAccountLogonHours(const TEngineState& state, TAccountApi& accounts, TLogSink& log,
                          const std::string& user, bool block);

// Enables the shutdown privilege, flushes the log and requests a forced power-off.
// True when the system accepted the request.
bool ShutdownComputer(const TEngineState& state, TAccountApi& accounts, TLogSink& log);
