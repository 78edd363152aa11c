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

  uint32_t ListSessions(std::vector<uint32_t>& sessions) override {
    sessions.clear();
    if (ListError != 0) return ListError;
    for (const auto& entry : Users) sessions.push_back(entry.first);
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
  std::map<uint32_t, uint32_t> Failures;     // session id -> error of ShowMessage
  uint32_t ListError = 0;                    // of ListSessions
  uint32_t LogoffError = 0;                  // of LogoffSession
  std::vector<TMessage> Shown;
  std::vector<uint32_t> SignedOut;           // sessions signed out, in order
};
