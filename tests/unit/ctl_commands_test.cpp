// The commands of nortavelctl against fakes: exit codes, the exact texts on
// standard output and error, what the registry holds afterwards and what the
// account double was asked. The fixture is the tool's own seam. The real calls
// are proven under Wine.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

#include "common/calendar.h"
#include "ctl/command_context.h"
#include "tests/unit/ctl_fixture.h"

namespace {
using TOp = TFakeRegistry::TOp;

TEST_F(CtlCommandsTest, UsageErrorsExitWithTwoSayWhatAndWriteNothing) {
  EXPECT_EQ(Run({"frobnicate"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: unknown command 'frobnicate': run nortavelctl help for the list of commands\n");
  EXPECT_EQ(Run({"set", "child", "Mo-Fr", "07:15-08:00"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: \"07:15\" at column 7 is not on a half hour: use 07:00 or 07:30\n");
  EXPECT_EQ(Run({"--view", "48", "show"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: --view takes 32 or 64, not '48'\n");
  EXPECT_EQ(Run({"level", "9"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: level 9 does not exist: use 0 to 4\n");
  EXPECT_EQ(Run({"remove"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: usage: nortavelctl remove USER (run nortavelctl help remove)\n");
  EXPECT_EQ(Run({"help", "nonsense"}), kExitUsage);
  EXPECT_TRUE(Registry.CallsOf(TOp::Create).empty());
  EXPECT_TRUE(Out.str().empty());
}

TEST_F(CtlCommandsTest, HelpNamesEveryCommandAndVersionIsTheProjects) {
  EXPECT_EQ(Run({"--version"}), kExitSuccess);
  EXPECT_EQ(Out.str(), "nortavelctl 1.0.0\n");
  EXPECT_EQ(Run({"help"}), kExitSuccess);
  for (const char* command : {"set", "show", "status", "check", "remove", "unlock", "level", "logdir", "log", "export",
                              "grant", "warn", "timezone", "budget", "report"})
    EXPECT_NE(Out.str().find("\n  " + std::string(command) + " "), std::string::npos) << command;
  EXPECT_EQ(Run({"help", "unlock"}), kExitSuccess);
  EXPECT_EQ(Out.str().substr(0, 45), "Usage: nortavelctl unlock USER | unlock --all");
}

TEST_F(CtlCommandsTest, SetStoresExactlyTheWeekShowsItAndAsksTheRunningServiceToReload) {
  InstallService();
  Registry.SetString(kChild, "Time8", "stale");
  EXPECT_EQ(Run({"set", "child", "Mo-Fr 15:00-20:00; Sa,Su always-not"}), kExitUsage);
  EXPECT_EQ(Run({"set", "child", "Mo-Fr", "15:00-20:00;", "Sa,Su", "00:00-24:00"}), kExitSuccess) << Err.str();
  for (int n = 1; n <= 7; ++n)
    EXPECT_EQ(Stored(kChild, "Time" + std::to_string(n)), (n <= 5 ? kEveningDay : kAllowedDay) + '\0') << n;
  EXPECT_EQ(Stored(kChild, "Time8"), "(none)");
  EXPECT_EQ(Controls, std::vector<uint32_t>{kControlReloadConfiguration});
  const std::string out = Out.str();
  EXPECT_EQ(out.substr(0, out.find('\n')), "Stored in HKLM\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\child:");
  EXPECT_NE(out.find(">Wed ## ## ## ## ## ## ## ## ## ## ## ## ## ## ## .. .. .. .. .. ## ## ## ##\n"),
            std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 51), "The service reads the change within a few seconds.\n");
  EXPECT_EQ(Err.str(), "");
}

TEST_F(CtlCommandsTest, SetRefusesAnUnknownAccountUnlessForced) {
  Accounts.ReadStatus["nobody"] = 2221;  // NERR_UserNotFound
  EXPECT_EQ(Run({"set", "nobody", "always"}), kExitFailed);
  EXPECT_EQ(Err.str(), "nortavelctl: there is no local account named nobody: check the name (nortavelctl accounts "
                       "lists the accounts), or add --force for an account made later\n");
  EXPECT_FALSE(Registry.HasKey(kMain + "\\Time_restrictions\\nobody"));
  EXPECT_EQ(Run({"set", "--force", "nobody", "never"}), kExitSuccess);
  EXPECT_EQ(Stored(kMain + "\\Time_restrictions\\nobody", "Time7"), std::string(48, '1') + '\0');
  EXPECT_EQ(Out.str().substr(Out.str().rfind("The")), "The service is not installed: it reads the change when it starts.\n");
}

// A Microsoft account's local name is not the one on the sign-in screen.
TEST_F(CtlCommandsTest, SetOfAnUnknownNameSuggestsTheAccountShownByThatName) {
  Accounts.Listed = {{"annas", 1, 0x201, "Anna Smith", "anna.smith@outlook.com"}, {"Mum", 2, 0x201, "Mum Smith"}};
  const std::string anna = "did you mean annas (Anna Smith, anna.smith@outlook.com)? nortavelctl accounts lists the "
                           "accounts; add --force for an account made later";
  const std::pair<std::string, std::string> cases[] = {
      {"Anna Smith", anna},
      {"ANNA", anna},
      {"anna.smith@outlook.com", anna},
      {"anna.smith", anna},
      {"anas", "did you mean annas? nortavelctl accounts lists the accounts; add --force for an account made later"},
      {"Smith", "check the name (nortavelctl accounts lists the accounts), or add --force for an account made later"},
  };
  for (const auto& [typed, said] : cases) {
    Accounts.ReadStatus[typed] = 2221;  // NERR_UserNotFound
    EXPECT_EQ(Run({"set", typed, "never"}), kExitFailed);
    EXPECT_EQ(Err.str(), "nortavelctl: there is no local account named " + typed + ": " + said + "\n");
  }
}

TEST_F(CtlCommandsTest, SetOnAnAdministratorWarnsAndStoresTheRules) {
  Accounts.Listed = {{"root", 2}};
  ASSERT_EQ(Run({"set", "root", "never"}), kExitSuccess);
  EXPECT_EQ(Err.str(), "nortavelctl: root is an administrator: an administrator can stop the service and change these "
                       "rules. Make root a standard user (Settings > Accounts).\n");
  EXPECT_EQ(Stored(kMain + "\\Time_restrictions\\root", "Time1"), std::string(48, '1') + '\0');
}

TEST_F(CtlCommandsTest, AccountsListsTheNamesSetNeedsWithWhatTheSignInScreenShows) {
  ConfigureChild();
  Accounts.Listed = {{"Administrator", 2, 0x203},
                     {"child", 1, 0x201, "Anna Smith", "anna.smith@outlook.com"},
                     {"Mum", 2, 0x201, "Mum Smith", "mum@example.com"}};
  ASSERT_EQ(Run({"accounts"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str(),
            "Account        Full name   Type                     Microsoft account       Rules\n"
            "Administrator              administrator, disabled  -                       no\n"
            "child          Anna Smith  standard                 anna.smith@outlook.com  yes\n"
            "Mum            Mum Smith   administrator            mum@example.com         no\n\n"
            "nortavelctl set takes the name in the first column. A child needs a standard account: an administrator "
            "can stop the service.\n");
  Accounts.EnumStatus[0] = 5;
  EXPECT_EQ(Run({"accounts"}), kExitFailed);
  EXPECT_EQ(Err.str(), "nortavelctl: cannot read the local accounts (System error 5): run from an administrator "
                       "command prompt, or see them with net user\n");
}

TEST_F(CtlCommandsTest, TheViewFollowsTheServicesExecutableUnlessChosen) {
  Windows64 = true;
  InstallService(kStateStopped);
  Head = ImageHead(kMachineAmd64);
  ASSERT_EQ(Run({"level", "3"}), kExitSuccess);
  EXPECT_EQ(Registry.CallsOf(TOp::Create).back().Access & 0x300u, 0x100u);
  EXPECT_EQ(Out.str(), "Log level set to 3 in HKLM\\SOFTWARE\\Vrem\\NortavelFree.\n"
                       "The service is not running: it reads the change when it starts.\n");
  ASSERT_EQ(Run({"level", "1", "--view", "32"}), kExitSuccess);
  EXPECT_EQ(Registry.CallsOf(TOp::Create).back().Access & 0x300u, 0x200u);
  EXPECT_EQ(Out.str().substr(0, 66), "Log level set to 1 in HKLM\\SOFTWARE\\WOW6432Node\\Vrem\\NortavelFree.");
  EXPECT_TRUE(Controls.empty());
}

TEST_F(CtlCommandsTest, ShowWritesTheScheduleBackAndMarksNowBesideTheBudget) {
  ConfigureChild(kEveningDay);
  Registry.SetString(kChild, "Time6", std::string(40, '1'));
  Registry.SetDword(kChild, "Budget3", 60);
  ASSERT_EQ(Run({"show", "CHILD"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str().substr(0, Out.str().find('\n')), "child: Mo-Fr,Su 15:00-20:00; Sa 20:00-24:00");
  EXPECT_NE(Out.str().find("# restricted  . allowed  > ^ now: Wed 16:00\n"
                           "child may use the computer 1 h a day Wed; no daily limit on Mon-Tue,Thu-Sun.\n"),
            std::string::npos)
      << Out.str();
  EXPECT_EQ(Run({"show", "anna"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: anna has no rules in HKLM\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions: add "
                       "them with nortavelctl set anna SCHEDULE\n");
}

// A failed control that Windows gives no error for was not refused.
TEST_F(CtlCommandsTest, AReloadRequestThatFailsSaysWhatWasSeen) {
  InstallService();
  const std::pair<uint32_t, std::string> cases[] = {
      {0, "nortavelctl: the service did not answer the reload request; it reads the change within two minutes\n"},
      {1061, "nortavelctl: the service refused the reload request (System error 1061): it reads the change within "
             "two minutes, or restart it with net stop NortavelFree and net start NortavelFree\n"},
  };
  for (const auto& [error, said] : cases) {
    ControlRefused = error;
    ASSERT_EQ(Run({"level", "2"}), kExitSuccess);
    EXPECT_EQ(Err.str(), said);
  }
}

TEST_F(CtlCommandsTest, RemoveDeletesTheKeyAndGivesEveryHourBack) {
  ConfigureChild();
  ASSERT_EQ(Run({"remove", "child"}), kExitSuccess) << Err.str();
  EXPECT_FALSE(Registry.HasKey(kChild));
  ASSERT_EQ(Accounts.Updates.size(), 1u);
  EXPECT_EQ(Accounts.Updates[0].User, "child");
  EXPECT_EQ(Accounts.Updates[0].Hours, std::vector<uint8_t>(21, 0xFF));
  EXPECT_EQ(Run({"remove", "child"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: child has no rules in HKLM\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions: "
                       "nothing removed; nortavelctl show lists the configured users\n");
}

// A running service drops the user at its next tick; only then may the hours
// come back, or a pass with the old rules would take them away for good.
TEST_F(CtlCommandsTest, RemoveOnARunningServiceGivesTheHoursBackOnlyOnceTheServiceReloaded) {
  ConfigureChild();
  InstallService(kStateRunning);
  ASSERT_EQ(Run({"remove", "child"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Controls, std::vector<uint32_t>{128});
  EXPECT_EQ(Paused, std::vector<std::string>{"3000 ms after 1 controls and 0 updates"});
  EXPECT_EQ(Accounts.Updates.size(), 1u);
}

TEST_F(CtlCommandsTest, UnlockAllReportsTheAccountThatFailedWhateverTheConfigurationHolds) {
  ConfigureChild();
  Registry.SetString(kMain, "Debug", "2");  // which the service refuses
  Registry.SetDword(kMain + "\\Time_restrictions\\anna", "Time1", 0);
  Accounts.UserStatus["anna"] = 5;
  EXPECT_EQ(Run({"unlock", "--all"}), kExitFailed);
  EXPECT_EQ(Out.str(), "child may log on at any hour again.\n");
  EXPECT_EQ(Err.str(), "nortavelctl: cannot give anna the logon hours back: run from an administrator command prompt\n");
}

TEST_F(CtlCommandsTest, LogdirCreatesAMissingFolderForAdministratorsOnly) {
  Files.Files["C:\\NF"].Attributes = 0x10;
  ASSERT_EQ(Run({"logdir", "C:\\NF\\Logs\\"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Created, std::vector<std::string>{"C:\\NF\\Logs D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"});
  EXPECT_EQ(Stored(kMain, "Path"), std::string("C:\\NF\\Logs") + '\0');
}

TEST_F(CtlCommandsTest, LogdirCreatesTheMissingParentsButNeverARoot) {
  Files.Files["C:\\ProgramData"].Attributes = 0x10;
  const std::string only = " D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
  const struct {
    std::string Folder;
    std::vector<std::string> Created;
  } cases[] = {
      {"C:\\ProgramData\\NortavelFree\\Logs",
       {"C:\\ProgramData\\NortavelFree" + only, "C:\\ProgramData\\NortavelFree\\Logs" + only}},
      {"D:\\Logs", {"D:\\Logs" + only}},
      {"\\\\server\\share\\a\\b", {"\\\\server\\share\\a" + only, "\\\\server\\share\\a\\b" + only}},
      {"Logs\\today", {"Logs" + only, "Logs\\today" + only}},
  };
  for (const auto& c : cases) {
    Created.clear();
    ASSERT_EQ(Run({"logdir", c.Folder}), kExitSuccess) << Err.str();
    EXPECT_EQ(Created, c.Created) << c.Folder;
  }
  Created.clear();
  ASSERT_EQ(Run({"logdir", "C:\\ProgramData\\Nortavel\\Logs"}), kExitSuccess);
  EXPECT_EQ(Out.str().substr(0, Out.str().find("Log folder")),
            "Created C:\\ProgramData\\Nortavel (only SYSTEM and the Administrators may write there).\n"
            "Created C:\\ProgramData\\Nortavel\\Logs (only SYSTEM and the Administrators may write there).\n");
}

TEST_F(CtlCommandsTest, LogdirTakesATrailingQuoteForTheBackslashTheCommandLineMadeItOf) {
  // logdir "D:\Logs\" reaches the tool as D:\Logs" (\" is a quote to the C runtime).
  const std::pair<std::string, std::string> cases[] = {{"D:\\Logs\"", "D:\\Logs"}, {"D:\"", "D:\\"}};
  for (const auto& [given, stored] : cases) {
    Files.Files[stored].Attributes = 0x10;
    ASSERT_EQ(Run({"logdir", given}), kExitSuccess) << Err.str();
    EXPECT_EQ(Stored(kMain, "Path"), stored + '\0') << given;
  }
}

TEST_F(CtlCommandsTest, LogdirSaysWhichFolderItCouldNotCreate) {
  FailCreate = "Q:\\Logs";
  EXPECT_EQ(Run({"logdir", "Q:\\Logs\\today"}), kExitFailed);
  EXPECT_EQ(Err.str(),
            "nortavelctl: Cannot create the folder Q:\\Logs: System error 3: check that its drive or share exists\n");
  EXPECT_EQ(Stored(kMain, "Path"), "(none)");
}

// The package keeps a copy before its steps write, and puts it back when a
// later step fails: what existed keeps its value, the rest goes, with the
// folders logdir made and the log the service wrote there.
TEST_F(CtlCommandsTest, InstallerRollbackPutsTheSettingsBackAndRemovesTheFoldersLogdirMade) {
  Registry.SetDword(kMain, "Debug", 4);
  Registry.SetString(kMain, "Path", "C:\\keep");
  Files.Files["C:\\ProgramData"].Attributes = 0x10;
  ASSERT_EQ(Run({"installer", "begin"}), kExitSuccess) << Err.str();
  ASSERT_EQ(Run({"logdir", "C:\\ProgramData\\NortavelFree\\logs"}), kExitSuccess) << Err.str();
  Files.Files["C:\\ProgramData\\NortavelFree\\logs\\debug_free.log"].Data = "[ 1 ] started\r\n";
  ASSERT_EQ(Run({"level", "2"}), kExitSuccess);
  ASSERT_EQ(Run({"keepusage", "on"}), kExitSuccess);
  ASSERT_EQ(Run({"installer", "rollback"}), kExitSuccess) << Err.str();
  const std::string key = "In HKLM\\SOFTWARE\\Vrem\\NortavelFree: ";
  EXPECT_EQ(Out.str(), key + "removed KeepUsage.\n" + key + "restored Debug.\n" + key + "restored Path.\n" +
                           "Removed C:\\ProgramData\\NortavelFree\\logs.\nRemoved C:\\ProgramData\\NortavelFree.\n"
                           "The settings are as they were before the install.\n");
  EXPECT_EQ(Stored(kMain, "Debug"), std::string("\x04\0\0\0", 4));
  EXPECT_EQ(Stored(kMain, "Path"), std::string("C:\\keep") + '\0');
  EXPECT_EQ(Stored(kMain, "KeepUsage"), "(none)");
  EXPECT_EQ(Files.Files.count("C:\\ProgramData\\NortavelFree"), 0u);
  EXPECT_EQ(Files.Files.count("C:\\ProgramData"), 1u);
}

// Every key of the main key's path is made by the install here.
TEST_F(CtlCommandsTest, InstallerRollbackLeavesNoKeyItMadeAndCommitKeepsTheSettings) {
  for (const std::string end : {"commit", "rollback"}) {
    Registry.RemoveKey("SOFTWARE");
    ASSERT_EQ(Run({"installer", "begin"}), kExitSuccess) << Err.str();
    ASSERT_EQ(Run({"warn", "10"}), kExitSuccess);
    ASSERT_EQ(Run({"installer", end}), kExitSuccess) << Err.str();
    EXPECT_FALSE(Registry.HasKey(kMain + ".install")) << end;
    EXPECT_EQ(Stored(kMain, "WarnMinutes"), end == "commit" ? std::string("\x0A\0\0\0", 4) : "(none)");
    EXPECT_EQ(Registry.HasKey("SOFTWARE"), end == "commit") << end;
  }
}

TEST(CtlErrorTextTest, AnErrorWindowsHasNoTextForShowsItsCode) {
  EXPECT_EQ(ErrorText(1234, ""), "error 1234");
  EXPECT_EQ(ErrorText(5, "Access is denied"), "Access is denied");
}

TEST_F(CtlCommandsTest, RemoveOfADeletedAccountRemovesTheRulesAndSucceeds) {
  ConfigureChild();
  Accounts.ReadStatus["child"] = 2221;  // NERR_UserNotFound
  EXPECT_EQ(Run({"remove", "child"}), kExitSuccess);
  EXPECT_FALSE(Registry.HasKey(kChild));
  EXPECT_TRUE(Accounts.Updates.empty());
  EXPECT_EQ(Out.str(), "Removed HKLM\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\child.\n"
                       "The service is not installed: it reads the change when it starts.\n"
                       "There is no local account named child: no logon hours to give back.\n");
  EXPECT_EQ(Err.str(), "");
}

TEST_F(CtlCommandsTest, SetReadsTheFormsPeopleTypeAndPrintsTheScheduleBack) {
  ASSERT_EQ(Run({"SET", "child", "mon-fri", "3pm-8pm,", "7", "-", "8"}), kExitSuccess) << Err.str();
  EXPECT_NE(Out.str().find("  > ^ now: Wed 16:00\nSchedule: Mo-Fr 07:00-08:00 15:00-20:00\n"), std::string::npos)
      << Out.str();
}

TEST_F(CtlCommandsTest, CommandsIgnoreLetterCaseAndASlipGetsTheNearest) {
  ConfigureChild();
  EXPECT_EQ(Run({"SHOW"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Run({"Status"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Run({"HELP", "Schedule"}), kExitSuccess);
  EXPECT_EQ(Out.str().substr(0, 10), "A schedule");
  const struct {
    std::vector<std::string> Args;
    const char* Error;
  } cases[] = {
      {{"shwo"}, "unknown command 'shwo': did you mean show?"},
      {{"rm", "child"}, "unknown command 'rm': run nortavelctl help for the list of commands"},
      {{"help", "shedule"}, "there is no command 'shedule': did you mean schedule?"},
      {{"help", "nonsense"}, "there is no command 'nonsense': run nortavelctl help for the list"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.Args), kExitUsage) << c.Args[0];
    EXPECT_EQ(Err.str(), "nortavelctl: " + std::string(c.Error) + "\n");
  }
}

TEST_F(CtlCommandsTest, AnUnknownUserGetsTheNearestConfiguredOnes) {
  ConfigureChild();
  Registry.SetString(kMain + "\\Time_restrictions\\ghost", "Time1", kAllowedDay);
  Accounts.ReadStatus["chlid"] = 2221;
  Accounts.ReadStatus["ghost"] = 2221;
  const std::string key = "HKLM\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions";
  const struct {
    std::vector<std::string> Args;
    int Exit;
    std::string Error;
  } cases[] = {
      {{"show", "chlid"}, kExitUsage,
       "chlid has no rules in " + key + ": add them with nortavelctl set chlid SCHEDULE; did you mean child?"},
      {{"remove", "Chil"}, kExitUsage,
       "Chil has no rules in " + key + ": nothing removed; nortavelctl show lists the configured users; did you "
       "mean child?"},
      {{"grant", "chlid", "30m"}, kExitUsage,
       "chlid has no rules in " + key + ": extra time is for restricted users; add rules with nortavelctl set chlid "
       "SCHEDULE; did you mean child?"},
      {{"budget", "chlid", "daily", "1h"}, kExitUsage,
       "chlid has no rules in " + key + ": a daily budget is for restricted users; add rules with nortavelctl set "
       "chlid SCHEDULE; did you mean child?"},
      {{"grant", "--clear", "gohst"}, kExitUsage,
       "gohst has no rules in " + key + ": extra time is for restricted users; add rules with nortavelctl set gohst "
       "SCHEDULE; did you mean ghost?"},
      {{"unlock", "chlid"}, kExitUsage,
       "there is no local account named chlid: nothing to unlock; check the name (net user lists the accounts); "
       "did you mean child?"},
      {{"unlock", "ghost"}, kExitFailed,
       "there is no local account named ghost: nothing to unlock; check the name (net user lists the accounts)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.Args), c.Exit) << c.Args[1];
    EXPECT_EQ(Err.str(), "nortavelctl: " + c.Error + "\n");
  }
  EXPECT_TRUE(Registry.HasKey(kChild));
  EXPECT_TRUE(Accounts.Updates.empty());
}

TEST(CtlNearestNamesTest, OffersOnlyNamesASlipAway) {
  const struct {
    std::string Typed;
    std::vector<std::string> Names, Nearest;
  } cases[] = {
      {"anna", {"anne", "annie", "bob"}, {"anne"}},
      {"ann", {"anna", "bob", "anne"}, {"anna", "anne"}},
      {"ANA", {"anna"}, {"anna"}},
      {"chidl", {"child"}, {"child"}},
      {"stat", {"status", "set"}, {"status"}},
      {"x", {"y"}, {}},
      {"bob", {"tom"}, {}},
      {"frobnicate", {"status", "remove", "unlock"}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(NearestNames(c.Typed, c.Names), c.Nearest) << c.Typed;
  EXPECT_EQ(DidYouMean("jon", {"jan", "jen", "jin", "john"}), "did you mean jan, jen, jin or john?");
  EXPECT_EQ(DidYouMean("bob", {"tom"}), "");
}

TEST_F(CtlCommandsTest, CheckNamesEveryFindingWithItsKeyAndFix) {
  InstallService();
  Config.StartType = 3;
  Config.BinaryPath = "C:\\Program Files\\NortavelFree\\nortavel_free_service.exe";
  ConfigureChild();
  Registry.SetString(kMain, "Debug", "2");
  Registry.SetString(kChild, "Time3", std::string(40, '0'));
  Registry.SetDword(kChild, "Time5", 0);
  Registry.SetString(kMain + "\\Time_restrictions\\ghost", "Time1", kAllowedDay);
  Accounts.ReadStatus["ghost"] = 2221;
  Files.FolderAccess = TFolderAccess::OthersMayWrite;
  EXPECT_EQ(Run({"check"}), kExitFailed);
  const std::string key = "HKLM\\SOFTWARE\\Vrem\\NortavelFree";
  EXPECT_EQ(Out.str(),
            "error: service NortavelFree does not start automatically: nobody is restricted after a restart; run sc "
            "config NortavelFree start= auto\n"
            "error: service NortavelFree is registered without quotes around a path with blanks (C:\\Program "
            "Files\\NortavelFree\\nortavel_free_service.exe): Windows may start another program in its place; "
            "reinstall it with nortavel_free_service.exe /UNINSTALL and /INSTALL\n"
            "error: " + key + "\\Debug is REG_SZ, not REG_DWORD: the service refuses the whole configuration; set it "
            "with nortavelctl level N\n"
            "warning: the log folder C:\\Logs (" + key + "\\Path) may be written by others than SYSTEM and the "
            "Administrators: a restricted user can delete the log; run nortavelctl logdir with a new folder, which "
            "it creates for administrators only\n"
            "warning: " + key + "\\TimeZone is not set: the rules follow the computer's time zone, which any user may "
            "change to gain time; keep them to the zone the computer has now with nortavelctl timezone --current\n"
            "error: " + key + "\\Time_restrictions\\child\\Time3 has 40 characters, not 48: child may use the "
            "computer on Wednesday from 20:00 on: set the rules again with nortavelctl set child SCHEDULE\n"
            "error: " + key + "\\Time_restrictions\\child\\Time5 is REG_DWORD, not REG_SZ: the service refuses the "
            "whole configuration: set the rules again with nortavelctl set child SCHEDULE\n"
            "error: " + key + "\\Time_restrictions\\ghost\\Time2 is missing: the service reads no rule from Tuesday "
            "on, so ghost may use the computer all day then: set the rules again with nortavelctl set ghost "
            "SCHEDULE\n"
            "error: user ghost (" + key + "\\Time_restrictions\\ghost) has no local account: the service cannot "
            "lock it; check the name, or remove the rules with nortavelctl remove ghost\n"
            "7 error(s), 2 warning(s).\n");
}

// Windows Installer keeps the registration it made: a repair writes it again.
TEST_F(CtlCommandsTest, CheckMendsAServiceThePackageInstalledByRepairingThePackage) {
  InstallService();
  Config.BinaryPath = "C:\\Program Files\\NortavelFree\\nortavel_free_service.exe";
  ConfigureChild();
  const std::string products = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  Registry.SetString(products + "{11111111-2222-3333-4444-555555555555}", "DisplayName", "Other");
  Registry.SetString(products + "{6E1B7C2A-0000-4B8E-9A51-2C7D0E9F1A64}", "DisplayName", "Nortavel free");
  Run({"check"});
  EXPECT_NE(Out.str().find("error: service NortavelFree is registered without quotes around a path with blanks "
                           "(C:\\Program Files\\NortavelFree\\nortavel_free_service.exe): Windows may start "
                           "another program in its place; repair the package with msiexec /fa "
                           "{6E1B7C2A-0000-4B8E-9A51-2C7D0E9F1A64}\n"),
            std::string::npos)
      << Out.str();
}

TEST_F(CtlCommandsTest, StatusSaysWhatHappensWhenTheServiceFails) {
  InstallService();
  RecoveryReadable = true;
  const struct {
    uint32_t Reset;
    std::vector<TServiceAction> Actions;
    const char* Line;
  } cases[] = {
      {86400, {{1, 10000}, {1, 10000}, {1, 10000}},
       "restart after a failure (10 s, 10 s, 10 s later), failures counted afresh after 1 day"},
      {7200, {{1, 60000}, {0, 0}}, "restart after a failure (60 s later), failures counted afresh after 2 h"},
      {0, {}, "none: a service that fails stays stopped; reinstall it with nortavel_free_service.exe /UNINSTALL and "
              "/INSTALL"},
  };
  for (const auto& c : cases) {
    ResetPeriod = c.Reset;
    Recovery = c.Actions;
    ASSERT_EQ(Run({"status"}), kExitSuccess);
    EXPECT_NE(Out.str().find(std::string("\nRecovery:    ") + c.Line + "\n"), std::string::npos) << Out.str();
  }
}

TEST_F(CtlCommandsTest, StatusAndCheckNameUsersLockedWhileNoServiceRuns) {
  const struct {
    bool Installed;
    uint32_t State;
    const char* Text;  // "" nothing said
  } cases[] = {
      {true, kStateRunning, ""},
      {true, kStateStopped,
       "child is locked and the service is not running to give the logon hours back: start it with sc start "
       "NortavelFree, or run nortavelctl unlock --all"},
      {false, 0, "child is locked and no service is installed to give the logon hours back: run nortavelctl unlock --all"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    Installed = false;
    if (c.Installed) InstallService(c.State);
    ConfigureChild();
    Accounts.Updates = {TLogonHoursUpdate{true, "child", 1020, 168, std::vector<uint8_t>(21, 0), true}};
    Run({"status"});
    const std::string status = Out.str();
    Run({"check"});
    const std::string check = Out.str();
    if (*c.Text == '\0') {
      EXPECT_EQ(status.find("locked and"), std::string::npos) << status;
      EXPECT_EQ(check.find("locked and"), std::string::npos) << check;
    } else {
      EXPECT_NE(status.find(std::string("\nWarning:     ") + c.Text + "\n"), std::string::npos) << status;
      EXPECT_NE(check.find(std::string("error: ") + c.Text + "\n"), std::string::npos) << check;
    }
  }
}

// child is configured; the accounts the system lists decide the findings.
TEST_F(CtlCommandsTest, CheckFindsRestrictedAdministratorsAnEnabledGuestAndAccountsWithoutLimits) {
  using TUsers = std::vector<TFakeAccounts::TListedUser>;
  const std::string fix = "; set limits with nortavelctl set USER SCHEDULE, or disable an account with net user USER "
                          "/active:no\n0 error(s), 1 warning(s).\n";
  const struct { TUsers Listed; uint32_t Refused; std::string Out; } cases[] = {
      {{{"Mum", 2}, {"CHILD", 2}}, 0,
       "error: child is an administrator: an administrator can stop the service and change these rules. Make child "
       "a standard user (Settings > Accounts).\n1 error(s), 0 warning(s).\n"},
      {{{"Guest", 0}, {"child"}}, 0,
       "warning: the Guest account is enabled: anyone can use the computer without a time limit; disable it with "
       "net user Guest /active:no\n0 error(s), 1 warning(s).\n"},
      {{{"Mum", 2}, {"anna"}, {"child"}, {"bob", 1, 0x203}, {"Guest", 0, 0x203}, {"visitor", 0}, {"Sam", 1, 0x10}}, 0,
       "warning: these accounts have no time limits and can be used to get around them: anna, Sam" + fix},
      {{{"anna"}, {"child"}}, 0,
       "warning: this account has no time limits and can be used to get around them: anna" + fix},
      {{{"anna"}}, 5,  // ERROR_ACCESS_DENIED
       "warning: cannot read the local accounts (System error 5): this check cannot tell whether a restricted user is "
       "an administrator or which accounts have no time limits; net user lists them\n0 error(s), 1 warning(s).\n"},
  };
  InstallService();
  ConfigureChild();
  // A pinned zone, so that the accounts' findings are the only ones.
  Registry.SetValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\UTC", "TZI",
                    TRegistryApi::kRegBinary, std::string(44, '\0'));
  Registry.SetString(kMain, "TimeZone", "UTC");
  for (const auto& c : cases) {
    Accounts.Listed = c.Listed;
    Accounts.EnumStatus.clear();
    if (c.Refused != 0) Accounts.EnumStatus[0] = c.Refused;
    EXPECT_EQ(Run({"check"}), c.Out.rfind("error", 0) == 0 ? kExitFailed : kExitSuccess) << c.Out;
    EXPECT_EQ(Out.str(), c.Out);
  }
}

TEST_F(CtlCommandsTest, StatusTellsWhoIsAllowedUntilWhen) {
  InstallService();
  ConfigureChild(kEveningDay);
  Processes.Add(17, "child");
  ASSERT_EQ(Run({"status"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str(),
            "Service:     running, automatic start, account LocalSystem\n"
            "Executable:  C:\\Program Files\\NortavelFree\\nortavel_free_service.exe (32-bit)\n"
            "Registry:    HKLM\\SOFTWARE\\Vrem\\NortavelFree (only view, the view the service reads)\n"
            "Log level:   2\n"
            "Log folder:  C:\\Logs\\\n"
            "Time ends:   the computer is switched off\n"
            "Now:         Wed 16:10\n\n"
            "User            Now         Until       Today  Logon hours  Processes\n"
            "child           allowed     Wed 20:00   0 min  unlocked     yes\n");
}

TEST_F(CtlCommandsTest, ExportWritesTheRegFileRegImportReads) {
  Registry.SetDword(kMain, "Debug", 2);
  Registry.SetString(kMain, "Path", "C:\\Logs \"x\"");
  Registry.SetString(kChild, "Time1", "01");
  ASSERT_EQ(Run({"export"}), kExitSuccess) << Err.str();
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrem\\NortavelFree]\r\n"
      "\"Debug\"=dword:00000002\r\n"
      "\"Path\"=\"C:\\\\Logs \\\"x\\\"\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\child]\r\n"
      "\"Time1\"=\"01\"\r\n\r\n";
  std::string expected = "\xFF\xFE";
  for (const char c : text) expected += std::string(1, c) + '\0';
  EXPECT_EQ(Out.str(), expected);

  Console = true;
  ASSERT_EQ(Run({"export"}), kExitSuccess) << Err.str();
  std::string readable;
  for (const char c : text)
    if (c != '\r') readable += c;
  EXPECT_EQ(Out.str(), readable);
}

TEST_F(CtlCommandsTest, LogPrintsTheLastLinesOfTheServicesLog) {
  // The service adds a backslash to the folder: natively that makes a file name in /tmp.
  const std::string folder = "/tmp/nortavelctl-log-" + std::to_string(getpid());
  const std::string file = folder + "\\debug_free.log";
  std::ofstream(file, std::ios::binary) << "[ 1 ] one\r\n[ 2 ] two\r\n[ 3 ] three\r\n[ 4 ] half";
  Registry.SetString(kMain, "Path", folder);
  EXPECT_EQ(Run({"log", "-n", "2"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str(), "[ 2 ] two\n[ 3 ] three\n");
  std::remove(file.c_str());
  EXPECT_EQ(Run({"log"}), kExitFailed);
  EXPECT_EQ(Err.str(), "nortavelctl: cannot read " + file +
                           ": the service has not written it yet (is the level 0?), or run from an administrator "
                           "command prompt\n");
}

TEST(CtlServiceInfoTest, ReadsTheMachineAndTheExecutableOfACommandLine) {
  EXPECT_EQ(ImageMachine(ImageHead(kMachineAmd64)), kMachineAmd64);
  EXPECT_EQ(ImageMachine("MZ not an image"), 0);
  std::string farOff = ImageHead(kMachineI386);
  farOff[0x3C] = 0x7F;
  EXPECT_EQ(ImageMachine(farOff), 0);
  EXPECT_EQ(ExecutableOf("\"C:\\A B\\svc.exe\" /x"), "C:\\A B\\svc.exe");
  EXPECT_EQ(ExecutableOf("C:\\A B\\svc.exe /x"), "C:\\A B\\svc.exe");
  EXPECT_EQ(ExecutableOf("C:\\svc.exec\\svc.EXE"), "C:\\svc.exec\\svc.EXE");
}

}  // namespace

namespace {
const std::string kZones = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const std::string kComputerZone = "SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";
// UTC + 9 h and UTC - 8 h, without daylight saving.
const std::string kTokyoTzi = std::string("\xE4\xFD\xFF\xFF", 4) + std::string(40, '\0');
const std::string kPacificTzi = std::string("\xE0\x01\x00\x00", 4) + std::string(40, '\0');

class CtlTimeCommandsTest : public CtlCommandsTest {
 protected:
  CtlTimeCommandsTest() {
    InstallService();
    ConfigureChild(kEveningDay);
    Registry.SetValue(kZones + "\\Tokyo Standard Time", "TZI", TRegistryApi::kRegBinary, kTokyoTzi);
    Registry.SetValue(kZones + "\\Pacific Standard Time", "TZI", TRegistryApi::kRegBinary, kPacificTzi);
    Registry.SetString(kComputerZone, "TimeZoneKeyName", "Pacific Standard Time");
  }
};

struct TGrantCase {
  const char* Name;
  int Hour, Minute, Second;  // on Wednesday 9 December 2026
  const char* Before;        // AllowUntil stored before, "" none
  std::vector<std::string> Args;
  const char* Stored;
};

TEST_F(CtlTimeCommandsTest, GrantAddsToTheTimeTheUserHasAnyway) {
  const TGrantCase cases[] = {
      {"while allowed: from the end of the window", 16, 10, 0, "", {"30m"}, "2026-12-09 20:30"},
      {"hours and minutes", 16, 10, 0, "", {"1h30m"}, "2026-12-09 21:30"},
      {"while restricted: from now, to the next whole minute", 21, 10, 20, "", {"30m"}, "2026-12-09 21:41"},
      {"after extra time given before", 16, 10, 0, "2026-12-09 20:30", {"30m"}, "2026-12-09 21:00"},
      {"extra time that has passed counts no more", 21, 10, 0, "2026-12-09 20:30", {"2h"}, "2026-12-09 23:10"},
      {"until later today", 16, 10, 0, "", {"until", "22:00"}, "2026-12-09 22:00"},
      {"until past midnight: tomorrow", 23, 10, 0, "", {"until", "00:30"}, "2026-12-10 00:30"},
      {"until as the schedule writes it", 16, 10, 0, "", {"UNTIL", "9:45", "pm"}, "2026-12-09 21:45"},
      {"until midnight", 23, 10, 0, "", {"until", "24:00"}, "2026-12-10 00:00"},
      {"a length in words", 16, 10, 0, "", {"1", "hour", "15", "minutes"}, "2026-12-09 21:15"},
  };
  for (const TGrantCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Registry.RemoveValue(kChild, "AllowUntil");
    if (*c.Before) Registry.SetString(kChild, "AllowUntil", c.Before);
    Clock.Set(3, c.Hour, c.Minute, c.Second);
    Controls.clear();
    std::vector<std::string> args = {"grant", "Child"};
    args.insert(args.end(), c.Args.begin(), c.Args.end());
    ASSERT_EQ(Run(args), kExitSuccess) << Err.str();
    EXPECT_EQ(Stored(kChild, "AllowUntil"), std::string(c.Stored) + '\0');
    EXPECT_EQ(Out.str().substr(0, Out.str().find('\n') + 1),
              "child may use the computer until " + std::string(c.Stored[9] == '9' ? "Wed " : "Thu ") + c.Stored +
                  ".\n");
    EXPECT_EQ(Controls, std::vector<uint32_t>{128}) << "the running service is asked to reload";
  }
}

TEST_F(CtlTimeCommandsTest, GrantRefusesWhatItCannotStore) {
  const struct { std::vector<std::string> Args; int Exit; const char* Error; } cases[] = {
      {{"grant", "nobody", "30m"}, kExitUsage,
       "nortavelctl: nobody has no rules in HKLM\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions: extra time is for "
       "restricted users; add rules with nortavelctl set nobody SCHEDULE\n"},
      {{"grant", "child", "25h"}, kExitUsage, "nortavelctl: grant gives at most 24h at a time, not 25h\n"},
      {{"grant", "child", "30"}, kExitUsage,
       "nortavelctl: grant takes a time like 30m, 2h, 1h30m or 90 minutes, or until 21:30 or 9pm, not '30'\n"},
      {{"grant", "child", "30m2h"}, kExitUsage,
       "nortavelctl: grant takes a time like 30m, 2h, 1h30m or 90 minutes, or until 21:30 or 9pm, not '30m2h'\n"},
      {{"grant", "child", "0m"}, kExitUsage,
       "nortavelctl: grant takes a time like 30m, 2h, 1h30m or 90 minutes, or until 21:30 or 9pm, not '0m'\n"},
      {{"grant", "child", "until", "24:30"}, kExitUsage,
       "nortavelctl: until takes a time of day such as 21:30, 9pm, 9:30pm or 21, not '24:30'\n"},
      {{"grant", "child", "until", "13pm"}, kExitUsage,
       "nortavelctl: until takes a time of day such as 21:30, 9pm, 9:30pm or 21, not '13pm'\n"},
      {{"grant", "child", "until"}, kExitUsage,
       "nortavelctl: usage: nortavelctl grant USER until 21:30 (run nortavelctl help grant)\n"},
      {{"grant", "child", "until", "16:00"}, kExitUsage,
       "nortavelctl: 16:00 has passed today: give a time still to come, or a length such as 30m\n"},
      {{"grant", "child"}, kExitUsage,
       "nortavelctl: usage: nortavelctl grant USER 30m|2h|until HH:MM|--clear (run nortavelctl help grant)\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.Args), c.Exit) << c.Args.back();
    EXPECT_EQ(Err.str(), c.Error);
  }
  EXPECT_EQ(Stored(kChild, "AllowUntil"), "(none)");
}

TEST_F(CtlTimeCommandsTest, GrantClearTakesTheExtraTimeBack) {
  Registry.SetString(kChild, "AllowUntil", "2026-12-09 21:00");
  ASSERT_EQ(Run({"grant", "child", "--clear"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Stored(kChild, "AllowUntil"), "(none)");
  EXPECT_EQ(Out.str().substr(0, Out.str().find('\n') + 1), "Extra time of child removed.\n");
  ASSERT_EQ(Run({"grant", "child", "--clear"}), kExitSuccess);
  EXPECT_EQ(Out.str().substr(0, Out.str().find('\n') + 1), "child had no extra time.\n");
}

TEST_F(CtlTimeCommandsTest, TimezoneStoresTheDatabasesSpellingAndRefusesUnknownNames) {
  ASSERT_EQ(Run({"timezone", "tokyo", "standard", "time"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Stored(kMain, "TimeZone"), std::string("Tokyo Standard Time") + '\0');
  EXPECT_EQ(Controls, std::vector<uint32_t>{128});
  ASSERT_EQ(Run({"timezone"}), kExitSuccess);
  EXPECT_EQ(Out.str(), "The restrictions keep to Tokyo Standard Time (the computer's time zone: Pacific Standard Time).\n");

  EXPECT_EQ(Run({"timezone", "Mars Standard Time"}), kExitFailed);
  EXPECT_EQ(Err.str(),
            "nortavelctl: there is no time zone named 'Mars Standard Time' on this computer: tzutil /l lists the "
            "names (the line below each zone)\n");
  Registry.SetValue(kZones + "\\Tokyo Standard Time\\Nested", "TZI", TRegistryApi::kRegBinary, kTokyoTzi);
  EXPECT_EQ(Run({"timezone", "Tokyo Standard Time\\Nested"}), kExitFailed) << "a key below a zone is none";
  EXPECT_EQ(Stored(kMain, "TimeZone"), std::string("Tokyo Standard Time") + '\0');

  ASSERT_EQ(Run({"timezone", "--current"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Stored(kMain, "TimeZone"), std::string("Pacific Standard Time") + '\0');
  ASSERT_EQ(Run({"timezone", "--clear"}), kExitSuccess);
  EXPECT_EQ(Stored(kMain, "TimeZone"), "(none)");
  EXPECT_EQ(Run({"timezone"}), kExitSuccess);
  EXPECT_EQ(Out.str(), "The restrictions follow the computer's time zone (Pacific Standard Time).\n");
}

TEST_F(CtlTimeCommandsTest, TheFirstUserPinsTheComputersZoneAndLaterOnesDoNot) {
  const std::string pinned =
      "The rules keep to this computer's time zone, Pacific Standard Time, where it is Wed 16:10 now, so that "
      "changing the zone gains no time; nortavelctl timezone --clear undoes this.\n";
  ASSERT_EQ(Run({"set", "anna", "never"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str().find(pinned), std::string::npos) << "child was configured before";
  EXPECT_EQ(Stored(kMain, "TimeZone"), "(none)");

  Registry.RemoveKey(kMain + "\\Time_restrictions");
  ASSERT_EQ(Run({"set", "anna", "never"}), kExitSuccess) << Err.str();
  EXPECT_NE(Out.str().find(pinned), std::string::npos) << Out.str();
  EXPECT_EQ(Stored(kMain, "TimeZone"), std::string("Pacific Standard Time") + '\0');

  // A zone pinned before says its time, which shows a zone a child had chosen.
  Registry.SetString(kMain, "TimeZone", "Tokyo Standard Time");
  Clock.SetUtc(DateTimeAt(DaysFromCivil(2026, 12, 9) * 86400 + 10 * 3600 + 10 * 60));
  ASSERT_EQ(Run({"set", "anna", "never"}), kExitSuccess) << Err.str();
  EXPECT_NE(Out.str().find("\nThe rules keep to the time zone Tokyo Standard Time, where it is Wed 19:10 now: if that "
                           "is not the time here, keep them to the right zone with nortavelctl timezone NAME.\n"),
            std::string::npos)
      << Out.str();

  // A parent's own choice, even "follow the computer" (--clear), is never undone.
  ASSERT_EQ(Run({"timezone", "--clear"}), kExitSuccess);
  Registry.RemoveKey(kMain + "\\Time_restrictions");
  Registry.SetString(kMain, "TimeZone", "");
  ASSERT_EQ(Run({"set", "anna", "never"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str().find(pinned), std::string::npos);
}

TEST_F(CtlTimeCommandsTest, WarnStoresTheMinutes) {
  ASSERT_EQ(Run({"warn", "10"}), kExitSuccess);
  EXPECT_EQ(Stored(kMain, "WarnMinutes"), std::string("\x0A\0\0\0", 4));
  EXPECT_EQ(Run({"warn", "61"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: warn takes 0 to 60 minutes, not 61\n");
}

TEST_F(CtlTimeCommandsTest, BackstopStoresItsSwitchAndStatusShowsIt) {
  ASSERT_EQ(Run({"backstop", "ON"}), kExitSuccess);
  EXPECT_EQ(Stored(kMain, "LogonHoursBackstop"), std::string("\x01\0\0\0", 4));
  ASSERT_EQ(Run({"status"}), kExitSuccess);
  EXPECT_NE(Out.str().find("Backstop:    Windows' logon hours hold the rules while the service is not running\n"),
            std::string::npos);
  ASSERT_EQ(Run({"backstop", "off"}), kExitSuccess);
  EXPECT_EQ(Stored(kMain, "LogonHoursBackstop"), std::string(4, '\0'));
  EXPECT_EQ(Run({"backstop", "1"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: backstop takes on or off, not '1'\n");
}

TEST_F(CtlTimeCommandsTest, StatusShowsTheZoneTheWarningAndExtraTime) {
  Registry.SetString(kMain, "TimeZone", "Tokyo Standard Time");
  Registry.SetDword(kMain, "WarnMinutes", 1);
  Registry.SetString(kChild, "AllowUntil", "2026-12-09 20:45");
  // The computer says 16:10; in Tokyo it is 19:10.
  TDateTime utc = DateTimeAt(DaysFromCivil(2026, 12, 9) * 86400 + 10 * 3600 + 10 * 60);
  Clock.SetUtc(utc);
  ASSERT_EQ(Run({"status"}), kExitSuccess) << Err.str();
  const std::string out = Out.str();
  EXPECT_EQ(out.substr(out.find("Time zone:")),
            "Time zone:   Tokyo Standard Time, whatever the computer's\n"
            "Warnings:    1 minute before the time ends\n"
            "Time ends:   the computer is switched off\n"
            "Now:         Wed 19:10 in Tokyo Standard Time\n\n"
            "User            Now         Until       Today  Logon hours  Processes\n"
            "child           allowed     Wed 20:45   0 min  unlocked     no\n\n"
            "Extra time:  child until 2026-12-09 20:45\n");
}

TEST_F(CtlTimeCommandsTest, CheckOfAGoodSetupFindsNothingAndWarnsOfAZoneLeftToTheComputer) {
  Registry.SetString(kMain, "TimeZone", "Pacific Standard Time");
  Registry.SetDword(kMain, "LogonHoursBackstop", 1);
  EXPECT_EQ(Run({"check"}), kExitSuccess);
  EXPECT_EQ(Out.str(), "No problems found.\n");

  Registry.SetString(kMain, "TimeZone", "");
  Out.str("");
  EXPECT_EQ(Run({"check"}), kExitSuccess);
  EXPECT_EQ(Out.str(),
            "warning: HKLM\\SOFTWARE\\Vrem\\NortavelFree\\TimeZone is not set: the rules follow the computer's time "
            "zone, which any user may change to gain time; keep them to the zone the computer has now with "
            "nortavelctl timezone --current\n"
            "0 error(s), 1 warning(s).\n");
}

TEST_F(CtlTimeCommandsTest, CheckWarnsWhenTheComputersZoneIsNotTheRules) {
  Registry.SetString(kMain, "TimeZone", "Tokyo Standard Time");
  Clock.SetUtc(DateTimeAt(DaysFromCivil(2026, 12, 9) * 86400 + 10 * 3600 + 10 * 60));
  EXPECT_EQ(Run({"check"}), kExitSuccess);
  EXPECT_EQ(Out.str(), "warning: the rules keep to Tokyo Standard Time (now Wed 19:10), but the computer's time zone "
                       "is Pacific Standard Time (now Wed 16:10): if the rules' time is not the time here, keep them "
                       "to the right zone with nortavelctl timezone NAME (tzutil /l lists the names)\n"
                       "0 error(s), 1 warning(s).\n");
}

TEST_F(CtlTimeCommandsTest, CheckFindsAnUnknownZoneAndUnreadableValues) {
  Registry.SetString(kMain, "TimeZone", "Mars Standard Time");
  Registry.SetDword(kMain, "LogonHoursBackstop", 2);
  Registry.SetDword(kMain, "WarnMinutes", 90);
  Registry.SetString(kChild, "AllowUntil", "tonight");
  EXPECT_EQ(Run({"check"}), kExitFailed);
  const std::string out = Out.str();
  EXPECT_NE(out.find("warning: HKLM\\SOFTWARE\\Vrem\\NortavelFree\\WarnMinutes is not a number from 0 to 60 "
                     "(REG_DWORD): nobody is warned; set it with nortavelctl warn MINUTES\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("error: HKLM\\SOFTWARE\\Vrem\\NortavelFree\\TimeZone (Mars Standard Time) is not a time zone "
                     "of this computer"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("warning: HKLM\\SOFTWARE\\Vrem\\NortavelFree\\LogonHoursBackstop is not 0 or 1 (REG_DWORD): "
                     "Windows' logon hours do not hold the rules while the service is not running; set it with "
                     "nortavelctl backstop on|off\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("warning: HKLM\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\child\\AllowUntil is not a "
                     "date and time like 2026-12-24 21:30: the service ignores it"),
            std::string::npos)
      << out;
}

struct TNoticeCase {
  const char* Name;
  std::function<void()> Setup;
  std::vector<std::string> Args;
  const char* Line;  // "" none
};

// A change that restricts a user who owns processes now says when their time
// ends, as the service will end it; a user not at the computer, or one who was
// restricted already, is not named.
TEST_F(CtlTimeCommandsTest, AChangeThatCutsOffAUserAtTheComputerSaysWhen) {
  auto present = [this] { Processes.Add(400, "child"); };
  const std::string now = "child is using the computer now: they are ";
  const TNoticeCase cases[] = {
      {"warnings on", [&] { present(), Registry.SetDword(kMain, "WarnMinutes", 10); }, {"set", "child", "never"},
       "warned and switched off at 16:20"},
      {"sign-out mode",
       [&] { present(), Registry.SetDword(kMain, "WarnMinutes", 1), Registry.SetString(kMain, "EndAction", "signout"); },
       {"set", "child", "never"}, "warned and signed out at 16:11"},
      {"warnings off", present, {"set", "child", "never"}, "switched off within 20 seconds"},
      {"not at the computer", [] {}, {"set", "child", "never"}, ""},
      {"still allowed", present, {"set", "child", "always"}, ""},
      {"extra time taken back",
       [&] { present(), Clock.Set(3, 21, 10), Registry.SetString(kChild, "AllowUntil", "2026-12-09 22:00"); },
       {"grant", "child", "--clear"}, "switched off within 20 seconds"},
      {"restricted already", [&] { present(), Clock.Set(3, 21, 10); }, {"set", "child", "never"}, ""},
      {"another zone", [&] { present(), Clock.Set(3, 19, 10); },  // 19:10 UTC is 04:10 on Thursday in Tokyo
       {"timezone", "Tokyo Standard Time"}, "switched off within 20 seconds"},
  };
  for (const TNoticeCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Processes.Table.clear();
    Registry.RemoveValue(kMain, "WarnMinutes");
    Registry.RemoveValue(kMain, "EndAction");
    Registry.RemoveValue(kMain, "TimeZone");
    Registry.RemoveValue(kChild, "AllowUntil");
    ConfigureChild(kEveningDay);
    Clock.Set(3, 16, 10);
    c.Setup();
    ASSERT_EQ(Run(c.Args), kExitSuccess) << Err.str();
    const size_t at = Out.str().find(now);
    if (*c.Line == '\0') {
      EXPECT_EQ(at, std::string::npos) << Out.str();
    } else {
      EXPECT_NE(Out.str().find(now + c.Line + "\n"), std::string::npos) << Out.str();
    }
  }
}

TEST_F(CtlTimeCommandsTest, EndactionStoresTheActionThatStatusShowsAndCheckValidates) {
  const struct {
    const char* Word;
    const char* Stored;
    const char* Said;
    const char* Status;
  } actions[] = {
      {"SignOut", "signout", "When a user's time ends, they are signed out; the computer stays on for others.\n",
       "Time ends:   the user is signed out\n"},
      {"lock", "lock",
       "When a user's time ends, their session is locked: their programs stay open, and they find everything as "
       "they left it when their time comes again.\n",
       "Time ends:   the user's session is locked, programs stay open\n"},
  };
  for (const auto& action : actions) {
    Controls.clear();
    ASSERT_EQ(Run({"endaction", action.Word}), kExitSuccess) << Err.str();
    EXPECT_EQ(Stored(kMain, "EndAction"), std::string(action.Stored) + '\0');
    EXPECT_EQ(Out.str().substr(0, Out.str().find('\n') + 1), action.Said);
    EXPECT_EQ(Controls, std::vector<uint32_t>{128});
    ASSERT_EQ(Run({"status"}), kExitSuccess);
    EXPECT_NE(Out.str().find(action.Status), std::string::npos) << Out.str();
  }
  ASSERT_EQ(Run({"set", "child", "--force", "always"}), kExitSuccess) << Err.str();
  EXPECT_NE(Out.str().find("\nWhen child's time ends, their session is locked: their programs stay open.\n"),
            std::string::npos)
      << Out.str();

  EXPECT_EQ(Run({"endaction", "reboot"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: endaction takes lock, signout or poweroff, not 'reboot'\n");
  Registry.SetString(kMain, "EndAction", "reboot");
  Run({"check"});
  EXPECT_NE(Out.str().find("warning: HKLM\\SOFTWARE\\Vrem\\NortavelFree\\EndAction (reboot) is none of lock, "
                           "signout and poweroff: the computer is switched off when time ends"),
            std::string::npos)
      << Out.str();
  ASSERT_EQ(Run({"endaction"}), kExitSuccess);
  EXPECT_EQ(Out.str(), "When a user's time ends, the computer is switched off.\n");
}
}  // namespace
