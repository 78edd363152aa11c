// The administration's operations, where nortavelctl's commands do not reach
// them: the refusals every caller asks before it writes, at their edges, and
// that a refused value leaves the registry as it was.

#include <gtest/gtest.h>

#include "admin/admin_errors.h"
#include "admin/check.h"
#include "admin/operations.h"
#include "tests/unit/ctl_fixture.h"

namespace {

class AdminOperationsTest : public CtlCommandsTest {
 protected:
  AdminOperationsTest() { ConfigureChild(); }
  TAdmin Open() { return OpenAdmin(Platform, std::nullopt); }
  TAdminPlatform Platform{Registry, Accounts, Processes, Files, Clock, *this, Pipe, Crypto, false, TConfigLocation()};
};

TEST(AdminRefusals, EveryLimitIsRefusedJustBeyondItsEdge) {
  const struct {
    std::string Refusal;
    bool Refused;
  } cases[] = {
      {WarnMinutesRefusal(-1), true},           {WarnMinutesRefusal(0), false},
      {WarnMinutesRefusal(60), false},          {WarnMinutesRefusal(61), true},
      {LevelRefusal(-1), true},                 {LevelRefusal(4), false},
      {LevelRefusal(5), true},                  {DailyBudgetRefusal(kNoBudget), false},
      {DailyBudgetRefusal(0), false},           {DailyBudgetRefusal(24 * 60), false},
      {DailyBudgetRefusal(24 * 60 + 1), true},  {WeekBudgetRefusal(7 * 24 * 60), false},
      {WeekBudgetRefusal(7 * 24 * 60 + 1), true}, {WeekBudgetRefusal(-2), true},
      {PinRefusal("123"), true},                {PinRefusal("1234"), false},
      {PinRefusal("123456789012"), false},      {PinRefusal("1234567890123"), true},
      {PinRefusal("12a4"), true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(!cases[i].Refusal.empty(), cases[i].Refused) << i;
  EXPECT_EQ(WarnMinutesRefusal(61), "0 to 60 minutes");
  EXPECT_EQ(DailyBudgetRefusal(24 * 60 + 1), "at most 24 h a day");
  EXPECT_EQ(PinRefusal("1"), "4 to 12 digits");
}

TEST_F(AdminOperationsTest, ARefusedValueIsNotWrittenAndNothingBesideIt) {
  TAdmin admin = Open();
  std::array<int32_t, 7> budget{60, 60, 60, 60, 60, 60, 24 * 60 + 1};
  EXPECT_THROW(StoreBudgets(admin, "child", budget), ECommandFailed);
  EXPECT_THROW(StoreWarnMinutes(admin, 61), ECommandFailed);
  EXPECT_THROW(StoreLevel(admin, 5), ECommandFailed);
  EXPECT_THROW(StorePin(admin, "12"), ECommandFailed);
  for (const char* name : {"Budget1", "Budget7"}) EXPECT_EQ(Stored(kChild, name), "(none)") << name;
  EXPECT_EQ(Stored(kMain, "WarnMinutes"), "(none)");
  EXPECT_EQ(Stored(kMain, "Debug"), std::string("\x02\0\0\0", 4));
  EXPECT_EQ(Stored(kMain + "\\Parent", "PinHash"), "(none)");
}

// The parent's window shows each finding's plain words: a parent who never
// opens a command prompt gets no key, type or command, except the one way
// Windows Home has to turn the guest off.
TEST_F(AdminOperationsTest, EveryFindingHasPlainWordsWithoutKeysOrCommands) {
  InstallService();
  Config.StartType = 3;
  Config.BinaryPath = "C:\\Program Files\\NortavelFree\\nortavel_free_service.exe";
  Registry.SetString(kMain, "Debug", "2");
  Registry.SetDword(kMain, "WarnMinutes", 90);
  Registry.SetString(kMain, "EndAction", "nap");
  Registry.SetString(kMain, "TimeZone", "Mars Standard Time");
  Registry.SetString(kChild, "Time3", std::string(40, '0'));
  Registry.SetString(kChild, "Time4", std::string(48, '2'));
  Registry.SetDword(kChild, "Budget6", 24 * 60 + 1);
  Registry.SetString(kChild, "AllowUntil", "tonight");
  Registry.SetString(kMain + "\\Time_restrictions\\ghost", "Time1", kAllowedDay);
  Accounts.ReadStatus["ghost"] = 2221;
  Accounts.Listed = {{"child", 2}, {"Guest", 0}, {"anna"}};
  Files.FolderAccess = TFolderAccess::OthersMayWrite;
  const std::vector<TFinding> findings = CheckFindings(Open());
  ASSERT_GE(findings.size(), 12u);
  for (const TFinding& finding : findings) {
    EXPECT_FALSE(finding.Plain.empty()) << finding.Text;
    for (const char* technical : {"HKLM", "REG_", "nortavelctl", "SOFTWARE\\", " sc ", "msiexec", "/INSTALL"})
      EXPECT_EQ(finding.Plain.find(technical), std::string::npos) << technical << " in: " << finding.Plain;
  }
  const auto plain = [&findings](const std::string& start) {
    for (const TFinding& finding : findings)
      if (finding.Plain.rfind(start, 0) == 0) return finding.Plain;
    return "(no finding starts " + start + ")";
  };
  EXPECT_EQ(plain("The Nortavel free service does not"),
            "The Nortavel free service does not start with Windows, so after a restart nobody's time is limited. "
            "Install Nortavel free again.");
  EXPECT_EQ(plain("child's rules for Wednesday"),
            "child's rules for Wednesday stop short, so child may use the computer from 20:00 on. Paint child's week "
            "again on child's page and press Save.");
}

}  // namespace
