#include <gtest/gtest.h>

#include "common/system_error.h"
#include "diag/messages.h"
#include "engine/engine_state.h"
#include "tests/fakes/fake_accounts.h"
#include "tests/fakes/recording_log.h"
#include "winsys/accounts.h"

namespace {

using Calls = std::vector<std::string>;

// Writes messages and flushes into the double's call record, so one list shows
// the order of messages, flushes and system calls.
class TJournalLog : public TLogSink {
 public:
  explicit TJournalLog(std::vector<std::string>& journal) : Journal(journal) {}
  void Log(const std::string& message) override { Journal.push_back("log " + message); }
  void FlushLog() override { Journal.push_back("flush"); }

 private:
  std::vector<std::string>& Journal;
};

class AccountTest : public ::testing::Test {
 protected:
  void SetHours(const std::string& user, bool block) {
    SetAccountLogonHours(State.DebugLevel, Accounts, Log, user, block);
  }
  TEngineState State;
  TFakeAccounts Accounts;
  TJournalLog Log{Accounts.Calls};
};

TEST_F(AccountTest, LockWritesTwentyOneZeroBytesAtLevel1020) {
  SetHours("anna", true);
  EXPECT_EQ(Accounts.Calls, (Calls{"MultiByteToWideChar(0,0,-1,100)", "NetUserSetInfo(null,anna,1020)",
                                   "log User account successfully blocked: anna"}));
  ASSERT_EQ(Accounts.Updates.size(), 1u);
  const TLogonHoursUpdate& update = Accounts.Updates[0];
  EXPECT_TRUE(update.ServerNull);
  EXPECT_EQ(update.User, "anna");
  EXPECT_EQ(update.Level, 1020u);
  EXPECT_EQ(update.UnitsPerWeek, 168u);
  EXPECT_EQ(update.Hours, std::vector<uint8_t>(21, 0x00));
  EXPECT_TRUE(update.ParmErrorNull);
}

TEST_F(AccountTest, UnlockPermitsEveryHour) {
  SetHours("Anna Smith", false);
  ASSERT_EQ(Accounts.Updates.size(), 1u);
  EXPECT_EQ(Accounts.Updates[0].User, "Anna Smith");
  EXPECT_EQ(Accounts.Updates[0].UnitsPerWeek, 168u);
  EXPECT_EQ(Accounts.Updates[0].Hours, std::vector<uint8_t>(21, 0xFF));
  EXPECT_EQ(Accounts.Calls.back(), "log User account successfully unblocked: Anna Smith");
}

struct OutcomeCase {
  int Level;
  bool Block;
  uint32_t Status;
  const char* Expected;  // nullptr: nothing logged
};

class LogonHoursOutcomeTest : public AccountTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(LogonHoursOutcomeTest, OutcomeIsLoggedFromLevelTwo) {
  const OutcomeCase c = GetParam();
  State.DebugLevel = c.Level;
  Accounts.UserStatus["bert"] = c.Status;
  SetHours("bert", c.Block);
  EXPECT_EQ(Accounts.Updates.size(), 1u);  // written whatever the level
  Calls logged;
  for (const std::string& call : Accounts.Calls)
    if (call.rfind("log ", 0) == 0) logged.push_back(call.substr(4));
  EXPECT_EQ(logged, c.Expected != nullptr ? Calls{c.Expected} : Calls{});
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LogonHoursOutcomeTest,
    ::testing::Values(OutcomeCase{2, true, 0, "User account successfully blocked: bert"},
                      OutcomeCase{1, true, 0, nullptr}, OutcomeCase{0, false, 0, nullptr},
                      OutcomeCase{-2, false, 0, "User account successfully unblocked: bert"},
                      OutcomeCase{2, true, 2221, "ERROR: Not possible to set user settings bert"},
                      OutcomeCase{3, false, 5, "ERROR: Not possible to set user settings bert"},
                      OutcomeCase{1, true, 2221, nullptr}));

TEST_F(AccountTest, NameOf99CharactersIsUsedWhole) {
  const std::string name(99, 'x');
  SetHours(name, true);
  ASSERT_EQ(Accounts.Updates.size(), 1u);
  EXPECT_EQ(Accounts.Updates[0].User, name);
}

TEST_F(AccountTest, NamesThatCannotBeConvertedWholeAreFailedUpdates) {
  const std::string tooLong(100, 'x');
  const std::string withZero("anna\0bert", 9);
  for (const std::string& name : {tooLong, withZero}) {
    Accounts.Calls.clear();
    SetHours(name, true);
    EXPECT_TRUE(Accounts.Updates.empty()) << "no prefix of the name may be updated";
    EXPECT_EQ(Accounts.Calls.back(), "log " + (kMsgSetUserFailed + name));
  }
}

const Calls kPrivilegeCalls{"GetCurrentProcess()", "OpenProcessToken(SELF,0x28)",
                            "LookupPrivilegeValue(null,SeShutdownPrivilege)",
                            "AdjustTokenPrivileges(TOKEN,0,1,{19,0},0x2,0,null,null)", "GetLastError()"};

TEST_F(AccountTest, ShutdownEnablesThePrivilegeFlushesThenSwitchesOffWithoutAskingAnyProgram) {
  EXPECT_TRUE(ShutdownComputer(State.DebugLevel, Accounts, Log));
  Calls expected = kPrivilegeCalls;
  expected.insert(expected.end(), {"log Shutting down computer", "flush",
                                   "InitiateShutdownW(null,null,0,0xb,0x80000000)", "CloseHandle(TOKEN)"});
  EXPECT_EQ(Accounts.Calls, expected);
  EXPECT_EQ(Accounts.OpenTokens(), 0);
}

// A shutdown scheduled far ahead is overridden; a system without the call
// switches off as of old; a failure says why and is false, for the next pass
// to try again.
TEST_F(AccountTest, ShutdownOverridesAScheduledOneFallsBackWhereTheCallIsMissingAndSaysWhyItFailed) {
  const struct {
    std::vector<uint32_t> Results;
    std::vector<std::string> Requests;
    bool Started;
    std::string Logged;
  } cases[] = {
      {{1190}, {"InitiateShutdownW(null,null,0,0xb,0x80000000)", "InitiateShutdownW(null,null,0,0x2b,0x80000000)"},
       true, ""},
      {{1115, 5}, {"InitiateShutdownW(null,null,0,0xb,0x80000000)", "InitiateShutdownW(null,null,0,0x2b,0x80000000)"},
       false, "log ERROR:Shutting down failed: " + SystemErrorText(5)},
      {{120}, {"InitiateShutdownW(null,null,0,0xb,0x80000000)", "ExitWindowsEx(0xc,0x80000000)"}, true, ""},
      {{5}, {"InitiateShutdownW(null,null,0,0xb,0x80000000)"}, false,
       "log ERROR:Shutting down failed: " + SystemErrorText(5)},
  };
  for (const auto& c : cases) {
    Accounts.Calls.clear();
    Accounts.ShutdownResults = c.Results;
    EXPECT_EQ(ShutdownComputer(State.DebugLevel, Accounts, Log), c.Started);
    std::vector<std::string> requests;
    std::string logged;
    for (const std::string& call : Accounts.Calls) {
      if (call.rfind("InitiateShutdownW", 0) == 0 || call.rfind("ExitWindowsEx", 0) == 0) requests.push_back(call);
      if (call.rfind("log ERROR", 0) == 0) logged = call;
    }
    EXPECT_EQ(requests, c.Requests);
    EXPECT_EQ(logged, c.Logged);
  }
}

TEST_F(AccountTest, AtLevelOneNothingIsLoggedButTheLogIsStillFlushed) {
  State.DebugLevel = 1;
  EXPECT_TRUE(ShutdownComputer(State.DebugLevel, Accounts, Log));
  Calls expected = kPrivilegeCalls;
  expected.insert(expected.end(), {"flush", "InitiateShutdownW(null,null,0,0xb,0x80000000)", "CloseHandle(TOKEN)"});
  EXPECT_EQ(Accounts.Calls, expected);
}

struct PrivilegeFailure {
  const char* Name;
  bool OpenFails;
  bool LookupFails;
  bool AdjustResult;
  uint32_t AdjustError;
  Calls Expected;  // calls before the message
  bool TokenClosed;
};

class PrivilegeFailureTest : public AccountTest, public ::testing::WithParamInterface<PrivilegeFailure> {};

TEST_P(PrivilegeFailureTest, NeitherFlushesNorRequestsAndLogsFromLevelThree) {
  const PrivilegeFailure& f = GetParam();
  for (int level : {3, 2, -3}) {
    SCOPED_TRACE(level);
    TFakeAccounts accounts;
    TJournalLog log(accounts.Calls);
    accounts.OpenTokenFails = f.OpenFails;
    accounts.LookupPrivilegeFails = f.LookupFails;
    accounts.AdjustResult = f.AdjustResult;
    accounts.AdjustError = f.AdjustError;
    State.DebugLevel = level;
    EXPECT_FALSE(ShutdownComputer(State.DebugLevel, accounts, log));

    Calls expected = f.Expected;
    if (level != 2)
      expected.push_back(std::string("log ") + (f.OpenFails ? kMsgOpenOwnTokenFailed : kMsgAdjustPrivilegeFailed));
    if (f.TokenClosed) expected.push_back("CloseHandle(TOKEN)");
    EXPECT_EQ(accounts.Calls, expected);
    EXPECT_EQ(accounts.OpenTokens(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PrivilegeFailureTest,
    ::testing::Values(
        PrivilegeFailure{"own token", true, false, true, 0, {"GetCurrentProcess()", "OpenProcessToken(SELF,0x28)"},
                         false},
        PrivilegeFailure{"lookup",
                         false,
                         true,
                         true,
                         0,
                         {"GetCurrentProcess()", "OpenProcessToken(SELF,0x28)",
                          "LookupPrivilegeValue(null,SeShutdownPrivilege)"},
                         true},
        // The privilege is not held: the call succeeds, the error says otherwise.
        PrivilegeFailure{"not all assigned", false, false, true, 1300, kPrivilegeCalls, true},
        PrivilegeFailure{"call failed", false, false, false, 6, kPrivilegeCalls, true},
        PrivilegeFailure{"failed without error", false, false, false, 0, kPrivilegeCalls, true}),
    [](const ::testing::TestParamInfo<PrivilegeFailure>& info) {
      std::string name = info.param.Name;
      for (char& c : name)
        if (c == ' ') c = '_';
      return name;
    });

// Reading an account back: what the system answered, and the buffer freed on
// every path.
class ReadAccountTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(Accounts.OpenBuffers(), 0u) << "a buffer was not freed";
    EXPECT_EQ(Accounts.BadFrees, 0);
  }
  static std::vector<bool> Flags(const TAccountInfo& info) { return {info.Readable, info.Exists, info.Locked}; }
  TFakeAccounts Accounts;
  TRecordingLog Log;
};

TEST_F(ReadAccountTest, OnlyHoursThatPermitNoUnitAreALock) {
  SetAccountLogonHours(2, Accounts, Log, "anna", true);
  EXPECT_EQ(Flags(ReadAccount(Accounts, "anna")), (std::vector<bool>{true, true, true}));
  std::vector<uint8_t> lastHour(21, 0x00);
  lastHour[20] = 0x80;  // Saturday 23:00
  const TLogonHoursUpdate notLocks[] = {{true, "anna", 1020, 168, lastHour, true},
                                        {true, "anna", 1020, 168, {}, true},  // no hours: no restriction
                                        {true, "anna", 1020, 0, std::vector<uint8_t>(21, 0), true}};
  for (const TLogonHoursUpdate& update : notLocks) {
    Accounts.Updates.push_back(update);
    EXPECT_EQ(Flags(ReadAccount(Accounts, "anna")), (std::vector<bool>{true, true, false}));
  }
  Accounts.Updates.push_back(TLogonHoursUpdate{true, "anna", 1020, 7, {0x80}, true});  // days: bit 7 is none
  EXPECT_TRUE(ReadAccount(Accounts, "anna").Locked);
}

TEST_F(ReadAccountTest, MissingUnreadableAndUnnameableAccounts) {
  Accounts.ReadStatus = {{"nobody", 2221}, {"secret", 5}};
  const TAccountInfo missing = ReadAccount(Accounts, "nobody");
  EXPECT_EQ(Flags(missing), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(missing.Status, 2221u);
  const TAccountInfo denied = ReadAccount(Accounts, "secret");
  EXPECT_EQ(Flags(denied), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(denied.Status, 5u);

  Accounts.Calls.clear();
  const TAccountInfo unnameable = ReadAccount(Accounts, std::string(100, 'a'));
  EXPECT_EQ(Flags(unnameable), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(unnameable.Status, 123u);
  EXPECT_EQ(Accounts.Calls, Calls{"MultiByteToWideChar(0,0,-1,100)"});
}

}  // namespace

namespace {

// Listing the accounts: all pages in order, or nothing and the reason; every
// buffer freed whatever happened.
TEST(ReadLocalAccountsTest, ReadsEveryPageOrNothing) {
  const struct { size_t Page; uint32_t FailAt, Status; std::string Unconvertible; } cases[] = {
      {0, 9, 0, ""}, {3, 9, 0, ""}, {1, 9, 0, ""},  // every page answered
      {0, 0, 5, ""}, {2, 2, 2221, ""},               // the first or a later page refused
      {2, 0, 234, ""},                               // more promised, nothing handed out
      {2, 9, 122, "bob"},                            // a name WideCharToMultiByte refuses
  };
  const Calls all = {"Administrator 2", "Guest 0 disabled", "anna 1 disabled", "bob 1"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Status);
    TFakeAccounts accounts;
    accounts.Listed = {{"Administrator", 2, 0x201}, {"Guest", 0, 0x203}, {"anna", 1, 0x2}, {"bob", 1, 0x10}};
    accounts.EnumPage = c.Page;
    if (c.Status != 0 && c.Unconvertible.empty()) accounts.EnumStatus[c.FailAt] = c.Status;
    accounts.UnconvertibleName = c.Unconvertible;
    const TLocalAccounts read = ReadLocalAccounts(accounts);
    EXPECT_EQ(read.Status, c.Status);
    Calls got;
    for (const TLocalAccount& account : read.Accounts)
      got.push_back(account.Name + " " + std::to_string(account.Privilege) + (account.Disabled ? " disabled" : ""));
    EXPECT_EQ(got, c.Status != 0 ? Calls{} : all);
    EXPECT_EQ(accounts.OpenBuffers(), 0u) << "a buffer was not freed";
    EXPECT_EQ(accounts.BadFrees, 0);
  }
}

}  // namespace
