#pragma once
// Session detection: which accounts have owned a running process since the
// module was created. Runs on the tick thread; holds no state of its own.

#include <cstdint>
#include <string>

#include "common/log_sink.h"
#include "common/string_list.h"
#include "winsys/process_api.h"

// Appends to seenAccounts the owner of every running process not met before
// (bare name, letter case of its first sighting). At most the first 1024 ids the
// system lists are examined; a failed enumeration leaves the list unchanged.
// Logs nothing of its own; the lookups log their failures as debugLevel admits.
// ownersNow, when given, becomes the owners of this listing alone (unchanged
// when the enumeration fails).
void CollectSeenAccounts(TStringList& seenAccounts, int32_t debugLevel, TProcessApi& processes, TLogSink& log,
                         TStringList* ownersNow = nullptr);

// The bare account name owning one process; false (name empty, failure logged as
// far as the level admits) when it cannot be found. Names of 100 characters or
// more do not fit the caller's room and count as a failed lookup.
bool GetProcessAccount(int32_t debugLevel, TProcessApi& processes, TLogSink& log,
                       uint32_t processId, std::string& accountName);
