#pragma once
// Messages to a user at the screen, in every session where that user is logged
// on. Run on the tick thread; keeps no state.

#include <cstdint>
#include <string>

#include "common/log_sink.h"
#include "winsys/session_api.h"

struct TMessageOutcome {
  bool Listed = false;  // the sessions could be listed
  int Sessions = 0;     // sessions of the user found
  int Shown = 0;        // of those, the ones the message reached
};

// Shows text under title in each session of user (names compared ignoring
// case) and does not wait for an answer. Sessions that cannot be listed, and a
// session the message cannot reach, are logged at level 1 with the system's
// reason.
TMessageOutcome ShowUserMessage(int32_t debugLevel, TSessionApi& sessions, TLogSink& log, const std::string& user,
                                const std::string& title, const std::string& text);
