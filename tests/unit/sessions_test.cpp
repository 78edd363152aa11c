#include <gtest/gtest.h>

#include <cstdlib>

#include "diag/messages.h"
#include "engine/engine_state.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/recording_log.h"
#include "winsys/sessions.h"

namespace {

using Calls = std::vector<std::string>;

const std::string kModuleRoom = std::to_string(sizeof(void*));  // one module handle
const uint32_t kTokenUserLength = 2 * sizeof(void*) + 28;
const std::string kLength = std::to_string(kTokenUserLength);

class SessionTest : public ::testing::Test {
 protected:
  bool Account(uint32_t id, std::string& name) {
    Processes.Calls.clear();
    return GetProcessAccount(State.DebugLevel, Processes, Log, id, name);
  }
  void Collect() { CollectSeenAccounts(State.SeenAccounts, State.DebugLevel, Processes, Log); }
  Calls Seen() const { return State.SeenAccounts.Items(); }

  TEngineState State;
  TFakeProcesses Processes;
  TRecordingLog Log;
};

TEST_F(SessionTest, ProcessAccountMakesTheDesignedCallsAndReleasesInReverse) {
  Processes.Add(17, "Anna", "KITCHEN-PC");
  std::string name = "stale";
  ASSERT_TRUE(Account(17, name));
  EXPECT_EQ(name, "Anna");  // the bare name, no domain
  EXPECT_EQ(Processes.Calls, (Calls{"OpenProcess(0x410,0,17)",
                                    "EnumProcessModules(P17," + kModuleRoom + ")",
                                    "OpenProcessToken(P17,0x8)",
                                    "GetTokenInformation(T17,1,null,0)",
                                    "GlobalAlloc(0x40," + kLength + ")",
                                    "GetTokenInformation(T17,1,B1," + kLength + ")",
                                    "LookupAccountSid(null,S17,128,128)",
                                    "GlobalFree(B1)",
                                    "CloseHandle(T17)",
                                    "CloseHandle(P17)"}));
  EXPECT_TRUE(Processes.Outstanding().empty());
  EXPECT_TRUE(Log.Messages.empty());
}

TEST_F(SessionTest, SizeProbeThatSucceedsStillUsesTheReportedLength) {
  Processes.Add(17, "anna").ProbeSucceeds = true;
  std::string name;
  EXPECT_TRUE(Account(17, name));
  EXPECT_EQ(name, "anna");
  EXPECT_EQ(Processes.Calls[4], "GlobalAlloc(0x40," + kLength + ")");
}

struct FailureRow {
  TProcessStep Step;
  uint32_t ProbeError;
  const char* Message;  // nullptr: never logged
  int Threshold;        // the lowest level that logs it
  Calls Expected;       // the calls made for process 9 before everything is released
};

// Levels around each boundary, and a negative one, whose magnitude counts.
const int kLevels[] = {0, 1, 2, 3, 4, -4, -2};

class SessionFailureTest : public SessionTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(SessionFailureTest, EachFailureIsLoggedAtItsLevelAndReleasesEverything) {
  const FailureRow& row = GetParam();
  for (int level : kLevels) {
    SCOPED_TRACE("level " + std::to_string(level));
    TFakeProcesses processes;
    TFakeProcess& process = processes.Add(9, "anna");
    process.FailAt = row.Step;
    process.ProbeError = row.ProbeError;
    State.DebugLevel = level;
    Log.Messages.clear();

    std::string name = "stale";
    EXPECT_FALSE(GetProcessAccount(State.DebugLevel, processes, Log, 9, name));
    EXPECT_EQ(name, "");
    EXPECT_EQ(processes.Calls, row.Expected);
    EXPECT_TRUE(processes.Outstanding().empty());
    const bool logged = row.Message != nullptr && std::abs(level) >= row.Threshold;
    EXPECT_EQ(Log.Messages, logged ? Calls{row.Message} : Calls{});
  }
}

const std::string kOpen = "OpenProcess(0x410,0,9)";
const std::string kModules = "EnumProcessModules(P9," + kModuleRoom + ")";
const std::string kToken = "OpenProcessToken(P9,0x8)";
const std::string kProbe = "GetTokenInformation(T9,1,null,0)";
const std::string kAlloc = "GlobalAlloc(0x40," + kLength + ")";
const std::string kRead = "GetTokenInformation(T9,1,B1," + kLength + ")";
const std::string kLookup = "LookupAccountSid(null,S9,128,128)";
const std::string kCloseAll[] = {"GlobalFree(B1)", "CloseHandle(T9)", "CloseHandle(P9)"};

INSTANTIATE_TEST_SUITE_P(
    Rows, SessionFailureTest,
    ::testing::Values(
        FailureRow{TProcessStep::Open, 122, kMsgOpenProcessFailed, 4, {kOpen}},
        FailureRow{TProcessStep::Modules, 122, kMsgProcessModulesFailed, 4, {kOpen, kModules, "CloseHandle(P9)"}},
        FailureRow{TProcessStep::Token, 122, kMsgOpenTokenFailed, 4, {kOpen, kModules, kToken, "CloseHandle(P9)"}},
        FailureRow{TProcessStep::SizeProbe, 5, nullptr, 0,
                   {kOpen, kModules, kToken, kProbe, "CloseHandle(T9)", "CloseHandle(P9)"}},
        FailureRow{TProcessStep::SizeProbe, 87, nullptr, 0,
                   {kOpen, kModules, kToken, kProbe, "CloseHandle(T9)", "CloseHandle(P9)"}},
        FailureRow{TProcessStep::Allocate, 122, kMsgTokenUserFailed, 4,
                   {kOpen, kModules, kToken, kProbe, kAlloc, "CloseHandle(T9)", "CloseHandle(P9)"}},
        FailureRow{TProcessStep::Read, 122, kMsgTokenUserFailed, 4,
                   {kOpen, kModules, kToken, kProbe, kAlloc, kRead, kCloseAll[0], kCloseAll[1], kCloseAll[2]}},
        FailureRow{TProcessStep::Lookup, 122, kMsgAccountNameFailed, 2,
                   {kOpen, kModules, kToken, kProbe, kAlloc, kRead, kLookup, kCloseAll[0], kCloseAll[1],
                    kCloseAll[2]}}));

TEST_F(SessionTest, TokenRecordTooShortForItsSidIsAFailedRead) {
  TFakeProcess& process = Processes.Add(9, "anna");
  process.TokenUserLength = 2;
  process.ProbeSucceeds = true;
  State.DebugLevel = 4;
  std::string name;
  EXPECT_FALSE(Account(9, name));
  EXPECT_EQ(Log.Messages, Calls{kMsgTokenUserFailed});
  EXPECT_TRUE(Processes.Outstanding().empty());
  for (const std::string& call : Processes.Calls) EXPECT_EQ(call.find("LookupAccountSid"), std::string::npos);
}

struct NameLengthCase {
  size_t NameLength;
  size_t DomainLength;
  bool Found;
};

class AccountNameLengthTest : public SessionTest, public ::testing::WithParamInterface<NameLengthCase> {};

TEST_P(AccountNameLengthTest, NamesThatDoNotFitAreFailedLookupsNotCutNames) {
  const NameLengthCase c = GetParam();
  const std::string account(c.NameLength, 'n');
  Processes.Add(9, account, std::string(c.DomainLength, 'd'));
  State.DebugLevel = 2;
  std::string name;
  EXPECT_EQ(Account(9, name), c.Found);
  EXPECT_EQ(name, c.Found ? account : "");
  EXPECT_EQ(Log.Messages, c.Found ? Calls{} : Calls{kMsgAccountNameFailed});
  EXPECT_TRUE(Processes.Outstanding().empty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, AccountNameLengthTest,
                         ::testing::Values(NameLengthCase{99, 4, true}, NameLengthCase{100, 4, false},
                                           NameLengthCase{127, 4, false}, NameLengthCase{128, 4, false},
                                           NameLengthCase{5, 127, true}, NameLengthCase{5, 128, false}));

TEST_F(SessionTest, FailedEnumerationChangesNothingAndLogsNothing) {
  State.SeenAccounts.Add("earlier");
  Processes.Add(4, "anna");
  Processes.EnumFails = true;
  State.DebugLevel = 4;
  Collect();
  EXPECT_EQ(Processes.Calls, Calls{"EnumProcesses(4096)"});
  EXPECT_EQ(Seen(), Calls{"earlier"});
  EXPECT_TRUE(Log.Messages.empty());
}

TEST_F(SessionTest, IdZeroIsSkippedWithoutAnyCall) {
  Processes.Add(0, "system");
  Processes.Add(4, "anna");
  State.DebugLevel = 4;
  Collect();
  EXPECT_EQ(Processes.Calls.at(0), "EnumProcesses(4096)");
  EXPECT_EQ(Processes.Calls.at(1), "OpenProcess(0x410,0,4)");
  EXPECT_EQ(Seen(), Calls{"anna"});
  EXPECT_TRUE(Log.Messages.empty());
}

TEST_F(SessionTest, OnlyTheFirst1024IdsAreExamined) {
  for (uint32_t id = 1; id <= 1030; ++id) Processes.Add(id * 4, "user" + std::to_string(id));
  Collect();
  ASSERT_EQ(State.SeenAccounts.Count(), 1024);
  EXPECT_EQ(State.SeenAccounts[0], "user1");
  EXPECT_EQ(State.SeenAccounts[1023], "user1024");
  EXPECT_TRUE(Processes.Outstanding().empty());
}

TEST_F(SessionTest, ByteCountBeyondTheBufferIsNeverReadPast) {
  for (uint32_t id = 1; id <= 1030; ++id) Processes.Add(id * 4, "user" + std::to_string(id));
  Processes.OverrideBytesReturned = true;
  Processes.BytesReturned = 8192;
  Collect();
  EXPECT_EQ(State.SeenAccounts.Count(), 1024);
  size_t opens = 0;
  for (const std::string& call : Processes.Calls) opens += call.rfind("OpenProcess(", 0) == 0;
  EXPECT_EQ(opens, 1024u);
}

TEST_F(SessionTest, ByteCountIsCutToWholeIds) {
  Processes.Add(4, "anna");
  Processes.Add(8, "bert");
  Processes.Add(12, "carl");
  Processes.OverrideBytesReturned = true;
  Processes.BytesReturned = 11;  // two whole ids
  Collect();
  EXPECT_EQ(Seen(), (Calls{"anna", "bert"}));
}

TEST_F(SessionTest, AccountIsAddedOnceInTheCaseOfItsFirstSighting) {
  Processes.Add(4, "Anna");
  Processes.Add(8, "ANNA");
  Processes.Add(12, "anna", "OTHER-DOMAIN");  // same bare name in another domain
  Processes.Add(16, "bert");
  Collect();
  EXPECT_EQ(Seen(), (Calls{"Anna", "bert"}));
  Processes.Table.clear();
  Processes.Add(20, "aNNa");
  Collect();
  EXPECT_EQ(Seen(), (Calls{"Anna", "bert"}));
}

TEST_F(SessionTest, LoggedOffAccountStaysSeen) {
  Processes.Add(4, "anna");
  Collect();
  Processes.Table.clear();
  Processes.Add(8, "bert");
  Collect();
  EXPECT_EQ(Seen(), (Calls{"anna", "bert"}));
}

TEST_F(SessionTest, FailingProcessIsPassedOverAndTheRestExamined) {
  Processes.Add(4, "system").FailAt = TProcessStep::Modules;
  Processes.Add(8, "anna").FailAt = TProcessStep::Lookup;
  Processes.Add(12, "bert");
  State.DebugLevel = 3;
  Collect();
  EXPECT_EQ(Seen(), Calls{"bert"});
  EXPECT_EQ(Log.Messages, Calls{kMsgAccountNameFailed});  // level 3: only the lookup failure
  EXPECT_TRUE(Processes.Outstanding().empty());

  State.DebugLevel = 1;
  Log.Messages.clear();
  Collect();
  EXPECT_TRUE(Log.Messages.empty());
}

// A process that is slow to examine (its module list rewritten to be long, or
// endless) costs one slow examination in its life: then it counts with the owner
// found, unexamined, until its id is another process's or gone.
TEST_F(SessionTest, AProcessSlowToExamineIsNotExaminedAgainWhileItRuns) {
  TSlowProcesses slow;
  TStringList owners;
  auto collect = [&] {
    Processes.Calls.clear();
    Log.Messages.clear();
    CollectSeenAccounts(State.SeenAccounts, State.DebugLevel, Processes, Log, &owners, &slow);
    int examined = 0;
    for (const std::string& call : Processes.Calls) examined += call == "EnumProcessModules(P66," + kModuleRoom + ")";
    return examined;
  };
  Processes.Add(12, "bert");
  Processes.Add(66, "anna").ExaminationMs = kSlowExaminationMs;
  EXPECT_EQ(collect(), 1);
  EXPECT_TRUE(slow.empty()) << "100 ms is not too slow";
  Processes.Table[1].ExaminationMs = kSlowExaminationMs + 1;
  EXPECT_EQ(collect(), 1);
  EXPECT_EQ(Log.Messages, Calls{"WARNING:A process took too long to examine and is not examined again: 101 ms, id 66 "
                                "C:\\Programs\\66.exe"});
  EXPECT_EQ(collect(), 0);
  EXPECT_TRUE(Log.Messages.empty()) << "said once";
  EXPECT_EQ(owners.Items(), (Calls{"bert", "anna"})) << "still counted with its owner";
  Processes.Table[1].Created = 7;  // a new process with the id
  Processes.Table[1].ExaminationMs = 0;
  EXPECT_EQ(collect(), 1);
  EXPECT_TRUE(slow.empty());
  Processes.Table[1].ExaminationMs = 500;
  collect();
  Processes.Table.pop_back();
  collect();
  EXPECT_TRUE(slow.empty()) << "ended processes are forgotten";
  EXPECT_TRUE(Processes.Outstanding().empty());
}

}  // namespace
