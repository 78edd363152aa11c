#pragma once
// Session detection: which accounts have owned a running process since the
// module was created. Runs on the tick thread; holds no state of its own.

#include <cstdint>
#include <map>
#include <string>

#include "common/log_sink.h"
#include "common/string_list.h"
#include "winsys/process_api.h"

// A process whose examination took longer than this is not examined again
// while it runs: a process can make the walk of its own module list slow (on
// Wine, endless), and the tick is the service's heartbeat.
inline constexpr uint64_t kSlowExaminationMs = 100;

// The processes found slow to examine, by id: when each was created (an id is
// reused by later processes) and the owner that examination found (empty: none).
struct TSlowProcess {
  uint64_t Created = 0;
  std::string Owner;
};
using TSlowProcesses = std::map<uint32_t, TSlowProcess>;

// Appends to seenAccounts the owner of every running process not met before
// (bare name, letter case of its first sighting). At most the first 1024 ids the
// system lists are examined; a failed enumeration leaves the list unchanged.
// Logs nothing of its own; the lookups log their failures as debugLevel admits.
// ownersNow, when given, becomes the owners of this listing alone (unchanged
// when the enumeration fails). slow, when given, times each examination: a
// process slower than kSlowExaminationMs is kept there (one level-1 line with
// its id and program) and counts with the owner found then, unexamined, for as
// long as it runs; processes no longer listed leave it.
void CollectSeenAccounts(TStringList& seenAccounts, int32_t debugLevel, TProcessApi& processes, TLogSink& log,
                         TStringList* ownersNow = nullptr, TSlowProcesses* slow = nullptr);

// The bare account name owning one process; false (name empty, failure logged as
// far as the level admits) when it cannot be found. Names of 100 characters or
// more do not fit the caller's room and count as a failed lookup.
bool GetProcessAccount(int32_t debugLevel, TProcessApi& processes, TLogSink& log,
                       uint32_t processId, std::string& accountName);
