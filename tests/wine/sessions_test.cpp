// Session detection against the real process and token calls. Under Wine every
// process of the prefix belongs to the Unix user, whose account name is the Unix
// user name.
#include <gtest/gtest.h>

#include <process.h>

#include <cstdlib>
#include <set>

#include "common/string_list.h"
#include "diag/messages.h"
#include "engine/engine_state.h"
#include "tests/fakes/recording_log.h"
#include "winsys/sessions.h"

// Declared here rather than through <windows.h>, which only the forwarding
// classes include.
extern "C" __declspec(dllimport) int __stdcall GetUserNameA(char* buffer, unsigned long* size);

namespace {

std::string UserName() {
  char name[257] = "";
  unsigned long size = sizeof name;
  return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(WineSessionTest, TestProcessIsOwnedByTheAccountWineRunsAs) {
  const std::string user = UserName();
  ASSERT_FALSE(user.empty());
  TEngineState state;
  state.DebugLevel = 4;
  TRecordingLog log;
  std::string account = "stale";
  ASSERT_TRUE(GetProcessAccount(state.DebugLevel, PlatformProcesses(), log, static_cast<uint32_t>(_getpid()), account))
      << Joined(log.Messages);
  EXPECT_TRUE(PlatformSameText(account, user)) << account << " / " << user;
  EXPECT_EQ(account.find('\\'), std::string::npos) << "the bare name, without the domain";
  // Wine hands the Unix environment on: its user is the account's owner.
  if (const char* unixUser = std::getenv("USER")) {
    EXPECT_TRUE(PlatformSameText(account, unixUser)) << unixUser;
  }
  EXPECT_TRUE(log.Messages.empty());
}

TEST(WineSessionTest, CollectingTwiceListsTheOwnerOnce) {
  const std::string user = UserName();
  TEngineState state;
  state.DebugLevel = 4;
  TRecordingLog log;
  CollectSeenAccounts(state.SeenAccounts, state.DebugLevel, PlatformProcesses(), log);
  ASSERT_GE(state.SeenAccounts.IndexOf(user), 0) << Joined(state.SeenAccounts.Items());
  const std::vector<std::string> first = state.SeenAccounts.Items();
  CollectSeenAccounts(state.SeenAccounts, state.DebugLevel, PlatformProcesses(), log);
  EXPECT_EQ(state.SeenAccounts.Items(), first);
  for (size_t i = 0; i < first.size(); ++i)
    for (size_t j = i + 1; j < first.size(); ++j) EXPECT_FALSE(PlatformSameText(first[i], first[j]));

  // Processes the test may not examine (64-bit ones, in a 64-bit prefix) are
  // reported only with the designed texts.
  const std::set<std::string> designed{kMsgOpenProcessFailed, kMsgProcessModulesFailed, kMsgOpenTokenFailed,
                                       kMsgTokenUserFailed, kMsgAccountNameFailed};
  for (const std::string& message : log.Messages) EXPECT_EQ(designed.count(message), 1u) << message;
}

TEST(WineSessionTest, ProcessThatDoesNotExistFailsAtTheOpen) {
  const uint32_t gone = 0xFFFFFFF0u;  // ids are multiples of 4; no system hands this one out
  for (int level : {4, 3}) {
    TEngineState state;
    state.DebugLevel = level;
    TRecordingLog log;
    std::string account = "stale";
    EXPECT_FALSE(GetProcessAccount(state.DebugLevel, PlatformProcesses(), log, gone, account));
    EXPECT_EQ(account, "");
    EXPECT_EQ(log.Messages, level == 4 ? std::vector<std::string>{kMsgOpenProcessFailed} : std::vector<std::string>{});
  }
}

TEST(WineSessionTest, SizeProbeReportsInsufficientBufferAndClosingKeepsTheError) {
  TProcessApi& api = PlatformProcesses();
  const TKernelHandle process(api, api.OpenProcessById(0x0410, false, static_cast<uint32_t>(_getpid())));
  ASSERT_TRUE(process);
  uintptr_t tokenHandle = 0;
  ASSERT_TRUE(api.OpenToken(process.Get(), 0x0008, tokenHandle));
  TKernelHandle token(api, tokenHandle);
  uint32_t length = 0;
  EXPECT_FALSE(api.QueryToken(token.Get(), 1, nullptr, 0, length));
  EXPECT_EQ(api.LastError(), 122u);
  EXPECT_GE(length, 2 * sizeof(void*));
  token.Reset();  // a successful close
  EXPECT_EQ(api.LastError(), 122u);
}

}  // namespace
