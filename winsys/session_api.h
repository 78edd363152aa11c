#pragma once
// The Remote Desktop Services calls that reach the users' sessions, one method
// per call; every session of the computer, the console's included. Thread: the
// tick thread only.

#include <cstdint>
#include <string>
#include <vector>

class TSessionApi {
 public:
  // MB_OK | MB_ICONWARNING | MB_TOPMOST: one button, in front of other windows.
  static constexpr uint32_t kWarningStyle = 0x00040030;

  virtual ~TSessionApi() = default;
  // WTSEnumerateSessionsA(WTS_CURRENT_SERVER_HANDLE, 0, 1, ...): the id of every
  // session, the list freed with WTSFreeMemory. 0, or the Windows error code of
  // the failure.
  virtual uint32_t ListSessions(std::vector<uint32_t>& sessions) = 0;
  // WTSQuerySessionInformationA(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName):
  // the name of the user logged on there, empty when none or on failure.
  virtual std::string SessionUser(uint32_t session) = 0;
  // WTSSendMessageA(WTS_CURRENT_SERVER_HANDLE, session, title, its length, text,
  // its length, style, 0, &response, FALSE): shows the message without waiting
  // for an answer. 0, or the Windows error code of the failure.
  virtual uint32_t ShowMessage(uint32_t session, const std::string& title, const std::string& text,
                               uint32_t style) = 0;
  // WTSLogoffSession(WTS_CURRENT_SERVER_HANDLE, session, FALSE): signs the user
  // of the session out without waiting for it. 0, or the Windows error code.
  virtual uint32_t LogoffSession(uint32_t session) = 0;
};

// The Windows implementation; not available natively.
TSessionApi& PlatformSessions();
