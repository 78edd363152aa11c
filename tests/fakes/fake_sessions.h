#pragma once
#include <map>
#include <string>
#include <vector>

#include "winsys/session_api.h"

// Sessions the test lays out, and the messages shown in them.
class TFakeSessions : public TSessionApi {
 public:
  struct TMessage {
    uint32_t Session;
    std::string Title;
    std::string Text;
    uint32_t Style;
  };

  uint32_t ListSessions(std::vector<TSession>& sessions) override {
    sessions.clear();
    if (ListError != 0) return ListError;
    for (const auto& entry : Users) {
      const auto state = States.find(entry.first);
      sessions.push_back(TSession{entry.first, state != States.end() ? state->second : kStateActive});
    }
    return 0;
  }
  int32_t SessionLock(uint32_t session) override {
    const auto lock = Locks.find(session);
    return lock != Locks.end() ? lock->second : kUnlocked;
  }
  uint32_t DisconnectSession(uint32_t session) override {
    if (DisconnectError != 0) return DisconnectError;
    Disconnected.push_back(session);
    States[session] = kStateDisconnected;
    return 0;
  }
  std::string SessionUser(uint32_t session) override {
    const auto found = Users.find(session);
    return found != Users.end() ? found->second : std::string();
  }
  uint32_t ShowMessage(uint32_t session, const std::string& title, const std::string& text,
                       uint32_t style) override {
    const auto failure = Failures.find(session);
    if (failure != Failures.end()) return failure->second;
    Shown.push_back(TMessage{session, title, text, style});
    return 0;
  }
  uint32_t LogoffSession(uint32_t session) override {
    if (LogoffError != 0) return LogoffError;
    SignedOut.push_back(session);
    Users.erase(session);
    return 0;
  }

  std::map<uint32_t, std::string> Users;     // session id -> user logged on ("" none)
  std::map<uint32_t, uint32_t> States;       // session id -> state; active where not given
  std::map<uint32_t, int32_t> Locks;         // session id -> SessionLock's answer; unlocked where not given
  uint32_t DisconnectError = 0;              // of DisconnectSession
  std::vector<uint32_t> Disconnected;        // sessions disconnected, in order
  std::map<uint32_t, uint32_t> Failures;     // session id -> error of ShowMessage
  uint32_t ListError = 0;                    // of ListSessions
  uint32_t LogoffError = 0;                  // of LogoffSession
  std::vector<TMessage> Shown;
  std::vector<uint32_t> SignedOut;           // sessions signed out, in order
};
