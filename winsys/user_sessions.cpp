#include "winsys/user_sessions.h"

#include "common/text.h"

bool TUserSessions::Has(const std::string& user, bool activeOnly) const {
  for (const TUserSession& session : Sessions)
    if ((session.Active || !activeOnly) && !session.User.empty() && PlatformSameText(session.User, user)) return true;
  return false;
}

bool TUserSessions::Unlocked(const std::string& user) const {
  for (const TUserSession& session : Sessions)
    if (session.Active && session.Lock == TSessionApi::kUnlocked && !session.User.empty() &&
        PlatformSameText(session.User, user))
      return true;
  return false;
}

bool TUserSessions::LockUnknown() const {
  for (const TUserSession& session : Sessions)
    if (session.Active && !session.User.empty() && session.Lock != TSessionApi::kLocked &&
        session.Lock != TSessionApi::kUnlocked)
      return true;
  return false;
}

TUserSessions ReadUserSessions(TSessionApi& api, bool withLocks) {
  TUserSessions read;
  std::vector<TSessionApi::TSession> listed;
  read.Listed = api.ListSessions(listed) == 0;
  for (const TSessionApi::TSession& session : listed) {
    TUserSession user;
    user.Id = session.Id;
    user.User = api.SessionUser(session.Id);
    user.Active = session.State == TSessionApi::kStateActive;
    if (withLocks && user.Active && !user.User.empty()) user.Lock = api.SessionLock(session.Id);
    read.Sessions.push_back(std::move(user));
  }
  return read;
}
