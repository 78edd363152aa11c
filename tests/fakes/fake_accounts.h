#pragma once
// A recording account-and-power double. Every call is recorded as one line:
//   MultiByteToWideChar(0,0,-1,100)                 code page, flags, length, room
//   NetUserSetInfo(null,anna,1020)                  server, user, level
//   GetCurrentProcess()  OpenProcessToken(SELF,0x28)                  -> TOKEN
//   LookupPrivilegeValue(null,SeShutdownPrivilege)
//   AdjustTokenPrivileges(TOKEN,0,1,{19,0},0x2,0,null,null)
//           token, disable all, count, LUID, attributes, length, previous, return length
//   GetLastError()  InitiateShutdownW(null,null,0,0xb,0x80000000)  ExitWindowsEx(0xc,0x80000000)
//   CloseHandle(TOKEN)
//   NetUserGetInfo(null,anna,2)  NetApiBufferFree(BUFFER)
//   NetUserEnum(null,2,0x2,0xffffffff,2)          server, level, filter, preferred length, resume
//   WideCharToMultiByte(0,0,-1,513)               code page, flags, length, room
// The updates themselves are kept whole in Updates. NetUserGetInfo reads them
// back: a user's logon hours are those of the last update for that user (an
// update without hours gives none), every hour permitted when there was none;
// the privilege (level 2) and Microsoft account (level 24) are the Listed
// user's of that name, a standard account of this computer alone when none is.
// Tests may add lines of their own (a log sink writing "log ..." here shows the
// order of messages and calls).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "winsys/account_api.h"

struct TLogonHoursUpdate {
  bool ServerNull = false;
  std::string User;  // the wide name, narrowed
  uint32_t Level = 0;
  uint32_t UnitsPerWeek = 0;
  std::vector<uint8_t> Hours;  // the 21 bytes
  bool ParmErrorNull = false;
};

class TFakeAccounts : public TAccountApi {
 public:
  // Status per user (narrow name); users not listed get NERR_Success.
  std::map<std::string, uint32_t> UserStatus;
  bool OpenTokenFails = false;
  bool LookupPrivilegeFails = false;
  bool AdjustResult = true;
  uint32_t AdjustError = 0;  // the last error AdjustTokenPrivileges leaves
  bool ExitAccepted = true;
  // What InitiateShutdownW answers, call by call; 0 (started) once they are used.
  std::vector<uint32_t> ShutdownResults;
  // NetUserGetInfo's status per user (narrow name), answered with no buffer.
  std::map<std::string, uint32_t> ReadStatus;
  // What NetUserEnum lists, in order, at most EnumPage a call (0: all at once),
  // ERROR_MORE_DATA before the last page. A status in EnumStatus for the resume
  // position asked from is answered instead, with a buffer of no entries. A
  // caller still asking after 100 calls is in a loop: it gets ERROR_INVALID_PARAMETER.
  struct TListedUser {
    std::string Name;
    uint32_t Privilege = 1;  // USER_PRIV_USER
    uint32_t Flags = 0x201;  // UF_SCRIPT | UF_NORMAL_ACCOUNT
    std::string FullName{};
    std::string MicrosoftAccount{};  // empty: none
  };
  std::vector<TListedUser> Listed;
  size_t EnumPage = 0;
  std::map<uint32_t, uint32_t> EnumStatus;
  // ToNarrow fails (ERROR_INSUFFICIENT_BUFFER) for this wide name, narrowed.
  std::string UnconvertibleName;

  std::vector<std::string> Calls;
  std::vector<TLogonHoursUpdate> Updates;

  // Tokens opened and not closed.
  int OpenTokens() const { return OpenCount; }
  // Buffers handed out and not freed; frees of anything else.
  size_t OpenBuffers() const { return Buffers.size(); }
  int BadFrees = 0;

  int32_t ToWide(uint32_t codePage, uint32_t flags, const char* text, int32_t textLength, char16_t* wide,
                 int32_t wideRoom) override;
  uint32_t SetUserInfo(const char16_t* serverName, const char16_t* userName, uint32_t level,
                       const TUserInfo1020* info, uint32_t* parmError) override;
  uint32_t GetUserInfo(const char16_t* serverName, const char16_t* userName, uint32_t level,
                       uintptr_t& buffer) override;
  int32_t ToNarrow(uint32_t codePage, uint32_t flags, const char16_t* wide, int32_t wideLength, char* text,
                   int32_t textRoom) override;
  uint32_t EnumerateUsers(const char16_t* serverName, uint32_t level, uint32_t filter, uintptr_t& buffer,
                          uint32_t preferredMaximumLength, uint32_t& entriesRead, uint32_t& totalEntries,
                          uint32_t* resumeHandle) override;
  uint32_t FreeNetBuffer(uintptr_t buffer) override;
  uintptr_t CurrentProcess() override;
  bool OpenToken(uintptr_t process, uint32_t access, uintptr_t& token) override;
  bool LookupPrivilege(const char* systemName, const char* privilegeName, TPrivilegeId& luid) override;
  bool AdjustPrivileges(uintptr_t token, bool disableAll, const TOnePrivilege* newState,
                        uint32_t previousStateLength, TOnePrivilege* previousState,
                        uint32_t* returnLength) override;
  uint32_t LastError() override;
  uint32_t InitiateShutdown(const char16_t* machine, const char16_t* message, uint32_t graceSeconds, uint32_t flags,
                            uint32_t reason) override;
  bool ExitSystem(uint32_t flags, uint32_t reason) override;
  void CloseObject(uintptr_t handle) override;

  static constexpr uintptr_t kSelf = ~uintptr_t{0};  // the pseudo handle of the own process
  static constexpr uintptr_t kToken = 0x7700;
  static constexpr uint32_t kShutdownLuid = 19;

 private:
  // One answer of NetUserGetInfo (Info) or NetUserEnum (Entries).
  struct TUserBuffer {
    TUserInfo2 Info{};
    TUserInfo24 Identity{};
    std::vector<uint8_t> Hours;
    std::vector<TUserInfo2> Entries;
    std::vector<std::u16string> Names;  // names, then full names, then the Microsoft account
  };
  const TListedUser* ListedNamed(const std::string& name) const;
  uintptr_t HandOut(std::unique_ptr<TUserBuffer> answer, const void* address);
  std::string HandleName(uintptr_t handle) const;
  std::map<uintptr_t, std::unique_ptr<TUserBuffer>> Buffers;
  int OpenCount = 0;
  int EnumCalls = 0;
  uint32_t Error = 0;
};
