#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "diag/messages.h"
#include "tests/fakes/fake_platform.h"

namespace {

using Calls = std::vector<std::string>;

// A module whose rule evaluation is scripted per user and whose log is a journal;
// lock-out and power-off run for real against the recording account double.
class TEnforcingModule : public TNortavelFree {
 public:
  explicit TEnforcingModule(TFakePlatform& platform) : TNortavelFree(platform.View()) {}

  bool LoadConfiguration() override { return true; }
  bool IsRestrictedNow(const std::string& user) override {
    Journal.push_back("check " + user);
    if (OnCheck) OnCheck(user);
    return Restricted[user];
  }
  void SetAccountLogonHours(const std::string& user, bool block) override {
    Journal.push_back((block ? "lock " : "unlock ") + user);
    TNortavelFree::SetAccountLogonHours(user, block);
  }
  bool ShutdownComputer() override {
    Journal.push_back("shutdown");
    return TNortavelFree::ShutdownComputer();
  }
  void Log(const std::string& message) override { Journal.push_back("log " + message); }
  void FlushLog() override { Journal.push_back("flush"); }

  std::map<std::string, bool> Restricted;
  std::function<void(const std::string&)> OnCheck;
  Calls Journal;
};

class EnforcementTest : public ::testing::Test {
 protected:
  void Users(std::initializer_list<const char*> users) {
    for (const char* user : users) Module.RestrictedUsers.Add(user);
  }
  Calls Requests() const {
    Calls requests;
    for (const std::string& call : Platform.Accounts.Calls)
      if (call.rfind("ExitWindowsEx", 0) == 0) requests.push_back(call);
    return requests;
  }

  TFakePlatform Platform;
  TEnforcingModule Module{Platform};
};

TEST_F(EnforcementTest, NoRestrictedUsersDoesNothing) {
  Module.SeenAccounts.Add("anna");
  Module.EnforceRestrictions();
  EXPECT_TRUE(Module.Journal.empty());
  EXPECT_TRUE(Platform.Accounts.Calls.empty());
}

TEST_F(EnforcementTest, UserNeverSeenIsLockedOrUnlockedButNeverPoweredOff) {
  Users({"anna"});
  Module.Restricted["anna"] = true;
  Module.EnforceRestrictions();
  EXPECT_EQ(Module.Journal, (Calls{"check anna", "log FILTER: found user with time restrictions:anna", "lock anna",
                                   "log User account successfully blocked: anna"}));

  Module.Journal.clear();
  Module.Restricted["anna"] = false;
  Module.EnforceRestrictions();
  EXPECT_EQ(Module.Journal, (Calls{"check anna", "unlock anna", "log User account successfully unblocked: anna"}));
  EXPECT_TRUE(Requests().empty());
  ASSERT_EQ(Platform.Accounts.Updates.size(), 2u);
  EXPECT_EQ(Platform.Accounts.Updates[0].Hours, std::vector<uint8_t>(21, 0x00));
  EXPECT_EQ(Platform.Accounts.Updates[1].Hours, std::vector<uint8_t>(21, 0xFF));
}

TEST_F(EnforcementTest, SeenUserIsLockedBeforeThePowerOffIsRequested) {
  Users({"anna"});
  Module.SeenAccounts.Add("anna");  // seen earlier, logged off since: still seen
  Module.Restricted["anna"] = true;
  Module.EnforceRestrictions();
  EXPECT_EQ(Module.Journal,
            (Calls{"check anna", "log FILTER: found user with time restrictions:anna",
                   "log FILTER: User logged in, invoking shutdown", "lock anna",
                   "log User account successfully blocked: anna", "shutdown", "log Shutting down computer", "flush"}));
  // The account update reached the system before the power-off request.
  const Calls& system = Platform.Accounts.Calls;
  const auto update = std::find(system.begin(), system.end(), "NetUserSetInfo(null,anna,1020)");
  const auto request = std::find(system.begin(), system.end(), "ExitWindowsEx(0xc,0x80000000)");
  ASSERT_NE(update, system.end());
  ASSERT_NE(request, system.end());
  EXPECT_LT(update, request);
}

TEST_F(EnforcementTest, AllowedUserWhoIsLoggedOnIsOnlyUnlocked) {
  Users({"anna"});
  Module.SeenAccounts.Add("anna");
  for (int level : {4, 1}) {
    Module.DebugLevel = level;
    Module.Journal.clear();
    Module.EnforceRestrictions();
    Calls expected{"check anna", "unlock anna"};
    if (level >= 2) expected.push_back("log User account successfully unblocked: anna");
    EXPECT_EQ(Module.Journal, expected);
  }
  EXPECT_TRUE(Requests().empty());
}

TEST_F(EnforcementTest, LevelOneLogsOnlyTheLoggedInLineAndLevelZeroNothing) {
  Users({"anna"});
  Module.SeenAccounts.Add("anna");
  Module.Restricted["anna"] = true;
  Module.DebugLevel = 1;
  Module.EnforceRestrictions();
  EXPECT_EQ(Module.Journal,
            (Calls{"check anna", "log FILTER: User logged in, invoking shutdown", "lock anna", "shutdown", "flush"}));

  Module.DebugLevel = 0;
  Module.Journal.clear();
  Module.EnforceRestrictions();
  EXPECT_EQ(Module.Journal, (Calls{"check anna", "lock anna", "shutdown", "flush"}));
  EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(EnforcementTest, SeenNameInCapitalsMatchesTheConfiguredName) {
  Users({"anna"});
  Module.SeenAccounts.Add("ANNA");
  Module.Restricted["anna"] = true;
  Module.EnforceRestrictions();
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(EnforcementTest, EveryUserIsVisitedAndEachSeenRestrictedOneRequestsAPowerOff) {
  Users({"anna", "bert", "carl", "dora"});
  Module.SeenAccounts.Add("anna");
  Module.SeenAccounts.Add("carl");
  Module.SeenAccounts.Add("dora");
  Module.Restricted = {{"anna", true}, {"bert", true}, {"carl", true}, {"dora", false}};
  Platform.Accounts.ExitAccepted = false;  // a refused request does not stop the pass
  Module.DebugLevel = 0;
  Module.EnforceRestrictions();
  EXPECT_EQ(Module.Journal, (Calls{"check anna", "lock anna", "shutdown", "flush", "check bert", "lock bert",
                                   "check carl", "lock carl", "shutdown", "flush", "check dora", "unlock dora"}));
  EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(EnforcementTest, MissingShutdownPrivilegeDoesNotStopThePass) {
  Users({"anna", "bert"});
  Module.SeenAccounts.Add("anna");
  Module.Restricted = {{"anna", true}, {"bert", true}};
  Platform.Accounts.AdjustError = 1300;  // ERROR_NOT_ALL_ASSIGNED
  Module.DebugLevel = 3;
  Module.EnforceRestrictions();
  EXPECT_EQ(Module.Journal,
            (Calls{"check anna", "log FILTER: found user with time restrictions:anna",
                   "log FILTER: User logged in, invoking shutdown", "lock anna",
                   "log User account successfully blocked: anna", "shutdown",
                   "log Unable to adjust token privilege for shutdown", "check bert",
                   "log FILTER: found user with time restrictions:bert", "lock bert",
                   "log User account successfully blocked: bert"}));
  EXPECT_TRUE(Requests().empty());
}

TEST_F(EnforcementTest, CountIsReadAgainBeforeEachUser) {
  Users({"anna", "bert"});
  Module.DebugLevel = 0;
  Module.OnCheck = [this](const std::string& user) {
    if (user == "anna") Module.RestrictedUsers.Add("carl");
    if (user == "carl") Module.RestrictedUsers.Delete(3);  // a user added behind carl is dropped again
    if (user == "bert") Module.RestrictedUsers.Add("dora");
  };
  Module.EnforceRestrictions();
  EXPECT_EQ(Module.Journal, (Calls{"check anna", "unlock anna", "check bert", "unlock bert", "check carl",
                                   "unlock carl"}));
}

TEST_F(EnforcementTest, FailingEvaluationEndsThePassAtThatUser) {
  Users({"anna", "bert"});
  Module.DebugLevel = 0;
  Module.OnCheck = [](const std::string& user) {
    if (user == "anna") throw Exception("no rule");
  };
  EXPECT_THROW(Module.EnforceRestrictions(), Exception);
  EXPECT_EQ(Module.Journal, Calls{"check anna"});
  EXPECT_TRUE(Platform.Accounts.Calls.empty());
}

TEST_F(EnforcementTest, TickSeesTheProcessOwnerAndPowersOffInTheSamePass) {
  Users({"anna"});
  Module.Restricted["anna"] = true;
  Platform.Processes.Add(4, "system").FailAt = TProcessStep::Modules;
  Platform.Processes.Add(1200, "Anna");
  Module.Timer1Timer(&Module.Timer1);
  EXPECT_EQ(Module.SeenAccounts.Items(), Calls{"Anna"});
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_TRUE(Platform.Processes.Outstanding().empty());
}

}  // namespace
