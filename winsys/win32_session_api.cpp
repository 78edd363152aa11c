#include "common/win32.h"
#include <wtsapi32.h>

#include "winsys/session_api.h"

namespace {
class TWin32Sessions : public TSessionApi {
 public:
  uint32_t ListSessions(std::vector<TSession>& sessions) override {
    sessions.clear();
    WTS_SESSION_INFOA* list = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateSessionsA(WTS_CURRENT_SERVER_HANDLE, 0, 1, &list, &count)) return Failure();
    for (DWORD i = 0; i < count; ++i)
      sessions.push_back(TSession{list[i].SessionId, static_cast<uint32_t>(list[i].State)});
    WTSFreeMemory(list);
    return 0;
  }

  int32_t SessionLock(uint32_t session) override {
    LPSTR buffer = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationA(WTS_CURRENT_SERVER_HANDLE, session,
                                     static_cast<WTS_INFO_CLASS>(kWtsSessionInfoEx), &buffer, &bytes))
      return kLockUnknown;
    int32_t lock = kLockUnknown;
    const auto* info = reinterpret_cast<const TWtsInfoExA*>(buffer);
    if (buffer != nullptr && bytes >= sizeof(TWtsInfoExA) && info->Level == 1) lock = info->Level1.SessionFlags;
    WTSFreeMemory(buffer);
    return lock;
  }

  uint32_t DisconnectSession(uint32_t session) override {
    return WTSDisconnectSession(WTS_CURRENT_SERVER_HANDLE, session, FALSE) ? 0 : Failure();
  }

  std::string SessionUser(uint32_t session) override {
    LPSTR name = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationA(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &name, &bytes)) return {};
    std::string user = name != nullptr ? std::string(name) : std::string();
    WTSFreeMemory(name);
    return user;
  }

  uint32_t ShowMessage(uint32_t session, const std::string& title, const std::string& text,
                       uint32_t style) override {
    std::string caption = title;
    std::string message = text;
    DWORD response = 0;
    if (WTSSendMessageA(WTS_CURRENT_SERVER_HANDLE, session, caption.data(), static_cast<DWORD>(caption.size()),
                        message.data(), static_cast<DWORD>(message.size()), style, 0, &response, FALSE))
      return 0;
    return Failure();
  }

  uint32_t LogoffSession(uint32_t session) override {
    return WTSLogoffSession(WTS_CURRENT_SERVER_HANDLE, session, FALSE) ? 0 : Failure();
  }

 private:
  // The last error of a failed call; never 0, which would read as success.
  static uint32_t Failure() {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_GEN_FAILURE;
  }
};
}  // namespace

TSessionApi& PlatformSessions() {
  static TWin32Sessions sessions;
  return sessions;
}
