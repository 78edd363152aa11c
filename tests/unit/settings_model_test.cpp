// What the parent's window saves and says, apart from its controls: the
// fields' minutes and refusals, a Save that refuses every wrong field before
// it writes anything and then writes only what changed, the service's
// decision in a line, and the days' use for the chart.

#include <gtest/gtest.h>

#include "common/calendar.h"
#include "settings/settings_model.h"
#include "tests/unit/ctl_fixture.h"

namespace {

class SettingsModelTest : public CtlCommandsTest {
 protected:
  SettingsModelTest() {
    ConfigureChild(kEveningDay);
    InstallService(kStateRunning);
  }
  TAdmin Admin() { return OpenAdmin(Platform, std::nullopt); }
  TAdminPlatform Platform{Registry, Accounts, Processes, Files, Clock, *this, Pipe, Crypto, false, TConfigLocation()};
};

TEST(SettingsFields, ATimeFieldGivesMinutesOrSaysWhyNot) {
  const struct {
    TTimeField Field;
    bool Week;
    int32_t Minutes;
    std::string Refusal;
  } cases[] = {
      {{true, "5", "5"}, false, kNoBudget, ""},
      {{false, "2", "30"}, false, 150, ""},
      {{false, "", ""}, false, 0, ""},
      {{false, "24", "0"}, false, 24 * 60, ""},
      {{false, "24", "1"}, false, kNoBudget, "at most 24 h a day"},
      {{false, "1", "60"}, false, kNoBudget, "minutes are 0 to 59"},
      {{false, "1a", "0"}, false, kNoBudget, "hours and minutes are numbers"},
      {{false, "168", "0"}, true, 168 * 60, ""},
      {{false, "168", "1"}, true, kNoBudget, "at most 168 h a week"},
  };
  for (const auto& c : cases) {
    const TFieldMinutes got = MinutesOf(c.Field, c.Week);
    EXPECT_EQ(got.Minutes, c.Minutes) << c.Field.Hours << ":" << c.Field.Minutes;
    EXPECT_EQ(got.Refusal, c.Refusal) << c.Field.Hours << ":" << c.Field.Minutes;
  }
  EXPECT_EQ(MinutesOf(TimeFieldOf(150), false).Minutes, 150);
  EXPECT_TRUE(TimeFieldOf(kNoBudget).NoLimit);
}

TEST_F(SettingsModelTest, SaveWritesTheToggledHalfHourAndAsksTheServiceToReload) {
  TAdmin admin = Admin();
  TSettingsModel model;
  model.Load(admin);
  ASSERT_EQ(model.Children().size(), 1u);
  EXPECT_FALSE(model.Changed());
  model.Children()[0].Week[1].flip(20);  // Tuesday 10:00
  model.Children()[0].Times[5] = {false, "2", "30"};
  EXPECT_TRUE(model.Changed());
  const TSaveResult result = model.Save(admin);
  EXPECT_EQ(result.Failure, "");
  std::string tuesday = kEveningDay;
  tuesday[20] = '0';
  EXPECT_EQ(Stored(kChild, "Time2"), tuesday + '\0');
  EXPECT_EQ(Stored(kChild, "Time3"), kEveningDay + '\0');
  EXPECT_EQ(Stored(kChild, "Budget6"), std::string("\x96\0\0\0", 4));
  EXPECT_EQ(Stored(kChild, "Budget1"), "(none)");
  ASSERT_TRUE(result.Reload);
  EXPECT_EQ(result.Reload->Kind, TReloadAnswer::Taken);
  EXPECT_EQ(Controls, std::vector<uint32_t>{kControlReloadConfiguration});
  EXPECT_FALSE(model.Changed());
  // Nothing changed since: nothing is written, the service is not asked.
  const TSaveResult again = model.Save(admin);
  EXPECT_FALSE(again.Wrote);
  EXPECT_EQ(Controls.size(), 1u);
}

TEST_F(SettingsModelTest, OneRefusedFieldAnywhereKeepsEveryChangeUnwritten) {
  TAdmin admin = Admin();
  TSettingsModel model;
  model.Load(admin);
  model.Children()[0].Week[1].flip(20);
  model.Children()[0].Times[kWeekField] = {false, "200", "0"};
  model.Computer().Fields.WarnMinutes = "61";
  model.Computer().Fields.EndAction = TEndAction::Lock;
  model.Computer().NewPin = "1234";
  model.Computer().RepeatPin = "1235";
  Files.Files["C:\\Logs.txt"].Attributes = 0x20;
  model.Computer().Fields.LogFolder = "C:\\Logs.txt";
  const TSaveResult result = model.Save(admin);
  ASSERT_EQ(result.Refused.size(), 4u);
  EXPECT_EQ(result.Refused[0].Child, 0);
  EXPECT_EQ(result.Refused[0].Index, kWeekField);
  EXPECT_EQ(result.Refused[0].Text, "at most 168 h a week");
  EXPECT_EQ(result.Refused[1].Field, TField::WarnMinutes);
  EXPECT_EQ(result.Refused[1].Text, "0 to 60 minutes");
  EXPECT_EQ(result.Refused[2].Field, TField::Pin);
  EXPECT_EQ(result.Refused[2].Text, "the two PINs differ");
  EXPECT_EQ(result.Refused[3].Field, TField::LogFolder);
  EXPECT_EQ(result.Refused[3].Text, "a folder: C:\\Logs.txt is a file");
  EXPECT_EQ(Stored(kMain, "Path"), std::string("C:\\Logs") + '\0');
  EXPECT_EQ(Stored(kChild, "Time2"), kEveningDay + '\0');
  EXPECT_EQ(Stored(kMain, "EndAction"), "(none)");
  EXPECT_EQ(Stored(kMain + "\\Parent", "PinHash"), "(none)");
  EXPECT_TRUE(Controls.empty());
  EXPECT_TRUE(model.Changed());
}

TEST_F(SettingsModelTest, AChildAddedHereIsStoredWholeAndKeepsTheComputersZoneForTheFirst) {
  Registry.RemoveKey(kChild);
  Registry.SetString("SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation", "TimeZoneKeyName",
                     "W. Europe Standard Time");
  Registry.SetValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\W. Europe Standard Time", "TZI",
                    TRegistryApi::kRegBinary, std::string(44, '\0'));
  TAdmin admin = Admin();
  TSettingsModel model;
  model.Load(admin);
  model.AddChild("child");
  EXPECT_TRUE(model.Changed());
  const TSaveResult result = model.Save(admin);
  EXPECT_TRUE(result.Wrote);
  for (int n = 1; n <= 7; ++n) EXPECT_EQ(Stored(kChild, "Time" + std::to_string(n)), kAllowedDay + '\0') << n;
  EXPECT_EQ(Stored(kChild, "Budget1"), "(none)");
  EXPECT_EQ(Stored(kMain, "TimeZone"), std::string("W. Europe Standard Time") + '\0');
  EXPECT_EQ(model.Computer().Fields.TimeZone, "W. Europe Standard Time");
  EXPECT_FALSE(model.Changed());
}

TEST_F(SettingsModelTest, TheComputersValuesAreWrittenWhenChanged) {
  TAdmin admin = Admin();
  TSettingsModel model;
  model.Load(admin);
  TComputerPage& computer = model.Computer();
  EXPECT_EQ(computer.Fields.LogFolder, "C:\\Logs");
  computer.Fields.WarnMinutes = "5";
  computer.Fields.EndAction = TEndAction::SignOut;
  computer.Fields.Backstop = true;
  computer.Fields.Level = 3;
  computer.NewPin = computer.RepeatPin = "4711";
  const TSaveResult result = model.Save(admin);
  EXPECT_EQ(result.Failure, "");
  EXPECT_EQ(Stored(kMain, "WarnMinutes"), std::string("\x05\0\0\0", 4));
  EXPECT_EQ(Stored(kMain, "EndAction"), std::string("signout") + '\0');
  EXPECT_EQ(Stored(kMain, "LogonHoursBackstop"), std::string("\x01\0\0\0", 4));
  EXPECT_EQ(Stored(kMain, "Debug"), std::string("\x03\0\0\0", 4));
  EXPECT_EQ(Stored(kMain + "\\Parent", "PinHash").rfind("pbkdf2-sha256:", 0), 0u);
  EXPECT_EQ(Stored(kMain, "Path"), std::string("C:\\Logs") + '\0');
  EXPECT_TRUE(computer.NewPin.empty());
}

// A zone stored in other letters is the zone still; a folder typed with its
// closing backslash is made once; a value that fails leaves those written
// before it saved, and the service asked to read them.
TEST_F(SettingsModelTest, TheComputersPageKeepsAZoneInOtherLettersAndSavesWhatWasWrittenBeforeAFailure) {
  Registry.SetValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\W. Europe Standard Time", "TZI",
                    TRegistryApi::kRegBinary, std::string(44, '\0'));
  Registry.SetString(kMain, "TimeZone", "w. europe standard time");
  Files.Files["D:"].Attributes = 0x10;
  TAdmin admin = Admin();
  TSettingsModel model;
  model.Load(admin);
  TComputerPage& computer = model.Computer();
  EXPECT_EQ(computer.Fields.TimeZone, "W. Europe Standard Time");
  EXPECT_FALSE(model.Changed());

  computer.Fields.LogFolder = "D:\\Logs\\";
  ASSERT_EQ(model.Save(admin).Failure, "");
  EXPECT_EQ(Created.size(), 1u);
  EXPECT_EQ(Stored(kMain, "Path"), std::string("D:\\Logs") + '\0');

  computer.Fields.WarnMinutes = "5";
  computer.Fields.LogFolder = FailCreate = "Q:\\Logs";
  const size_t reloads = Controls.size();
  const TSaveResult result = model.Save(admin);
  EXPECT_NE(result.Failure, "");
  EXPECT_TRUE(result.Wrote);
  EXPECT_EQ(Controls.size(), reloads + 1);
  EXPECT_EQ(computer.Saved.WarnMinutes, "5");
  EXPECT_EQ(computer.Saved.LogFolder, "D:\\Logs\\");
}

TEST(SettingsDecision, TheLineSaysWhatTheServiceDecidesNow) {
  TConfiguration config;
  config.RestrictedUsers.Add("child");
  TStringList rules;
  for (int day = 0; day < 7; ++day) rules.Add(kEveningDay);
  config.UserRules.push_back(rules);
  config.UserExtras.emplace_back();
  const int64_t tuesday = SecondsOf(DateTimeOf(2026, 12, 8, 0, 0, 0, 2));
  TDayUse none;
  none.Day = DayOf(tuesday);
  TDayUse used = none;
  used.Seconds = 2 * 3600;
  const struct {
    int64_t Now;
    int32_t Budget;
    const TDayUse* Use;
    std::string Line;
  } cases[] = {
      {tuesday + 16 * 3600, kNoBudget, &none, "Allowed until 20:00"},
      {tuesday + 10 * 3600, kNoBudget, &none, "Time is up; allowed again at 15:00"},
      {tuesday + 21 * 3600, kNoBudget, &none, "Time is up; allowed again at Wed 15:00"},
      {tuesday + 16 * 3600, 120, &used, "Time is up: today's time is used up, allowed again at Wed 15:00"},
  };
  for (const auto& c : cases) {
    config.UserExtras[0].Budget.fill(c.Budget);
    EXPECT_EQ(DecisionLine(config, 0, c.Now, *c.Use), c.Line);
  }
  config.UserRules[0] = TStringList();
  for (int day = 0; day < 7; ++day) config.UserRules[0].Add(kAllowedDay);
  config.UserExtras[0].Budget.fill(kNoBudget);
  EXPECT_EQ(DecisionLine(config, 0, tuesday, none), "Allowed all week");
}

TEST(SettingsChart, FifteenDaysOfUseTodayLastEachWithItsDaysBudget) {
  TConfiguration config;
  config.RestrictedUsers.Add("child");
  config.UserRules.emplace_back();
  config.UserExtras.emplace_back();
  config.UserExtras[0].Budget = {120, 120, 120, 120, 120, kNoBudget, 90};
  const int64_t today = DayOf(SecondsOf(DateTimeOf(2026, 12, 8, 12, 0, 0, 2)));  // a Tuesday
  TUsageBook usage;
  usage.Add(today, "child", 30 * 60);
  usage.Add(today - 14, "child", 61 * 60);
  usage.Add(today - 15, "child", 99 * 60);
  usage.Add(today, "other", 99 * 60);
  const TUseChart chart = UseChartOf(config, 0, usage, today);
  EXPECT_EQ(chart.FirstDay, today - 14);
  EXPECT_EQ(chart.Minutes[14], 30);
  EXPECT_EQ(chart.Minutes[0], 61);
  EXPECT_EQ(chart.Minutes[7], 0);
  EXPECT_EQ(chart.Budget[14], 120);  // Tuesday
  EXPECT_EQ(chart.Budget[4], kNoBudget);  // Saturday
  EXPECT_EQ(chart.Budget[5], 90);  // Sunday
}

}  // namespace
