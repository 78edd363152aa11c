// The daily budget in nortavelctl: its text read and said back, the values
// budget stores, the Today column of status, report over a prepared usage file,
// and check of BudgetN values the service would ignore.

#include <gtest/gtest.h>

#include "common/little_endian.h"
#include "ctl/budget.h"
#include "ctl/usage_error.h"
#include "tests/unit/ctl_fixture.h"
#include "winsys/configuration.h"

namespace {
constexpr int32_t N = kNoBudget;
const std::string kUsageFile = "C:\\ProgramData\\NortavelFree\\usage.csv";
const std::string kKey = "HKLM\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions";

// The minutes ParseBudget reads, Monday first ("-" for none), or its complaint.
std::string Read(const std::string& text) {
  try {
    std::string minutes;
    for (const int32_t day : ParseBudget(text))
      minutes += (minutes.empty() ? "" : " ") + (day == N ? "-" : std::to_string(day));
    return minutes;
  } catch (const EUsageError& error) {
    return error.Message();
  }
}

TEST(ParseBudgetTest, ReadsDaysAsTheScheduleDoesAndAmountsUpTo24Hours) {
  const struct {
    const char* Text;
    const char* Read;
  } cases[] = {
      {"Mo-Fr 2h; Sa-Su 3h30m", "120 120 120 120 120 210 210"},
      {"daily 0", "0 0 0 0 0 0 0"},
      {"weekends 24h;", "- - - - - 1440 1440"},
      {"Fr-mon 45m; Wednesday 2h 30m", "45 - 150 - 45 45 45"},
      {"Mo-Fr 24h1m", "a budget is at most 24h: 24h1m"},
      {"Mo-Fr 2x", "\"2x\" at column 7 is not a time: write it as 2h, 3h30m, 45m or 0"},
      {"Mo 30m2h", "\"30m2h\" at column 4 is not a time: write it as 2h, 3h30m, 45m or 0"},
      {"Mo-Fr", "\"Mo-Fr\" at column 1 has no time: add one such as 2h, 3h30m, 45m or 0"},
      {"2h", "120 120 120 120 120 120 120"},
      {"90 Minutes", "90 90 90 90 90 90 90"},
      {"Mo to Fr 2 hrs; Sa 2 hours 5 mins", "120 120 120 120 120 125 -"},
      {"2h; Sa 1h", "\"2h\" at column 1 has no days before it: start the clause with days such as Mo-Fr"},
      {"Mo 2 hours 30", "\"2 hours 30\" at column 4 is not a time: write it as 2h, 3h30m, 45m or 0"},
      {"Mo 30 minutes 1 hour", "\"30 minutes 1 hour\" at column 4 is not a time: write it as 2h, 3h30m, 45m or 0"},
      {"always 2h",
       "\"always\" at column 1 is not a day: use Mo Tu We Th Fr Sa Su or full names, ranges such as Mo-Fr, lists "
       "such as Sa,Su, daily, weekdays or weekends"},
      {"Mo-Fr 2h Sa 1h", "\"Sa\" at column 10 names days after the times: start a new clause with \";\" before it"},
      {"Mo-Fr 2h; Fr 1h", "Friday is named twice: give each day one time"},
      {" ; ", "the budget is empty: give days and times such as \"Mo-Fr 2h; Sa,Su 3h30m\", or --clear to remove it"},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.Text), c.Read) << c.Text;
}

TEST(BudgetSentenceTest, SaysEachAmountWithItsDaysAndTheDaysWithoutALimit) {
  const struct {
    TBudget Budget;
    const char* Sentence;
  } cases[] = {
      {{45, 45, 45, 45, 45, 45, 45}, "anna may use the computer 45 min a day."},
      {{60, 90, 60, 60, 60, N, 0},
       "anna may use the computer 1 h a day Mon,Wed-Fri and 1 h 30 min Tue, and not at all on Sun; no daily limit "
       "on Sat."},
      {{N, N, N, N, N, N, 0}, "anna may not use the computer on Sun; no daily limit on Mon-Sat."},
      {{0, 0, 0, 0, 0, 0, 0}, "anna may not use the computer at all."},
  };
  for (const auto& c : cases) EXPECT_EQ(BudgetSentence("anna", c.Budget), c.Sentence);
}

class CtlBudgetTest : public CtlCommandsTest {
 protected:
  CtlBudgetTest() {
    InstallService();
    ConfigureChild(kEveningDay);
  }
  // Budget1 .. Budget7: the minutes of each REG_DWORD, "-" where there is none.
  std::string Budgets() {
    std::string text;
    for (int n = 1; n <= 7; ++n) {
      std::string shown = "-";
      for (const TRegistryValue& value : Registry.ValuesOf(kChild))
        if (value.Name == "Budget" + std::to_string(n))
          shown = value.Type == TRegistryApi::kRegDword && value.Data.size() == 4
                      ? std::to_string(LittleEndian(value.Data.data(), 4))
                      : "(not a REG_DWORD)";
      text += (n > 1 ? " " : "") + shown;
    }
    return text;
  }
  std::string FirstLine() const { return Out.str().substr(0, Out.str().find('\n') + 1); }
};

TEST_F(CtlBudgetTest, BudgetReplacesTheWholeWeekShowsItAndClears) {
  ASSERT_EQ(Run({"budget", "child", "Mo-Fr 2h; Sa-Su 3h30m"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Budgets(), "120 120 120 120 120 210 210");
  EXPECT_EQ(FirstLine(), "child may use the computer 2 h a day Mon-Fri and 3 h 30 min Sat-Sun.\n");
  EXPECT_EQ(Controls, std::vector<uint32_t>{kControlReloadConfiguration});
  ASSERT_EQ(Run({"budget", "CHILD", "Sa", "24h;", "Su", "0"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Budgets(), "- - - - - 1440 0");
  ASSERT_EQ(Run({"budget", "child"}), kExitSuccess);
  EXPECT_EQ(Out.str(), "child may use the computer 24 h a day Sat, and not at all on Sun; no daily limit on "
                       "Mon-Fri.\n");
  ASSERT_EQ(Run({"budget", "child", "--clear"}), kExitSuccess);
  EXPECT_EQ(Budgets(), "- - - - - - -");
  EXPECT_EQ(FirstLine(), "child has no daily budget: they may use the computer whenever the rules allow.\n");
}

TEST_F(CtlBudgetTest, BudgetWeekSetsShowsAndRemovesTheWeeklyLimitAndStatusShowsTheWeek) {
  ASSERT_EQ(Run({"budget", "child", "--week", "10h30m"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Stored(kChild, "BudgetWeek"), std::string("\x76\x02\0\0", 4));
  EXPECT_EQ(FirstLine(), "child may use the computer 10 h 30 min a week, Monday to Sunday.\n");
  Files.Files[kUsageFile].Data = "date,user,seconds\n2026-12-06,child,9000\n2026-12-07,child,600\n2026-12-09,child,60\n";
  ASSERT_EQ(Run({"status"}), kExitSuccess);
  EXPECT_NE(Out.str().find("  1 min, week 11 min of 10 h 30 min  "), std::string::npos) << Out.str();
  EXPECT_EQ(Run({"budget", "child", "--week", "169h"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: a weekly budget is at most 168h: 169h\n");
  EXPECT_EQ(Run({"budget", "child", "--clear", "--week", "1h"}), kExitUsage);
  EXPECT_EQ(Err.str(), "nortavelctl: budget takes --clear or --week, not both\n");
  ASSERT_EQ(Run({"budget", "child", "--week", "off"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Stored(kChild, "BudgetWeek"), "(none)");
}

// The day's use decides as much as the rules: a budget that is used up already
// ends the time of a user at the computer.
TEST_F(CtlBudgetTest, ABudgetUsedUpAlreadyCutsOffAUserAtTheComputer) {
  Processes.Add(400, "child");
  Files.Files[kUsageFile].Data = "date,user,seconds\n2026-12-09,child,7200\n";
  ASSERT_EQ(Run({"budget", "child", "daily 3h"}), kExitSuccess);
  EXPECT_EQ(Out.str().find("child is using the computer now"), std::string::npos) << Out.str();
  ASSERT_EQ(Run({"budget", "child", "daily 1h"}), kExitSuccess);
  EXPECT_NE(Out.str().find("child is using the computer now: they are switched off within 20 seconds\n"),
            std::string::npos)
      << Out.str();
}

// Wednesday 16:10, 15:00-20:00 allowed: with the day's hour used up, extra time
// counts from now, not from where the budget would have ended unspent.
TEST_F(CtlBudgetTest, GrantCountsFromNowForAUserWhoseDayIsUsedUp) {
  Registry.SetDword(kChild, "Budget3", 60);
  Files.Files[kUsageFile].Data = "date,user,seconds\n2026-12-09,child,3600\n";
  ASSERT_EQ(Run({"grant", "child", "30m"}), kExitSuccess) << Err.str();
  EXPECT_EQ(FirstLine(), "child may use the computer until Wed 2026-12-09 16:40.\n");
}

// The service records its time at every save, once a minute: a record an hour
// old while it runs means its saves keep failing, and the budget lives in
// memory only.
TEST_F(CtlBudgetTest, SavesThatKeepFailingAreAnErrorInStatusAndCheck) {
  Registry.SetDword(kChild, "Budget3", 120);
  Files.Files[kUsageFile].Data = "date,user,seconds\n# latest 2026-12-09 15:05:00 UTC; day 2026-12-09\n";
  const std::string error = "the service has not been able to save the time used since 2026-12-09 15:05 UTC: its log "
                            "says why\n";
  ASSERT_EQ(Run({"status"}), kExitSuccess);
  EXPECT_NE(Out.str().find("\nError:       " + error), std::string::npos) << Out.str();
  EXPECT_EQ(Run({"check"}), kExitFailed);
  EXPECT_NE(Out.str().find("error: " + error), std::string::npos) << Out.str();
  Files.Files[kUsageFile].Data = "date,user,seconds\n# latest 2026-12-09 16:05:00 UTC; day 2026-12-09\n";
  ASSERT_EQ(Run({"status"}), kExitSuccess);
  EXPECT_EQ(Out.str().find("Error:"), std::string::npos) << Out.str();
  EXPECT_EQ(Out.str().find("clock is behind"), std::string::npos) << Out.str();
  // A record a day ahead of the clock: the clock was set back.
  Files.Files[kUsageFile].Data = "date,user,seconds\n# latest 2026-12-10 16:05:00 UTC; day 2026-12-10\n";
  ASSERT_EQ(Run({"status"}), kExitSuccess);
  EXPECT_NE(Out.str().find("\nThe computer's clock is behind: the service keeps its own time until it catches up\n"),
            std::string::npos)
      << Out.str();
}

TEST_F(CtlBudgetTest, StatusShowsTodaysUseAgainstTheBudgetAndWhenItEnds) {
  Registry.SetDword(kChild, "Budget3", 120);  // Wednesday
  const std::string anna = kMain + "\\Time_restrictions\\anna";
  for (int n = 1; n <= 7; ++n) Registry.SetString(anna, "Time" + std::to_string(n), kEveningDay);
  Registry.SetDword(anna, "Budget3", 60);
  const std::string bob = kMain + "\\Time_restrictions\\bob";
  Registry.SetString(bob, "Time1", kAllowedDay);
  Files.Files[kUsageFile].Data =
      "date,user,seconds\n2026-12-08,child,9000\n2026-12-09,child,4800\n2026-12-09,anna,3600\nbroken\n"
      "2026-12-09,bob,2759\n";
  ASSERT_EQ(Run({"status"}), kExitSuccess) << Err.str();
  const std::string out = Out.str();
  EXPECT_EQ(out.substr(out.find("User ")),
            "User            Now         Until       Today              Logon hours  Processes\n"
            "child           allowed     Wed 16:50   1 h 20 min of 2 h  unlocked     no\n"
            "anna            restricted  Thu 15:00   1 h of 1 h         unlocked     no\n"
            "bob             allowed     all week    45 min             unlocked     no\n\n"
            "Daily time:  anna has used up today's 1 h\n\n"
            "Usage file:  1 damaged line of " + kUsageFile + " skipped, the first is line 5\n");
}

class CtlReportTest : public CtlBudgetTest {
 protected:
  CtlReportTest() {
    Registry.SetDword(kMain, "KeepUsage", 1);
    // Where an older version kept the record: read where the service's is missing.
    Files.Files[kUsageFile].Data =
        "date,user,seconds\n2026-11-01,child,600\n2026-12-07,child,4830\n2026-12-07,\"Smith, Jo\",61\n"
        "2026-12-09,child,60\n# latest 2026-12-09 16:00:00 UTC; day 2026-12-09\n";
  }
};

TEST_F(CtlReportTest, ReportGivesADayAndUserARowOldestFirst) {
  ASSERT_EQ(Run({"report", "--days", "3"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str(),
            "Date        User       Time         (one # for every 10 minutes begun)\n"
            "2026-12-07  child      1 h 20 min   ########\n"
            "2026-12-07  Smith, Jo  1 min        #\n"
            "2026-12-08  child      0 min\n"
            "2026-12-08  Smith, Jo  0 min\n"
            "2026-12-09  child      1 min        #\n"
            "2026-12-09  Smith, Jo  0 min\n");
  ASSERT_EQ(Run({"report", "smith, jo", "--csv", "--days", "2"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str(), "date,user,minutes\n2026-12-08,\"Smith, Jo\",0\n2026-12-09,\"Smith, Jo\",0\n");
  // The first day recorded is 2026-11-01: the 90 days before today reach further back.
  ASSERT_EQ(Run({"report", "--days", "90", "--csv"}), kExitSuccess);
  const std::string oldest = "date,user,minutes\n2026-11-01,child,10\n2026-11-01,\"Smith, Jo\",0\n2026-11-02,";
  EXPECT_EQ(Out.str().substr(0, oldest.size()), oldest);
}

TEST_F(CtlReportTest, ReportRefusesWhatItCannotReportAndSaysWhatItSkipped) {
  const struct {
    std::vector<std::string> Args;
    std::string Error;
  } cases[] = {
      {{"report", "--days", "0"}, "--days takes 1 to 90, not 0"},
      {{"report", "--days", "91"}, "--days takes 1 to 90, not 91"},
      {{"report", "chlid"}, "chlid has no rules in " + kKey + " and no recorded use: nortavelctl show lists the "
                            "configured users; did you mean child?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.Args), kExitUsage);
    EXPECT_EQ(Err.str(), "nortavelctl: " + c.Error + "\n");
  }
  Files.Files[kUsageFile].Data += "2026-12-09,child\n2026-13-01,child,5\n";
  ASSERT_EQ(Run({"report", "child", "--days", "1"}), kExitSuccess);
  EXPECT_EQ(Err.str(), "nortavelctl: 2 damaged lines of " + kUsageFile + " skipped, the first is line 7\n");
  EXPECT_EQ(Out.str().substr(Out.str().find('\n') + 1), "2026-12-09  child  1 min        #\n");
  Files.Files.erase(kUsageFile);
  ASSERT_EQ(Run({"report"}), kExitSuccess);
  EXPECT_EQ(Out.str(), "No use has been recorded yet: there is no C:\\ProgramData\\NortavelFree\\service\\usage.csv.\n");
  Registry.RemoveValue(kMain, "KeepUsage");
  ASSERT_EQ(Run({"report"}), kExitSuccess);
  EXPECT_EQ(Out.str(), "The service counts no use now: turn it on with nortavelctl keepusage on, or give a user a "
                       "daily budget.\n");
}

TEST_F(CtlBudgetTest, CheckNamesEveryBudgetTheServiceIgnores) {
  Registry.SetDword(kChild, "Budget1", 1440);
  Registry.SetString(kChild, "Budget3", "120");
  Registry.SetDword(kChild, "Budget5", 1441);
  Registry.SetValue(kChild, "Budget7", TRegistryApi::kRegDword, std::string("\x3C\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(Run({"check"}), kExitFailed);
  const std::string fix = " is not a number of minutes from 0 to 1440 (REG_DWORD): the service ignores it, so child "
                          "has no daily limit on ";
  const std::string set = "; set the budget again with nortavelctl budget child BUDGET\n";
  EXPECT_NE(Out.str().find("error: " + kKey + "\\child\\Budget3 (REG_SZ)" + fix + "Wednesday" + set +
                           "error: " + kKey + "\\child\\Budget5 (1441)" + fix + "Friday" + set +
                           "error: " + kKey + "\\child\\Budget7 (REG_DWORD of 8 bytes)" + fix + "Sunday" + set),
            std::string::npos)
      << Out.str();
  EXPECT_EQ(Out.str().find("Budget1"), std::string::npos);
}
}  // namespace
