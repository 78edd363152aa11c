// The enforcement pass of the real module on the fakes: what reaches the log,
// the accounts and the power-off, from rules that restrict or allow the whole day.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "diag/diagnostic_log.h"
#include "diag/messages.h"
#include "tests/fakes/fake_platform.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kRestricted(48, '1');
const std::string kAllowed(48, '0');

class EnforcementTest : public ::testing::Test {
 protected:
  EnforcementTest() {
    Module.DebugLevel = 2;
    Module.AppPath = "C:\\Logs\\";
    Platform.Clock.Set(DateTimeOf(2026, 12, 8, 21, 10, 0, 2));  // Tuesday 21:10: position 42 of Time2
  }
  // Each user restricted (all day, every day) or allowed.
  void Users(std::initializer_list<std::pair<const char*, bool>> users) {
    for (const auto& [user, restricted] : users) {
      Module.RestrictedUsers.Add(user);
      Module.UserRules.emplace_back();
      for (int day = 0; day < 7; ++day) Module.UserRules.back().Add(restricted ? kRestricted : kAllowed);
    }
  }
  // Every line the module logged, written out by a flush or still buffered,
  // without timestamps; the log is emptied.
  Lines TakeLog() {
    Lines lines;
    std::istringstream file(Platform.LogFiles.Data("C:\\Logs\\" + std::string(kLogFileName)));
    for (std::string line; std::getline(file, line);) lines.push_back(Text(line));
    for (const std::string& line : Module.DiagLog.LogLines) lines.push_back(Text(line));
    Platform.LogFiles.Files.clear();
    Module.DiagLog.LogLines.Clear();
    return lines;
  }
  static std::string Text(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line.substr(line.find(" ] ") + 3);
  }
  // The account updates in order: "lock anna" or "unlock anna".
  Lines Updates() const {
    Lines updates;
    for (const auto& update : Platform.Accounts.Updates)
      updates.push_back((update.Hours == std::vector<uint8_t>(21, 0) ? "lock " : "unlock ") + update.User);
    return updates;
  }
  size_t PowerOffs() const {
    return static_cast<size_t>(std::count_if(Platform.Accounts.Calls.begin(), Platform.Accounts.Calls.end(),
                                             [](const std::string& c) { return c.rfind("InitiateShutdownW", 0) == 0; }));
  }

  TFakePlatform Platform;
  TNortavelFree Module{Platform.View()};
};

TEST_F(EnforcementTest, NoRestrictedUsersDoesNothing) {
  Module.SeenAccounts.Add("anna");
  Module.DebugLevel = 4;
  Module.EnforceRestrictions();
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_TRUE(Platform.Accounts.Calls.empty());
}

TEST_F(EnforcementTest, UserNeverSeenIsLockedOrUnlockedButNeverPoweredOff) {
  Users({{"anna", true}});
  Module.EnforceRestrictions();
  EXPECT_EQ(TakeLog(), (Lines{"FILTER: found user with time restrictions:anna", "User account successfully blocked: anna"}));

  Module.UserRules[0] = TStringList();
  for (int day = 0; day < 7; ++day) Module.UserRules[0].Add(kAllowed);
  Module.EnforceRestrictions();
  EXPECT_EQ(TakeLog(), (Lines{"User account successfully unblocked: anna"}));
  EXPECT_EQ(Updates(), (Lines{"lock anna", "unlock anna"}));
  EXPECT_EQ(PowerOffs(), 0u);
}

TEST_F(EnforcementTest, SeenUserIsLockedBeforeThePowerOffIsRequested) {
  Users({{"anna", true}});
  Module.SeenAccounts.Add("anna");  // seen earlier, logged off since: still seen
  Module.EnforceRestrictions();
  EXPECT_EQ(TakeLog(), (Lines{"FILTER: found user with time restrictions:anna",
                              "FILTER: User logged in, invoking shutdown", "User account successfully blocked: anna",
                              "Shutting down computer"}));
  // The account update reached the system before the power-off request.
  const Lines& system = Platform.Accounts.Calls;
  const auto update = std::find(system.begin(), system.end(), "NetUserSetInfo(null,anna,1020)");
  const auto request = std::find(system.begin(), system.end(), "InitiateShutdownW(null,null,0,0xb,0x80000000)");
  ASSERT_NE(update, system.end());
  ASSERT_NE(request, system.end());
  EXPECT_LT(update, request);
}

TEST_F(EnforcementTest, AllowedUserWhoIsLoggedOnIsOnlyUnlocked) {
  Users({{"anna", false}});
  Module.SeenAccounts.Add("anna");
  Module.DebugLevel = 4;
  Module.EnforceRestrictions();
  EXPECT_EQ(TakeLog(), (Lines{"Checking user:anna", "Time control check: day=1 position[42]=0 rule=" + kAllowed,
                              "User account successfully unblocked: anna"}));
  Module.DebugLevel = 1;
  Module.EnforceRestrictions();
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_EQ(Updates(), (Lines{"unlock anna", "unlock anna"}));
  EXPECT_EQ(PowerOffs(), 0u);
}

TEST_F(EnforcementTest, LevelOneLogsOnlyTheLoggedInLineAndLevelZeroNothing) {
  Users({{"anna", true}});
  Module.SeenAccounts.Add("anna");
  Module.DebugLevel = 1;
  Module.EnforceRestrictions();
  EXPECT_EQ(TakeLog(), (Lines{"FILTER: User logged in, invoking shutdown"}));

  Module.DebugLevel = 0;
  Module.EnforceRestrictions();
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_EQ(Updates(), (Lines{"lock anna", "lock anna"}));
  EXPECT_EQ(PowerOffs(), 2u);
}

TEST_F(EnforcementTest, SeenNameInCapitalsMatchesTheConfiguredName) {
  Users({{"anna", true}});
  Module.SeenAccounts.Add("ANNA");
  Module.EnforceRestrictions();
  EXPECT_EQ(PowerOffs(), 1u);
}

TEST_F(EnforcementTest, EveryUserIsVisitedAndEachSeenRestrictedOneRequestsAPowerOff) {
  Users({{"anna", true}, {"bert", true}, {"carl", true}, {"dora", false}});
  Module.SeenAccounts.Add("anna");
  Module.SeenAccounts.Add("carl");
  Module.SeenAccounts.Add("dora");
  Platform.Accounts.ShutdownResults = {5, 5, 5};  // a refused request does not stop the pass
  Module.DebugLevel = 0;
  Module.EnforceRestrictions();
  EXPECT_EQ(Updates(), (Lines{"lock anna", "lock bert", "lock carl", "unlock dora"}));
  EXPECT_EQ(PowerOffs(), 2u);
}

TEST_F(EnforcementTest, MissingShutdownPrivilegeDoesNotStopThePass) {
  Users({{"anna", true}, {"bert", true}});
  Module.SeenAccounts.Add("anna");
  Platform.Accounts.AdjustError = 1300;  // ERROR_NOT_ALL_ASSIGNED
  Module.DebugLevel = 3;
  Module.EnforceRestrictions();
  const std::string trace = "Time control check: day=1 position[42]=1 rule=" + kRestricted;
  EXPECT_EQ(TakeLog(), (Lines{"Checking user:anna", trace, "FILTER: found user with time restrictions:anna",
                              "FILTER: User logged in, invoking shutdown", "User account successfully blocked: anna",
                              "Unable to adjust token privilege for shutdown", "Checking user:bert", trace,
                              "FILTER: found user with time restrictions:bert",
                              "User account successfully blocked: bert"}));
  EXPECT_EQ(Updates(), (Lines{"lock anna", "lock bert"}));
  EXPECT_EQ(PowerOffs(), 0u);
}

TEST_F(EnforcementTest, TickSeesTheProcessOwnerAndPowersOffInTheSamePass) {
  Users({{"anna", true}});
  Platform.Processes.Add(4, "system").FailAt = TProcessStep::Modules;
  Platform.Processes.Add(1200, "Anna");
  Module.Timer1Timer(&Module.Timer1);
  EXPECT_EQ(Module.SeenAccounts.Items(), Lines{"Anna"});
  EXPECT_EQ(PowerOffs(), 1u);
  EXPECT_TRUE(Platform.Processes.Outstanding().empty());
}

}  // namespace
