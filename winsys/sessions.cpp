#include "winsys/sessions.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/debug_level.h"
#include "common/system_error.h"
#include "diag/messages.h"

namespace {

constexpr uint32_t kMaxProcessIds = 1024;
constexpr uint32_t kProcessQueryAndRead = 0x0410;  // PROCESS_QUERY_INFORMATION | PROCESS_VM_READ
constexpr uint32_t kTokenQuery = 0x0008;           // TOKEN_QUERY
constexpr uint32_t kTokenUser = 1;                 // TokenUser
constexpr uint32_t kZeroInit = 0x0040;             // GMEM_ZEROINIT (fixed, zero-filled)
constexpr uint32_t kLookupRoom = 128;   // characters, terminator included, name and domain alike
constexpr size_t kAccountNameRoom = 100;  // what the caller's name holds, terminator included

bool Failed(int32_t debugLevel, TLogSink& log, int32_t level, const char* message) {
  if (LevelAdmits(debugLevel, level)) log.Log(message);
  return false;
}

// The owner of the open process; false (name empty, failure logged as far as
// the level admits) when it cannot be found.
bool AccountOf(int32_t debugLevel, TProcessApi& processes, TLogSink& log, uintptr_t process, std::string& accountName) {
  // Only a test that the process is readable with this access; the module itself
  // is not used.
  uintptr_t firstModule = 0;
  uint32_t moduleBytesNeeded = 0;
  if (!processes.EnumModules(process, &firstModule, sizeof firstModule, moduleBytesNeeded))
    return Failed(debugLevel, log, 4, kMsgProcessModulesFailed);

  uintptr_t tokenHandle = 0;
  if (!processes.OpenToken(process, kTokenQuery, tokenHandle)) return Failed(debugLevel, log, 4, kMsgOpenTokenFailed);
  const TKernelHandle token(processes, tokenHandle);

  uint32_t length = 0;
  if (!processes.QueryToken(token.Get(), kTokenUser, nullptr, 0, length) &&
      processes.LastError() != kErrorInsufficientBuffer)
    return false;

  const TGlobalBlock block(processes, processes.AllocateBlock(kZeroInit, length));
  void* const tokenUser = reinterpret_cast<void*>(block.Get());
  uint32_t written = 0;
  // The record starts with the SID's address: a block too short to hold it is as
  // unusable as one that could not be read.
  if (!block || !processes.QueryToken(token.Get(), kTokenUser, tokenUser, length, written) ||
      length < sizeof(void*))
    return Failed(debugLevel, log, 4, kMsgTokenUserFailed);
  const void* sid = nullptr;
  std::memcpy(&sid, tokenUser, sizeof sid);

  char name[kLookupRoom] = {};
  char domain[kLookupRoom] = {};
  uint32_t nameLength = kLookupRoom;
  uint32_t domainLength = kLookupRoom;
  uint32_t sidType = 0;
  if (!processes.LookupAccount(nullptr, sid, name, nameLength, domain, domainLength, sidType))
    return Failed(debugLevel, log, 2, kMsgAccountNameFailed);
  // A name the caller has no room for is not cut: a cut name could match another
  // account, so it counts as a failed lookup. strnlen also stops an unterminated
  // buffer from being read past.
  const size_t nameChars = strnlen(name, sizeof name);
  if (nameChars >= kAccountNameRoom) return Failed(debugLevel, log, 2, kMsgAccountNameFailed);

  accountName.assign(name, nameChars);
  return true;
}

// One process of the listing: the owner, examined unless the process is known
// to be slow, and timed when slow is given.
bool OwnerOf(int32_t debugLevel, TProcessApi& processes, TLogSink& log, uint32_t id, TSlowProcesses* slow,
             std::string& account) {
  if (slow == nullptr) return GetProcessAccount(debugLevel, processes, log, id, account);
  account.clear();
  const TKernelHandle process(processes, processes.OpenProcessById(kProcessQueryAndRead, false, id));
  if (!process) return Failed(debugLevel, log, 4, kMsgOpenProcessFailed);
  // The creation time tells a slow process from a later one with its id; a
  // call per process and tick spared where no slow one has the id.
  uint64_t created = 0;
  const auto known = slow->find(id);
  if (known != slow->end()) {
    processes.CreationTime(process.Get(), created);
    if (known->second.Created == created) {
      account = known->second.Owner;
      return !account.empty();
    }
  }
  const uint64_t start = processes.ElapsedMs();
  const bool found = AccountOf(debugLevel, processes, log, process.Get(), account);
  const uint64_t took = processes.ElapsedMs() - start;
  if (took <= kSlowExaminationMs) {
    if (known != slow->end()) slow->erase(known);  // the id is another process's now
    return found;
  }
  if (known == slow->end()) processes.CreationTime(process.Get(), created);
  (*slow)[id] = TSlowProcess{created, account};
  if (LevelAdmits(debugLevel, 1))
    log.Log(kMsgSlowProcess + std::to_string(took) + kMsgSlowProcessId + std::to_string(id) + " " +
            processes.ImagePath(process.Get()));
  return found;
}

}  // namespace

void CollectSeenAccounts(TStringList& seenAccounts, int32_t debugLevel, TProcessApi& processes, TLogSink& log,
                         TStringList* ownersNow, TSlowProcesses* slow) {
  std::array<uint32_t, kMaxProcessIds> ids{};
  uint32_t bytesReturned = 0;
  if (!processes.EnumProcessIds(ids.data(), sizeof ids, bytesReturned)) return;
  // A byte count beyond the buffer would have us read past it: never more than
  // the 1024 ids there is room for.
  const uint32_t count = std::min(bytesReturned / 4, kMaxProcessIds);
  if (ownersNow != nullptr) ownersNow->Clear();

  std::string account;
  for (uint32_t i = 0; i < count; ++i) {
    if (ids[i] == 0) continue;  // the idle process has no token
    if (!OwnerOf(debugLevel, processes, log, ids[i], slow, account)) continue;
    if (seenAccounts.IndexOf(account) < 0) seenAccounts.Add(account);
    if (ownersNow != nullptr && ownersNow->IndexOf(account) < 0) ownersNow->Add(account);
  }
  if (slow == nullptr) return;
  for (auto known = slow->begin(); known != slow->end();)
    known = std::find(ids.begin(), ids.begin() + count, known->first) == ids.begin() + count ? slow->erase(known)
                                                                                              : std::next(known);
}

bool GetProcessAccount(int32_t debugLevel, TProcessApi& processes, TLogSink& log, uint32_t processId,
                       std::string& accountName) {
  accountName.clear();
  const TKernelHandle process(processes, processes.OpenProcessById(kProcessQueryAndRead, false, processId));
  if (!process) return Failed(debugLevel, log, 4, kMsgOpenProcessFailed);
  return AccountOf(debugLevel, processes, log, process.Get(), accountName);
}
