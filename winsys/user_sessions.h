#pragma once
// Who is at the computer: each session with its user, whether it is active (a
// user at the screen, locked or not; a session switched away from is
// disconnected) and, where asked, whether it is locked. Tick thread; keeps no
// state.

#include <cstdint>
#include <string>
#include <vector>

#include "winsys/session_api.h"

struct TUserSession {
  uint32_t Id = 0;
  std::string User;      // empty: nobody is logged on there
  bool Active = false;   // WTSActive
  int32_t Lock = TSessionApi::kLockUnknown;  // of an active session, when asked
};

struct TUserSessions {
  bool Listed = false;  // the sessions could be listed
  std::vector<TUserSession> Sessions;

  // Whether user (letter case ignored) has a session; activeOnly: an active one.
  bool Has(const std::string& user, bool activeOnly) const;
  // Whether user is at an active session that is not locked.
  bool Unlocked(const std::string& user) const;
  // Whether an active session of a user could not say whether it is locked.
  bool LockUnknown() const;
};

// Lists the sessions with their users; withLocks asks each active session with
// a user whether it is locked.
TUserSessions ReadUserSessions(TSessionApi& api, bool withLocks);
