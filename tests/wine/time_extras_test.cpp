// The warning's way to the user's session through our wtsapi32 double (enabled
// for this executable by the Wine session), and the time zones of the real
// registry, converted as Windows itself converts them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/calendar.h"
#include "common/registry_api.h"
#include "common/win32.h"
#include "tests/fakes/recording_log.h"
#include "tests/wine/double_log.h"
#include "winsys/session_api.h"
#include "winsys/time_zones.h"
#include "winsys/user_messages.h"

namespace {

std::string ThisUser() {
  char name[257];
  DWORD room = sizeof name;
  return GetUserNameA(name, &room) ? std::string(name) : std::string();
}

class WineSessionMessageTest : public ::testing::Test {
 protected:
  std::vector<std::string> Recorded() const { return Calls.Lines(); }

  TDoubleLog Calls{"NF_WTSAPI32_LOG", "wtsapi32_calls"};
  TRecordingLog Log;
};

TEST_F(WineSessionMessageTest, TheWarningReachesOnlyTheUsersSessionWithoutWaiting) {
  const std::string user = ThisUser();
  ASSERT_FALSE(user.empty());
  const std::string text =
      "Your computer time ends at 21:00. The computer will be switched off then: please save your work.";
  const TMessageOutcome outcome = ShowUserMessage(1, PlatformSessions(), Log, user, "Nortavel free", text);
  EXPECT_EQ(outcome.Sessions, 1);
  EXPECT_EQ(outcome.Shown, 1);
  EXPECT_EQ(Recorded(), std::vector<std::string>{"server=current session=1 title=Nortavel free title_bytes=13 text=" +
                                                 text + " text_bytes=" + std::to_string(text.size()) +
                                                 " style=0x40030 timeout=0 wait=0"});
  EXPECT_TRUE(Log.Messages.empty());

  EXPECT_EQ(ShowUserMessage(1, PlatformSessions(), Log, "nf_nobody", "Nortavel free", text).Sessions, 0);
  EXPECT_EQ(Recorded().size(), 1u);
}

TEST_F(WineSessionMessageTest, ASignOutAndALockReachTheSessionWithoutWaiting) {
  EXPECT_EQ(PlatformSessions().LogoffSession(1), 0u);
  EXPECT_EQ(PlatformSessions().DisconnectSession(1), 0u);
  EXPECT_EQ(Recorded(), (std::vector<std::string>{"logoff server=current session=1 wait=0",
                                                  "disconnect server=current session=1 wait=0"}));
}

// WTSINFOEXA as our declaration reads it: the flags of the session's level 1.
TEST_F(WineSessionMessageTest, TheLockStateIsReadFromTheSessionsExtendedInformation) {
  char path[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof path, path), 0u);
  const std::string state = std::string(path) + "wtsapi32_state_" + std::to_string(GetCurrentProcessId()) + ".txt";
  SetEnvironmentVariableA("NF_WTSAPI32_STATE", state.c_str());
  EXPECT_EQ(PlatformSessions().SessionLock(1), TSessionApi::kUnlocked);
  FILE* file = fopen(state.c_str(), "w");
  ASSERT_NE(file, nullptr);
  fputs("locked\n", file);
  fclose(file);
  EXPECT_EQ(PlatformSessions().SessionLock(1), TSessionApi::kLocked);
  EXPECT_EQ(PlatformSessions().SessionLock(7), TSessionApi::kLockUnknown) << "the call fails";
  DeleteFileA(state.c_str());
  SetEnvironmentVariableA("NF_WTSAPI32_STATE", nullptr);
}

TEST(WineTimeZoneTest, TheDatabaseIsReadWithItsYears) {
  TTimeZone europe;
  ASSERT_TRUE(ReadTimeZone(PlatformRegistry(), 0, "w. europe standard time", europe));
  EXPECT_EQ(europe.Rules.Bias, -60);
  EXPECT_EQ(europe.Rules.StandardDate.Month, 10);
  EXPECT_EQ(europe.Rules.DaylightDate.Month, 3);

  TTimeZone pacific;
  ASSERT_TRUE(ReadTimeZone(PlatformRegistry(), 0, "Pacific Standard Time", pacific));
  ASSERT_EQ(pacific.Years.count(2006), 1u);
  ASSERT_EQ(pacific.Years.count(2007), 1u);
  EXPECT_EQ(pacific.Years[2006].DaylightDate.Month, 4) << "April until 2006";
  EXPECT_EQ(pacific.Years[2007].DaylightDate.Month, 3) << "March from 2007";

  TTimeZone none;
  EXPECT_FALSE(ReadTimeZone(PlatformRegistry(), 0, "Mars Standard Time", none));
  EXPECT_FALSE(ReadTimeZone(PlatformRegistry(), 0, "", none));
}

TEST(WineTimeZoneTest, ConversionAgreesWithWindowsEveryHourOfAYearInManyZones) {
  for (const char* name : {"W. Europe Standard Time", "AUS Eastern Standard Time", "Pacific Standard Time",
                           "Tokyo Standard Time", "E. South America Standard Time", "Iran Standard Time"}) {
    TTimeZone zone;
    if (!ReadTimeZone(PlatformRegistry(), 0, name, zone)) {
      ADD_FAILURE() << name << " is not in the database";
      continue;
    }
    zone.Years.clear();  // the fixed rules only, as SystemTimeToTzSpecificLocalTime takes them
    TIME_ZONE_INFORMATION info{};
    info.Bias = zone.Rules.Bias;
    info.StandardBias = zone.Rules.StandardBias;
    info.DaylightBias = zone.Rules.DaylightBias;
    const auto toSystemTime = [](const TDateTime& t) {
      return SYSTEMTIME{t.Year, t.Month, t.DayOfWeek, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds};
    };
    info.StandardDate = toSystemTime(zone.Rules.StandardDate);
    info.DaylightDate = toSystemTime(zone.Rules.DaylightDate);
    const int64_t start = DaysFromCivil(2026, 1, 1) * 86400;
    int mismatches = 0;
    for (int64_t utc = start; utc < start + 366 * 86400 && mismatches < 3; utc += 3600 + 60) {
      const TDateTime at = DateTimeAt(utc);
      SYSTEMTIME utcTime = toSystemTime(at), windows{};
      ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&info, &utcTime, &windows));
      const TDateTime ours = ZoneTime(zone, at);
      if (ours.Hour != windows.wHour || ours.Day != windows.wDay || ours.Minute != windows.wMinute ||
          ours.DayOfWeek != windows.wDayOfWeek) {
        ++mismatches;
        ADD_FAILURE() << name << " at " << FormatMinuteStamp(utc) << " UTC: ours " << FormatMinuteStamp(SecondsOf(ours))
                      << ", Windows " << windows.wHour << ":" << windows.wMinute;
      }
    }
  }
}

TEST(WineTimeZoneTest, TheComputersZoneIsNamedAndConvertsToItsLocalTime) {
  const std::string computer = ReadComputerTimeZone(PlatformRegistry());
  ASSERT_FALSE(computer.empty());
  TTimeZone zone;
  ASSERT_TRUE(ReadTimeZone(PlatformRegistry(), 0, computer, zone)) << computer;
  SYSTEMTIME utc, local;
  GetSystemTime(&utc);
  GetLocalTime(&local);
  const TDateTime ours =
      ZoneTime(zone, TDateTime{utc.wYear, utc.wMonth, utc.wDayOfWeek, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond, 0});
  const int64_t windows = SecondsOf(TDateTime{local.wYear, local.wMonth, local.wDayOfWeek, local.wDay, local.wHour,
                                              local.wMinute, local.wSecond, 0});
  EXPECT_LE(std::llabs(SecondsOf(ours) - windows), 5) << computer;
}

}  // namespace
