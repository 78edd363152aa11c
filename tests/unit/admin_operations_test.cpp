// The administration's operations, where nortavelctl's commands do not reach
// them: the refusals every caller asks before it writes, at their edges, and
// that a refused value leaves the registry as it was.

#include <gtest/gtest.h>

#include "admin/admin_errors.h"
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

}  // namespace
