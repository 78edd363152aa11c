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

  // WTS_CONNECTSTATE_CLASS: a user at the screen (locked or not), and one
  // switched away from (after "Switch user") or cut off.
  static constexpr uint32_t kStateActive = 0;        // WTSActive
  static constexpr uint32_t kStateDisconnected = 4;  // WTSDisconnected
  // WTSINFOEX level 1's SessionFlags (the values Windows 8 and later give;
  // Windows 7 gives them swapped, and is not supported).
  static constexpr int32_t kLocked = 0;        // WTS_SESSIONSTATE_LOCK
  static constexpr int32_t kUnlocked = 1;      // WTS_SESSIONSTATE_UNLOCK
  static constexpr int32_t kLockUnknown = -1;  // WTS_SESSIONSTATE_UNKNOWN, or the call failed

  struct TSession {
    uint32_t Id = 0;
    uint32_t State = 0;  // WTS_CONNECTSTATE_CLASS
  };

  virtual ~TSessionApi() = default;
  // WTSEnumerateSessionsA(WTS_CURRENT_SERVER_HANDLE, 0, 1, ...): every session
  // with its state, the list freed with WTSFreeMemory. 0, or the Windows error
  // code of the failure.
  virtual uint32_t ListSessions(std::vector<TSession>& sessions) = 0;
  // WTSQuerySessionInformationA(WTS_CURRENT_SERVER_HANDLE, session,
  // WTSSessionInfoEx): the SessionFlags of its WTSINFOEXA at level 1, freed with
  // WTSFreeMemory; kLockUnknown when the call fails or answers another level.
  virtual int32_t SessionLock(uint32_t session) = 0;
  // WTSDisconnectSession(WTS_CURRENT_SERVER_HANDLE, session, FALSE): Windows
  // shows the sign-in screen, the session's programs stay open. 0, or the
  // Windows error code.
  virtual uint32_t DisconnectSession(uint32_t session) = 0;
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
