// Lock-out against our netapi32 double (enabled for this executable by the Wine
// session), and the privilege half of the power-off against the real token calls.
// The power-off request itself ends every process of the prefix, so it is proven
// end to end in a prefix of its own (tests/e2e/scenarios/poweroff.sh).
#include "common/win32.h"

#include <gtest/gtest.h>

#include <process.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "diag/messages.h"
#include "engine/engine_state.h"
#include "tests/fakes/recording_log.h"
#include "tests/wine/double_log.h"
#include "winsys/accounts.h"

namespace {

class WineAccountTest : public ::testing::Test {
 protected:
  std::vector<std::string> RecordedCalls() const { return Calls.Lines(); }

  TDoubleLog Calls{"NF_NETAPI32_LOG", "netapi32_calls"};
  TEngineState State;
  TRecordingLog Log;
};

TEST_F(WineAccountTest, LockAndUnlockReachNetUserSetInfoWithTheDesignedRecord) {
  SetAccountLogonHours(State.DebugLevel, PlatformAccounts(), Log, "nf_child", true);
  SetAccountLogonHours(State.DebugLevel, PlatformAccounts(), Log, "nf_child", false);
  const std::string zeros(42, '0');
  const std::string ones(42, 'f');
  EXPECT_EQ(RecordedCalls(),
            (std::vector<std::string>{
                "server=(null) user=nf_child level=1020 units=168 hours=" + zeros + " parm_err=(null)",
                "server=(null) user=nf_child level=1020 units=168 hours=" + ones + " parm_err=(null)"}));
  EXPECT_EQ(Log.Messages, (std::vector<std::string>{"User account successfully blocked: nf_child",
                                                    "User account successfully unblocked: nf_child"}));
}

TEST_F(WineAccountTest, MissingAccountIsLoggedAsAFailedUpdate) {
  SetAccountLogonHours(State.DebugLevel, PlatformAccounts(), Log, "nouser_anna", true);
  EXPECT_EQ(RecordedCalls().size(), 1u);
  EXPECT_EQ(Log.Messages, std::vector<std::string>{"ERROR: Not possible to set user settings nouser_anna"});
}

TEST_F(WineAccountTest, NameTooLongForNinetyNineWideCharactersNeverReachesTheSystem) {
  SetAccountLogonHours(State.DebugLevel, PlatformAccounts(), Log, std::string(100, 'a'), true);
  EXPECT_TRUE(RecordedCalls().empty());
  EXPECT_EQ(Log.Messages, std::vector<std::string>{kMsgSetUserFailed + std::string(100, 'a')});
  Log.Messages.clear();
  SetAccountLogonHours(State.DebugLevel, PlatformAccounts(), Log, std::string(99, 'a'), true);
  ASSERT_EQ(RecordedCalls().size(), 1u);
  EXPECT_NE(RecordedCalls()[0].find("user=" + std::string(99, 'a') + " "), std::string::npos);
}

// The double answers level 2 for the local computer only, with the hours it
// last recorded for the user: a wrong level, server or layout reads wrong here.
TEST_F(WineAccountTest, ALockIsReadBackThroughNetUserGetInfo) {
  const auto flags = [](const TAccountInfo& info) {
    return std::vector<bool>{info.Readable, info.Exists, info.Locked};
  };
  EXPECT_EQ(flags(ReadAccount(PlatformAccounts(), "nf_child")), (std::vector<bool>{true, true, false}));
  SetAccountLogonHours(State.DebugLevel, PlatformAccounts(), Log, "nf_child", true);
  const TAccountInfo locked = ReadAccount(PlatformAccounts(), "nf_child");
  EXPECT_EQ(flags(locked), (std::vector<bool>{true, true, true}));
  EXPECT_EQ(locked.Status, 0u);
  SetAccountLogonHours(State.DebugLevel, PlatformAccounts(), Log, "nf_child", false);
  EXPECT_EQ(flags(ReadAccount(PlatformAccounts(), "nf_child")), (std::vector<bool>{true, true, false}));

  const TAccountInfo missing = ReadAccount(PlatformAccounts(), "nouser_anna");
  EXPECT_EQ(flags(missing), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(missing.Status, 2221u);  // NERR_UserNotFound
}

// The double lists two accounts a call, so the resume handle must travel back;
// it refuses another server, level or filter, and misplaced fields read wrong.
// It links nf_child alone to a Microsoft account, at level 24.
TEST_F(WineAccountTest, TheAccountsAreListedPageByPageThroughNetUserEnum) {
  const TLocalAccounts read = ReadLocalAccounts(PlatformAccounts());
  EXPECT_EQ(read.Status, 0u);
  char wineUser[257] = {};
  DWORD size = sizeof wineUser;
  ASSERT_TRUE(GetUserNameA(wineUser, &size));
  std::vector<std::string> listed;
  for (const TLocalAccount& account : read.Accounts)
    listed.push_back(account.Name + " " + std::to_string(account.Privilege) + (account.Disabled ? " disabled" : "") +
                     " [" + account.FullName + "] [" + account.MicrosoftAccount + "]");
  EXPECT_EQ(listed, (std::vector<std::string>{"Administrator 2 disabled [] []", "Guest 0 disabled [] []",
                                              std::string(wineUser) + " 2 [] []",
                                              "nf_child 1 [Nf Child] [nf.child@example.com]"}));
  EXPECT_EQ(RecordedCalls(),
            (std::vector<std::string>{"enum server=(null) level=2 filter=2 prefmaxlen=4294967295 resume=0",
                                      "enum server=(null) level=2 filter=2 prefmaxlen=4294967295 resume=2"}));
}

TEST_F(WineAccountTest, ShutdownPrivilegeCanBeEnabledInTheOwnToken) {
  TAccountApi& api = PlatformAccounts();
  uintptr_t tokenHandle = 0;
  ASSERT_TRUE(api.OpenToken(api.CurrentProcess(), 0x0028, tokenHandle));
  const TKernelHandle token(api, tokenHandle);
  TOnePrivilege privilege{1, {0, 0}, 2};
  ASSERT_TRUE(api.LookupPrivilege(nullptr, "SeShutdownPrivilege", privilege.Luid));
  EXPECT_EQ(privilege.Luid.LowPart, 19u);  // SE_SHUTDOWN_PRIVILEGE
  EXPECT_EQ(privilege.Luid.HighPart, 0);
  EXPECT_TRUE(api.AdjustPrivileges(token.Get(), false, &privilege, 0, nullptr, nullptr));
  EXPECT_EQ(api.LastError(), 0u);

  // A privilege the token does not hold: the call succeeds, the error tells.
  TOnePrivilege unknown{1, {0x7777, 0}, 2};
  api.AdjustPrivileges(token.Get(), false, &unknown, 0, nullptr, nullptr);
  EXPECT_NE(api.LastError(), 0u);
}

}  // namespace
