#include "winsys/user_messages.h"

#include <vector>

#include "common/debug_level.h"
#include "common/system_error.h"
#include "common/text.h"
#include "diag/messages.h"

TMessageOutcome ShowUserMessage(int32_t debugLevel, TSessionApi& sessions, TLogSink& log, const std::string& user,
                                const std::string& title, const std::string& text) {
  TMessageOutcome outcome;
  std::vector<TSessionApi::TSession> listed;
  const uint32_t listError = sessions.ListSessions(listed);
  if (listError != 0) {
    if (LevelAdmits(debugLevel, 1)) log.Log(kMsgWarningNotSent + user + ": " + SystemErrorText(listError));
    return outcome;
  }
  outcome.Listed = true;
  for (const TSessionApi::TSession& session : listed) {
    const uint32_t id = session.Id;
    const std::string owner = sessions.SessionUser(id);
    if (owner.empty() || !PlatformSameText(owner, user)) continue;
    ++outcome.Sessions;
    const uint32_t error = sessions.ShowMessage(id, title, text, TSessionApi::kWarningStyle);
    if (error == 0) {
      ++outcome.Shown;
    } else if (LevelAdmits(debugLevel, 1)) {
      log.Log(kMsgWarningNotSent + user + ": " + SystemErrorText(error));
    }
  }
  return outcome;
}
