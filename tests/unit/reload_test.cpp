// What the start and the reloads make of the configuration and the platform:
// a reload adopts the configuration whole or not at all; the start warns of
// what lets the restrictions be escaped.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/exceptions.h"
#include "tests/fakes/fake_platform.h"

namespace {

const std::string kMain = "SOFTWARE\\Vrem\\NortavelFree";
const std::string kUsers = kMain + "\\Time_restrictions\\";

class ReloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Platform.Registry.SetDword(kMain, "Debug", 3);
    Platform.Registry.SetString(kMain, "Path", "C:\\Logs");
    for (const char* user : {"anna", "bert", "carl"})
      for (int day = 1; day <= 7; ++day) Platform.Registry.SetString(kUsers + user, "Time" + std::to_string(day), Rule);
  }

  std::vector<std::vector<std::string>> Rules() const {
    std::vector<std::vector<std::string>> rules;
    for (const TStringList& list : Module.UserRules) rules.push_back(list.Items());
    return rules;
  }

  const std::string Rule = std::string(14, '1') + std::string(34, '0');
  TFakePlatform Platform;
  TNortavelFree Module{Platform.View()};
};

TEST_F(ReloadTest, AFailedReloadKeepsThePreviousConfigurationWhole) {
  ASSERT_TRUE(Module.LoadConfiguration());
  const auto before = Rules();
  ASSERT_EQ(before.size(), 3u);

  // A typing slip in the middle user's key, and other changes around it that
  // must not be half taken over either.
  Platform.Registry.SetDword(kUsers + "bert", "Time2", 1);
  Platform.Registry.SetDword(kMain, "Debug", 4);
  Platform.Registry.SetString(kMain, "Path", "D:\\Elsewhere");
  EXPECT_THROW(Module.LoadConfiguration(), ERegistryException);

  EXPECT_EQ(Module.DebugLevel, 3);
  EXPECT_EQ(Module.AppPath, "C:\\Logs\\");
  EXPECT_EQ(Module.RestrictedUsers.Items(), (std::vector<std::string>{"anna", "bert", "carl"}));
  EXPECT_EQ(Rules(), before) << "carl must keep his rules";
  EXPECT_EQ(Platform.Registry.OpenHandleCount(), 0u);

  Platform.Registry.SetString(kUsers + "bert", "Time2", std::string(48, '1'));
  ASSERT_TRUE(Module.LoadConfiguration());
  EXPECT_EQ(Module.DebugLevel, 4);
  EXPECT_EQ(Module.AppPath, "D:\\Elsewhere\\");
  EXPECT_EQ(Module.UserRules.at(1)[1], std::string(48, '1'));
}

std::vector<std::string> WarningEvents(TFakePlatform& platform) {
  std::vector<std::string> texts;
  for (const TRecordedEvent& event : platform.ServiceRuntime.Events())
    if (event.Type == TEventLogger::kWarningType) texts.push_back(event.Source + ": " + event.Message);
  return texts;
}

TEST_F(ReloadTest, TheStartAloneWarnsOfA32BitServiceOn64BitWindowsAndAnOpenLogFolder) {
  Platform.Processes.Wow64 = true;
  Platform.LogFiles.FolderAccess = TFolderAccess::OthersMayWrite;
  Platform.Registry.SetDword(kMain, "Debug", 1);
  bool started = true;
  Module.ServiceStart(&Module, started);
  const std::string wow64 =
      "This 32-bit service runs on 64-bit Windows and cannot see 64-bit programs, so a restricted user running "
      "them is never switched off: install the 64-bit nortavel_free_service.exe instead";
  const std::string folder =
      "Users other than SYSTEM and Administrators may create or delete files in the log folder C:\\Logs\\: a "
      "restricted user could tamper with the log there; allow only SYSTEM and Administrators to change it";
  ASSERT_EQ(Module.DiagLog.LogLines.Count(), 2);
  EXPECT_NE(Module.DiagLog.LogLines[0].find("] WARNING:" + wow64), std::string::npos);
  EXPECT_NE(Module.DiagLog.LogLines[1].find("] WARNING:" + folder), std::string::npos);
  // The first tick reloads, as every sixtieth does, and looks at no folder.
  Platform.Registry.SetString(kMain, "Path", "D:\\Open");
  Module.Timer1Timer(&Module);
  ASSERT_EQ(Module.AppPath, "D:\\Open\\");
  EXPECT_EQ(WarningEvents(Platform),
            (std::vector<std::string>{"NortavelFree: " + wow64, "NortavelFree: " + folder}));
  EXPECT_EQ(Platform.LogFiles.Count("folder access C:\\Logs\\"), 1);
}

TEST_F(ReloadTest, ALogRefusedAsALinkIsReportedOncePerStart) {
  const std::string log = "C:\\Logs\\debug_free.log";
  Platform.LogFiles.Linked.insert(log);
  bool started = true;
  Module.ServiceStart(&Module, started);
  for (int tick = 0; tick < 3; ++tick) {
    Module.Log("line");
    Module.FlushLog();
  }
  const std::string event = "NortavelFree: The log file " + log +
                            " is a link or has more than one name, so the service does not write to it: delete it "
                            "and the service creates a new log";
  EXPECT_EQ(WarningEvents(Platform), std::vector<std::string>{event});
  EXPECT_EQ(std::count_if(Module.DiagLog.LogLines.begin(), Module.DiagLog.LogLines.end(),
                          [](const std::string& line) { return line.size() > 5 && line.substr(line.size() - 5) == " line"; }),
            3)
      << "the lines wait as for a locked file";
  Module.ServiceStart(&Module, started);  // a later start of the same module tells again
  Module.FlushLog();
  EXPECT_EQ(WarningEvents(Platform), (std::vector<std::string>{event, event}));
}

}  // namespace

namespace {
TEST_F(ReloadTest, RemovalGivesEveryConfiguredUserTheHoursBackAndNamesThoseItCannot) {
  Platform.Registry.SetString(kMain, "Debug", "3");  // which makes every load fail
  Platform.Accounts.UserStatus["bert"] = 5;
  Platform.Accounts.ReadStatus["carl"] = 2221;  // no such account: nothing to unlock
  Module.ServiceBeforeUninstall(&Module);
  std::vector<std::string> updated;
  for (const TLogonHoursUpdate& update : Platform.Accounts.Updates) {
    EXPECT_EQ(update.Hours, std::vector<uint8_t>(21, 0xFF));
    updated.push_back(update.User);
  }
  EXPECT_EQ(updated, (std::vector<std::string>{"anna", "bert"}));
  const auto events = Platform.ServiceRuntime.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Type, 2);  // a warning
  EXPECT_EQ(events[0].Message,
            "These users could not be given all logon hours back and may stay locked: bert. Run nortavelctl unlock "
            "--all as an administrator.");
}
}  // namespace
