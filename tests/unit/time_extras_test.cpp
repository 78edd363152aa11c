// Warnings before the power-off, extra time and a fixed time zone, as the
// enforcement pass applies them: what reaches the accounts, the sessions and
// the log.

#include <gtest/gtest.h>

#include <algorithm>

#include "common/calendar.h"
#include "diag/diagnostic_log.h"
#include "tests/fakes/fake_platform.h"

namespace {

enum Weekday { Sunday = 0, Monday, Tuesday };

const std::string kFrom21 = std::string(42, '0') + std::string(6, '1');  // restricted from 21:00
const std::string kTzInfo = "SYSTEM\\CurrentControlSet\\Control\\TimeZoneInformation";
// Tokyo: UTC + 9 h all year.
const std::string kTokyoTzi = std::string("\xE4\xFD\xFF\xFF", 4) + std::string(40, '\0');

// One pass of module at Monday hh:mm:ss; the lines it logged, without their timestamps.
std::vector<std::string> PassOf(TNortavelFree& module, TFakePlatform& platform, int hour, int minute, int second = 0) {
  platform.Clock.Set(Monday, hour, minute, second);
  module.DiagLog.LogLines.Clear();
  module.EnforceRestrictions();
  std::vector<std::string> lines;
  for (const std::string& line : module.DiagLog.LogLines) lines.push_back(line.substr(line.find(" ] ") + 3));
  return lines;
}

class TimeExtrasTest : public ::testing::Test {
 protected:
  TimeExtrasTest() {
    Module.DebugLevel = 2;
    Module.RestrictedUsers.Add("anna");
    Module.UserRules.push_back(TStringList());
    for (int day = 0; day < 7; ++day) Module.UserRules[0].Add(kFrom21);
    Module.UserExtras.emplace_back();
    Module.SeenAccounts.Add("anna");
    Platform.Sessions.Users = {{0, ""}, {1, "bert"}, {2, "ANNA"}};
  }

  void GiveExtraTime(const std::string& until) {
    TExtraTime& extra = Module.UserExtras[0].ExtraTime;
    extra.Text = until;
    ASSERT_TRUE(ParseMinuteStamp(until, extra.Until));
  }

  std::vector<std::string> PassAt(int hour, int minute, int second = 0) {
    return PassOf(Module, Platform, hour, minute, second);
  }

  bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  bool LastUpdateLocks() const { return Platform.Accounts.Updates.back().Hours == std::vector<uint8_t>(21, 0); }

  int PowerOffs() const {
    return static_cast<int>(std::count_if(Platform.Accounts.Calls.begin(), Platform.Accounts.Calls.end(),
                                          [](const std::string& c) { return c.rfind("InitiateShutdownW", 0) == 0; }));
  }

  TFakePlatform Platform;
  TNortavelFree Module{Platform.View()};
};

TEST_F(TimeExtrasTest, ExtraTimeKeepsTheUserUnlockedUntilItsMinute) {
  GiveExtraTime("2026-12-07 21:15");
  auto lines = PassAt(21, 14, 59);
  EXPECT_TRUE(Has(lines, "Extra time for user: anna until 2026-12-07 21:15"));
  EXPECT_FALSE(LastUpdateLocks());
  EXPECT_EQ(PowerOffs(), 0);

  // The power-off request flushes the log, so its lines are in the file by then.
  PassAt(21, 15);
  EXPECT_TRUE(LastUpdateLocks());
  EXPECT_EQ(PowerOffs(), 1);
}

TEST_F(TimeExtrasTest, TheBackstopWritesTheWeekOfAnAllowedUserInUtcAndLogsAsBefore) {
  // The computer's clock is UTC + 2 h: 21:00-24:00 local is 19:00-22:00 UTC.
  Platform.Clock.SetUtc(DateTimeOf(2026, 12, 7, 18, 0, 0, Monday));
  const auto without = PassAt(20, 0);
  EXPECT_EQ(Platform.Accounts.Updates.back().Hours, std::vector<uint8_t>(21, 0xFF));
  Module.LogonHoursBackstop = true;
  EXPECT_EQ(PassAt(20, 0), without);
  std::vector<uint8_t> week(21, 0);
  for (int n = 0; n < 168; ++n)
    if (n % 24 < 19 || n % 24 >= 22) week[static_cast<size_t>(n / 8)] |= static_cast<uint8_t>(1 << (n % 8));
  EXPECT_EQ(Platform.Accounts.Updates.back().Hours, week);

  Platform.Clock.SetUtc(DateTimeOf(2026, 12, 7, 19, 0, 0, Monday));
  PassAt(21, 0);
  EXPECT_TRUE(LastUpdateLocks());
}

TEST_F(TimeExtrasTest, ExtraTimeInAnAllowedHalfHourSaysNothing) {
  GiveExtraTime("2026-12-07 21:15");
  EXPECT_FALSE(Has(PassAt(20, 0), "Extra time for user: anna until 2026-12-07 21:15"));
  EXPECT_FALSE(LastUpdateLocks());
}

TEST_F(TimeExtrasTest, WarningReachesTheUsersSessionsOnceExactlyWarnMinutesBefore) {
  Module.WarnMinutes = 10;
  EXPECT_FALSE(Has(PassAt(20, 49, 59), "Warning sent to user: anna"));
  EXPECT_TRUE(Platform.Sessions.Shown.empty());

  EXPECT_TRUE(Has(PassAt(20, 50), "Warning sent to user: anna"));
  ASSERT_EQ(Platform.Sessions.Shown.size(), 1u);
  EXPECT_EQ(Platform.Sessions.Shown[0].Session, 2u) << "the user's session only, its name in capitals";
  EXPECT_EQ(Platform.Sessions.Shown[0].Title, "Nortavel free");
  EXPECT_EQ(Platform.Sessions.Shown[0].Text,
            "Your computer time ends at 21:00. The computer will be switched off then: please save your work.");

  EXPECT_FALSE(Has(PassAt(20, 55), "Warning sent to user: anna"));
  EXPECT_EQ(Platform.Sessions.Shown.size(), 1u) << "once per restricted period";

  // Extra time moves the end: that is a new period, with a new warning.
  GiveExtraTime("2026-12-07 21:15");
  EXPECT_TRUE(Has(PassAt(21, 5), "Warning sent to user: anna"));
  ASSERT_EQ(Platform.Sessions.Shown.size(), 2u);
  EXPECT_EQ(Platform.Sessions.Shown[1].Text,
            "Your computer time ends at 21:15. The computer will be switched off then: please save your work.");
}

// The end announced is kept where only SYSTEM and the Administrators can change
// it: a restart, after the end or before it, gives no fresh warning and no grace.
TEST_F(TimeExtrasTest, ARestartKeepsTheAnnouncedEnd) {
  Module.WarnMinutes = 10;
  PassAt(20, 50);
  ASSERT_EQ(Platform.Sessions.Shown.size(), 1u);
  EXPECT_EQ(Platform.LogFiles.Data("C:\\ProgramData\\NortavelFree\\service\\announced-ends.txt"),
            "2026-12-07 21:00:00 UTC,anna\n");
  for (const int minute : {55, 3}) {
    TNortavelFree next(Platform.View());
    static_cast<TConfiguration&>(next) = static_cast<const TConfiguration&>(Module);
    next.SeenAccounts.Add("anna");
    next.ReadAnnouncedEnds();
    PassOf(next, Platform, minute == 55 ? 20 : 21, minute);
    EXPECT_EQ(Platform.Sessions.Shown.size(), 1u) << minute;
  }
  EXPECT_EQ(PowerOffs(), 1) << "ended at 21:03, not warned again";
}

TEST_F(TimeExtrasTest, NoWarningWithoutWarnMinutesOrForUnseenUsers) {
  PassAt(20, 55);
  Module.WarnMinutes = 10;
  Module.SeenAccounts.Clear();
  PassAt(20, 55);
  PassAt(21, 5);
  EXPECT_TRUE(Platform.Sessions.Shown.empty());
  EXPECT_EQ(PowerOffs(), 0);
}

// A change that restricts a present user at once (here: extra time taken back)
// locks them at once, warns them at once, and ends their time exactly
// WarnMinutes later, rounded up to the minute; a second change keeps that end.
TEST_F(TimeExtrasTest, AChangeThatRestrictsAPresentUserWarnsAndEndsWarnMinutesLater) {
  Module.WarnMinutes = 10;
  GiveExtraTime("2026-12-07 22:00");
  PassAt(21, 4);
  EXPECT_TRUE(Platform.Sessions.Shown.empty());
  Module.UserExtras[0] = TUserExtras();  // grant --clear
  EXPECT_TRUE(Has(PassAt(21, 5, 30), "Warning sent to user: anna"));
  EXPECT_TRUE(LastUpdateLocks());
  EXPECT_EQ(PowerOffs(), 0);
  ASSERT_EQ(Platform.Sessions.Shown.size(), 1u);
  EXPECT_EQ(Platform.Sessions.Shown[0].Text,
            "Your computer time ends at 21:16. The computer will be switched off then: please save your work.");

  for (int day = 0; day < 7; ++day) Module.UserRules[0].Items()[static_cast<size_t>(day)] = std::string(48, '1');
  PassAt(21, 10);
  PassAt(21, 15, 59);
  EXPECT_EQ(PowerOffs(), 0) << "not a pass before the end given";
  EXPECT_EQ(Platform.Sessions.Shown.size(), 1u) << "the second change keeps the first end";
  PassAt(21, 16);
  EXPECT_EQ(PowerOffs(), 1);
}

// An end given before stands when it comes no later than WarnMinutes from now;
// one further off (the minutes were shortened since) gives way to the nearer end.
TEST_F(TimeExtrasTest, AChangeKeepsAnEndAlreadyGivenOnlyWhenItIsNoLater) {
  Module.WarnMinutes = 60;
  PassAt(20, 30);
  ASSERT_EQ(Platform.Sessions.Shown.size(), 1u);  // of 21:00
  for (int day = 0; day < 7; ++day) Module.UserRules[0].Items()[static_cast<size_t>(day)] = std::string(48, '1');
  PassAt(20, 31);
  EXPECT_EQ(Platform.Sessions.Shown.size(), 1u) << "21:00 comes before 21:31";
  Module.WarnMinutes = 1;
  PassAt(20, 32);
  ASSERT_EQ(Platform.Sessions.Shown.size(), 2u);
  EXPECT_EQ(Platform.Sessions.Shown[1].Text,
            "Your computer time ends at 20:33. The computer will be switched off then: please save your work.");
  PassAt(20, 33);
  EXPECT_EQ(PowerOffs(), 1);
}

TEST_F(TimeExtrasTest, AWarnedBoundaryEndsTimeAsItComes) {
  Module.WarnMinutes = 10;
  PassAt(20, 55);
  EXPECT_EQ(Platform.Sessions.Shown.size(), 1u);
  PassAt(21, 0);
  EXPECT_EQ(PowerOffs(), 1);
  EXPECT_EQ(Platform.Sessions.Shown.size(), 1u);
}

TEST_F(TimeExtrasTest, SignOutModeEndsTimeForUsersWithASessionNow) {
  Module.EndAction = TEndAction::SignOut;
  Platform.Sessions.Users = {{1, "bert"}};  // anna was seen earlier, but has no session now
  PassAt(21, 0);
  EXPECT_TRUE(LastUpdateLocks());
  EXPECT_TRUE(Platform.Sessions.SignedOut.empty());
  EXPECT_EQ(PowerOffs(), 0) << "nobody's work ends for a user who has left";

  Platform.Sessions.Users = {{1, "bert"}, {2, "ANNA"}, {5, "anna"}};
  EXPECT_TRUE(Has(PassAt(21, 0), "Signing out user: anna"));
  EXPECT_EQ(Platform.Sessions.SignedOut, (std::vector<uint32_t>{2, 5}));
  EXPECT_EQ(PowerOffs(), 0);

  Platform.Sessions.Users = {{2, "anna"}};
  Platform.Sessions.LogoffError = 5;
  PassAt(21, 0);
  EXPECT_EQ(PowerOffs(), 1) << "a failed sign-out still ends the time";
  const std::string log = Platform.LogFiles.Data(kLogFileName);
  EXPECT_NE(log.find("] ERROR:Signing out failed for user: anna"), std::string::npos);
}

// Lock mode ends time by disconnecting each active session of the user, once
// (a disconnected session is not present); a lock that fails signs out, a
// sign-out that fails switches off.
TEST_F(TimeExtrasTest, LockModeDisconnectsAndFallsBackToSignOutThenPowerOff) {
  Module.EndAction = TEndAction::Lock;
  Platform.Sessions.Users = {{1, "bert"}, {2, "ANNA"}, {5, "anna"}};
  Platform.Sessions.States[5] = TSessionApi::kStateDisconnected;  // switched away from earlier
  Platform.Sessions.Locks[2] = TSessionApi::kLocked;              // locked, still at the screen
  EXPECT_TRUE(Has(PassAt(21, 0), "Locking the session of user: anna"));
  EXPECT_EQ(Platform.Sessions.Disconnected, (std::vector<uint32_t>{2}));
  EXPECT_FALSE(Has(PassAt(21, 0), "Locking the session of user: anna")) << "disconnected: not present";
  EXPECT_EQ(Platform.Sessions.Disconnected.size(), 1u);
  EXPECT_TRUE(Platform.Sessions.SignedOut.empty());
  EXPECT_EQ(PowerOffs(), 0);

  Platform.Sessions.States[2] = TSessionApi::kStateActive;  // back at the screen
  Platform.Sessions.DisconnectError = 5;
  auto lines = PassAt(21, 0);
  EXPECT_TRUE(Has(lines, "ERROR:Locking the session failed for user: anna"));
  EXPECT_EQ(Platform.Sessions.SignedOut, (std::vector<uint32_t>{2, 5}));
  EXPECT_EQ(PowerOffs(), 0);

  Platform.Sessions.Users = {{2, "anna"}};
  Platform.Sessions.LogoffError = 5;
  PassAt(21, 0);
  EXPECT_EQ(PowerOffs(), 1);
}

TEST_F(TimeExtrasTest, TheWarningSaysWhatHappensInEachMode) {
  Module.WarnMinutes = 10;
  const std::pair<TEndAction, const char*> modes[] = {
      {TEndAction::SignOut, "Your computer time ends at 21:00. You will be signed out then: please save your work."},
      {TEndAction::Lock, "Your computer time ends at 21:00. Your session will be locked then: your programs stay open."},
  };
  for (const auto& [mode, text] : modes) {
    TNortavelFree module(Platform.View());
    static_cast<TConfiguration&>(module) = static_cast<const TConfiguration&>(Module);
    module.EndAction = mode;
    module.SeenAccounts.Add("anna");
    Platform.Sessions.Shown.clear();
    PassOf(module, Platform, 20, 50);
    ASSERT_EQ(Platform.Sessions.Shown.size(), 1u);
    EXPECT_EQ(Platform.Sessions.Shown[0].Text, text);
  }
}

TEST_F(TimeExtrasTest, AUserNotAtTheScreenIsWarnedOnceTheyLogOn) {
  Module.WarnMinutes = 10;
  Platform.Sessions.Users = {{0, ""}};
  PassAt(20, 51);
  EXPECT_TRUE(Platform.Sessions.Shown.empty());
  Platform.Sessions.Users[3] = "anna";
  EXPECT_TRUE(Has(PassAt(20, 52), "Warning sent to user: anna"));
  EXPECT_EQ(Platform.Sessions.Shown.size(), 1u);
}

TEST_F(TimeExtrasTest, AFailedWarningIsLoggedAndNotRepeatedEveryPass) {
  auto errors = [](const std::vector<std::string>& lines) {
    return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.rfind("ERROR:Warning could not be shown to user: anna: ", 0) == 0;
    });
  };
  for (const bool listFails : {false, true}) {
    SCOPED_TRACE(listFails ? "the sessions cannot be listed" : "the session refuses the message");
    // A module of its own, which has warned nobody yet.
    TFakePlatform platform;
    TNortavelFree module{platform.View()};
    static_cast<TConfiguration&>(module) = Module;
    module.SeenAccounts.Add("anna");
    module.WarnMinutes = 10;
    platform.Sessions.Users = {{2, "anna"}};
    if (listFails)
      platform.Sessions.ListError = 1722;  // RPC_S_SERVER_UNAVAILABLE
    else
      platform.Sessions.Failures[2] = 5;
    auto lines = PassOf(module, platform, 20, 51);
    EXPECT_FALSE(Has(lines, "Warning sent to user: anna"));
    EXPECT_EQ(errors(lines), 1);
    EXPECT_EQ(errors(PassOf(module, platform, 20, 52)), 0) << "no second attempt, so no second error";
  }
}

TEST_F(TimeExtrasTest, AFixedZoneDecidesByItsOwnDayAndHalfHour) {
  Module.FixedZone = TTimeZone();
  Module.FixedZone->Name = "Tokyo Standard Time";
  ASSERT_TRUE(ParseZoneRules(kTokyoTzi, Module.FixedZone->Rules));
  Module.DebugLevel = 3;
  Module.SeenAccounts.Clear();  // no power-off, whose flush would take the lines
  Platform.Registry.SetString(kTzInfo, "TimeZoneKeyName", "Pacific Standard Time");
  // The computer says Monday 10:00; it is Monday 12:00 UTC, so Monday 21:00 in Tokyo.
  TDateTime utc = DateTimeAt(DaysFromCivil(2026, 12, 7) * 86400 + 12 * 3600);
  Platform.Clock.SetUtc(utc);
  auto lines = PassAt(10, 0);
  EXPECT_TRUE(Has(lines, "Time control check: day=0 position[42]=1 rule=" + kFrom21));
  EXPECT_TRUE(LastUpdateLocks());
  const std::string differs =
      "WARNING:The computer's time zone is Pacific Standard Time, the restrictions keep to the time zone Tokyo "
      "Standard Time";
  EXPECT_TRUE(Has(lines, differs));

  EXPECT_FALSE(Has(PassAt(10, 0), differs)) << "once per change";
  Platform.Registry.SetString(kTzInfo, "TimeZoneKeyName", "tokyo standard time");
  EXPECT_FALSE(Has(PassAt(10, 0), differs));
  Platform.Registry.SetString(kTzInfo, "TimeZoneKeyName", "Pacific Standard Time");
  EXPECT_TRUE(Has(PassAt(10, 0), differs)) << "changed away again";
}

TEST_F(TimeExtrasTest, WithoutAFixedZoneTheComputersLocalTimeDecides) {
  Platform.Registry.SetString(kTzInfo, "TimeZoneKeyName", "Pacific Standard Time");
  Platform.Clock.SetUtc(DateTimeAt(DaysFromCivil(2026, 12, 7) * 86400 + 12 * 3600));
  PassAt(21, 0);
  EXPECT_TRUE(LastUpdateLocks());
  EXPECT_TRUE(Platform.Registry.CallsOf(TFakeRegistry::TOp::Open).empty()) << "the zone is not even looked at";
}

}  // namespace

namespace {
TEST_F(TimeExtrasTest, AFixedZonesDaylightSavingChangeMovesTheHalfHourItDecides) {
  // Central Europe springs forward on 29 March 2026 at 01:00 UTC, from 02:00 to 03:00.
  const std::string westEurope("\xC4\xFF\xFF\xFF\0\0\0\0\xC4\xFF\xFF\xFF\0\0\x0A\0\0\0\x05\0\x03\0\0\0\0\0\0\0"
                               "\0\0\x03\0\0\0\x05\0\x02\0\0\0\0\0\0\0",
                               44);
  Module.FixedZone = TTimeZone();
  Module.FixedZone->Name = "W. Europe Standard Time";
  ASSERT_TRUE(ParseZoneRules(westEurope, Module.FixedZone->Rules));
  Module.DebugLevel = 3;
  Module.SeenAccounts.Clear();
  // Restricted from 03:00 to 03:29 only, on every day.
  const std::string only3 = std::string(6, '0') + "1" + std::string(41, '0');
  for (int day = 0; day < 7; ++day) Module.UserRules[0].Items()[static_cast<size_t>(day)] = only3;
  const int64_t change = DaysFromCivil(2026, 3, 29) * 86400 + 3600;
  const struct { int64_t Utc; const char* Trace; bool Locked; } cases[] = {
      {change - 1, "Time control check: day=6 position[3]=0 rule=", false},  // 01:59:59 winter time
      {change, "Time control check: day=6 position[6]=1 rule=", true},       // 03:00:00 summer time
  };
  for (const auto& c : cases) {
    Platform.Clock.SetUtc(DateTimeAt(c.Utc));
    const auto lines = PassAt(12, 0);
    EXPECT_TRUE(Has(lines, c.Trace + only3)) << c.Trace;
    EXPECT_EQ(LastUpdateLocks(), c.Locked) << c.Trace;
  }
}
}  // namespace

namespace {
// The warning's window is elapsed time: on the nights the clocks change, a
// restriction from 03:00 (wall time of the fixed zone) is warned of exactly
// WarnMinutes before it begins, not an hour early or not at all.
TEST_F(TimeExtrasTest, DaylightSavingNightsMoveNeitherTheWarningNorTheEnd) {
  const std::string westEurope("\xC4\xFF\xFF\xFF\0\0\0\0\xC4\xFF\xFF\xFF\0\0\x0A\0\0\0\x05\0\x03\0\0\0\0\0\0\0"
                               "\0\0\x03\0\0\0\x05\0\x02\0\0\0\0\0\0\0",
                               44);
  const std::string from3 = std::string(6, '0') + std::string(42, '1');
  // Spring: 01:00 UTC is 03:00 summer time. Autumn: 03:00 winter time is 02:00 UTC.
  const struct { const char* Night; int64_t Starts; } nights[] = {
      {"spring", DaysFromCivil(2026, 3, 29) * 86400 + 1 * 3600},
      {"autumn", DaysFromCivil(2026, 10, 25) * 86400 + 2 * 3600},
  };
  for (const auto& night : nights) {
    SCOPED_TRACE(night.Night);
    TFakePlatform platform;
    TNortavelFree module{platform.View()};
    static_cast<TConfiguration&>(module) = Module;
    module.SeenAccounts.Add("anna");
    module.WarnMinutes = 10;
    module.FixedZone = TTimeZone();
    module.FixedZone->Name = "W. Europe Standard Time";
    ASSERT_TRUE(ParseZoneRules(westEurope, module.FixedZone->Rules));
    for (int day = 0; day < 7; ++day) module.UserRules[0].Items()[static_cast<size_t>(day)] = from3;
    platform.Sessions.Users = {{2, "anna"}};
    for (const int64_t early : {4200, 601}) {  // an hour early (the wall clock's ten minutes in autumn), a second early
      platform.Clock.SetUtc(DateTimeAt(night.Starts - early));
      module.EnforceRestrictions();
    }
    EXPECT_TRUE(platform.Sessions.Shown.empty());
    platform.Clock.SetUtc(DateTimeAt(night.Starts - 600));
    module.EnforceRestrictions();
    ASSERT_EQ(platform.Sessions.Shown.size(), 1u);
    EXPECT_EQ(platform.Sessions.Shown[0].Text,
              "Your computer time ends at 03:00. The computer will be switched off then: please save your work.");
    platform.Clock.SetUtc(DateTimeAt(night.Starts));
    module.EnforceRestrictions();
    EXPECT_EQ(platform.Sessions.Shown.size(), 1u);
    EXPECT_EQ(std::count_if(platform.Accounts.Calls.begin(), platform.Accounts.Calls.end(),
                            [](const std::string& c) { return c.rfind("InitiateShutdownW", 0) == 0; }),
              1);
  }
}
}  // namespace
