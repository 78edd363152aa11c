#include "common/win32.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "common/string_list.h"
#include "common/system_error.h"
#include "engine/decision.h"
#include "tests/fakes/recording_log.h"
#include "winsys/configuration.h"

namespace {

TEST(WinePlatformTest, CompareStringIgnoresCaseOfWholeTexts) {
  EXPECT_TRUE(PlatformSameText("Anna", "aNNA"));
  EXPECT_FALSE(PlatformSameText("Anna", "Ann"));
  EXPECT_FALSE(PlatformSameText("Anna", "Annas"));
  EXPECT_TRUE(PlatformSameText("", ""));
}

// Letters beyond ASCII fold by the locale's rules: a name typed in another case
// by the administrator is still the same user.
TEST(WinePlatformTest, CompareStringFoldsLettersOfTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the ANSI code page 1252";
  EXPECT_TRUE(PlatformSameText("\xC4rger", "\xE4rger"));  // "Ärger", "ärger"
  EXPECT_FALSE(PlatformSameText("\xC4rger", "Arger"));
  TStringList users;
  users.Add("Anna");
  users.Add("\xC4rger");
  EXPECT_EQ(users.IndexOf("\xE4RGER"), 1);
}

// The rule of today's day is the one that decides, with the day of the week as
// the C runtime names it independently of the clock seam.
TEST(WinePlatformTest, TheRuleOfTodayDecidesByTheWindowsClock) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::time_t now = std::time(nullptr);
    const int weekday = std::localtime(&now)->tm_wday;  // 0 = Sunday
    const int today = (weekday + 6) % 7;                // 0 = Monday
    TConfiguration config;
    config.DebugLevel = 0;
    config.RestrictedUsers.Add("kid");
    config.RestrictedUsers.Add("other");
    TStringList onlyToday, allButToday;
    for (int day = 0; day < 7; ++day) {
      onlyToday.Add(std::string(48, day == today ? '1' : '0'));
      allButToday.Add(std::string(48, day == today ? '0' : '1'));
    }
    config.UserRules = {onlyToday, allButToday};
    TRecordingLog log;
    const bool kid = IsRestrictedNow(config, PlatformClock(), log, "kid");
    const bool other = IsRestrictedNow(config, PlatformClock(), log, "other");
    const std::time_t after = std::time(nullptr);
    if (std::localtime(&after)->tm_wday != weekday) continue;  // midnight passed meanwhile
    EXPECT_TRUE(kid) << "day " << today;
    EXPECT_FALSE(other) << "day " << today;
    return;
  }
}

TEST(WinePlatformTest, SystemErrorTextHasNoTrailingStopOrLineBreak) {
  const std::string text = SystemErrorText(5);  // ERROR_ACCESS_DENIED
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.');
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

}  // namespace
