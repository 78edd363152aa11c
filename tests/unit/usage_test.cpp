// The day's use as counted and kept, and the daily budget as the decision and
// the backstop judge it.

#include <gtest/gtest.h>

#include "common/calendar.h"
#include "engine/decision.h"
#include "engine/logon_hours.h"
#include "engine/usage.h"

namespace {

// Monday 7 December 2026.
const int64_t kMonday = DaysFromCivil(2026, 12, 7);
int64_t At(int64_t day, int hour, int minute, int second = 0) {
  return day * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

TEST(UsageBookTest, TheFileKeepsNinetyDaysQuotesAwkwardNamesAndTheLatestTime) {
  TUsageBook book;
  book.Add(kMonday - 90, "anna", 60);
  book.Add(kMonday - 89, "anna", 120);
  book.Add(kMonday, "o\"neil, jr", 7);
  book.Note(At(kMonday, 17, 5, 9), kMonday);
  ASSERT_TRUE(book.Changed());
  const std::string text = book.Format();
  EXPECT_FALSE(book.Changed());
  EXPECT_EQ(text,
            "date,user,seconds\n"
            "2026-09-09,anna,120\n"
            "2026-12-07,\"o\"\"neil, jr\",7\n"
            "# latest 2026-12-07 17:05:09 UTC; day 2026-12-07\n");

  TUsageBook read;
  const TUsageDamage damage = read.Parse(text, kMonday);
  EXPECT_EQ(damage.Lines, 0);
  EXPECT_EQ(read.Rows().size(), 2u);
  EXPECT_EQ(read.Used(kMonday, "o\"neil, jr"), 7);
  EXPECT_EQ(read.LatestUtc(), At(kMonday, 17, 5, 9));
  EXPECT_EQ(read.Format(), text) << "nothing counted, nothing moved";
}

// One mistyped digit, or a clock that jumped ahead for a tick, must neither
// become the day the history is cut back from nor the day use counts against.
TEST(UsageBookTest, DaysAfterTheLatestRecordedOrTheClocksNextAreIgnored) {
  const std::string history = "date,user,seconds\n2026-09-10,anna,60\n2062-12-07,anna,5\n2026-12-07,anna,600\n";
  TUsageBook book;
  TUsageDamage damage = book.Parse(history + "# latest 2026-12-07 17:05:09 UTC; day 2026-12-07\n", kMonday - 3);
  EXPECT_EQ(damage.Future, 1);
  EXPECT_EQ(damage.FirstFuture, 3);
  EXPECT_EQ(damage.Lines, 0);
  EXPECT_EQ(book.UseOf("anna", kMonday - 3).Seconds, 600) << "the clock three days behind reads the recorded day";
  EXPECT_NE(book.Format().find("2026-09-10,anna,60"), std::string::npos) << "88 days before: kept";

  // Without the line of the latest day (a file made by hand), the clock's next day is the last.
  damage = book.Parse(history, kMonday);
  EXPECT_EQ(damage.Future, 1);
  EXPECT_EQ(book.UseOf("anna", kMonday).Seconds, 600);
  EXPECT_EQ(book.Rows().size(), 2u);
}

TEST(UsageBookTest, ComingBackFromAJumpAheadMovesItsUseOntoTheDayCameBackTo) {
  TUsageBook book;
  book.Count(kMonday, {"anna"}, 100);
  book.Count(kMonday + 365, {"anna", "bert"}, 2);
  book.Note(At(kMonday, 10, 0), kMonday);
  book.ReturnTo(kMonday);
  EXPECT_EQ(book.Used(kMonday, "anna"), 102);
  EXPECT_EQ(book.Used(kMonday, "bert"), 2);
  EXPECT_EQ(book.Rows().size(), 2u);
  EXPECT_EQ(book.LatestDay(), kMonday);
}

TEST(UsageBookTest, DamagedLinesAreSkippedAndCounted) {
  TUsageBook book;
  const TUsageDamage damage = book.Parse(
      "date,user,seconds\r\n"
      "2026-12-07,anna,600\r\n"
      "2026-13-01,anna,5\r\n"          // no such month
      "2026-12-06,,5\r\n"              // no user
      "2026-12-06,bert,-5\r\n"         // not a count
      "2026-12-06,bert\r\n"            // a field short
      "\r\n"                           // an empty line is no damage
      "2026-12-06,\"bert,5\r\n"        // a quote never closed swallows the rest
      "2026-12-05,carl,9\n", kMonday);
  EXPECT_EQ(damage.Lines, 5);
  EXPECT_EQ(damage.First, 3);
  EXPECT_EQ(book.Used(kMonday, "anna"), 600);
  EXPECT_EQ(book.Rows().size(), 1u);

  // Without its header the file's rows still count; a row twice keeps the larger.
  EXPECT_EQ(book.Parse("2026-12-07,anna,5\n2026-12-07,anna,50\n2026-12-07,anna,7\n# latest nonsense\n", kMonday).Lines,
            1);
  EXPECT_EQ(book.Used(kMonday, "anna"), 50);
}

// anna: allowed all week but Monday from 21:00.
struct BudgetDecisionTest : ::testing::Test {
  BudgetDecisionTest() {
    for (int day = 0; day < 7; ++day) Rules.Add(day == 0 ? std::string(42, '0') + std::string(6, '1') : std::string(48, '0'));
  }
  TStringList Rules;
  TUserExtras Extras;
};

// The week's budget, Monday to Sunday: whichever of the day's and the week's
// runs out first ends the day; a week used up opens again next Monday.
TEST_F(BudgetDecisionTest, TheWeeksBudgetEndsTimeLikeTheDaysAndOpensOnMonday) {
  const int64_t sunday = kMonday + 6;
  const int64_t now = At(sunday, 20, 0);
  const struct {
    int32_t Week;
    int32_t Day;
    int64_t WeekUsed;
    bool Allowed;
    TDecisionReason Reason;
    std::optional<int64_t> Until;
  } cases[] = {
      {600, kNoBudget, 600 * 60 - 60, true, TDecisionReason::Rule, now + 60},
      {600, 30, 600 * 60 - 3600, true, TDecisionReason::Rule, now + 1800},  // the day's ends first
      {600, kNoBudget, 600 * 60, false, TDecisionReason::WeekBudget, At(kMonday + 7, 0, 0)},
      {0, kNoBudget, 0, false, TDecisionReason::WeekBudget, std::nullopt},  // none in any week
  };
  for (const auto& c : cases) {
    Extras.WeekBudget = c.Week;
    Extras.Budget[6] = c.Day;
    const TDecision decision = Decide(Rules, Extras, now, 3 * kSecondsPerDay, TDayUse{sunday, 0, c.WeekUsed});
    EXPECT_EQ(decision.Allowed, c.Allowed) << c.Week << " " << c.WeekUsed;
    EXPECT_EQ(decision.Reason, c.Reason) << c.Week << " " << c.WeekUsed;
    EXPECT_EQ(decision.Until, c.Until) << c.Week << " " << c.WeekUsed;
  }
}

TEST_F(BudgetDecisionTest, TheBudgetEndsTheDayOnceUsedAndOpensAtTheNextAllowedMidnight) {
  struct Case {
    int32_t MondayBudget;
    int32_t TuesdayBudget;
    int64_t Used;
    int64_t Now;
    bool Allowed;
    TDecisionReason Reason;
    std::optional<int64_t> Until;
  };
  const int64_t now = At(kMonday, 15, 0);
  const Case cases[] = {
      {kNoBudget, kNoBudget, 99999, now, true, TDecisionReason::Rule, At(kMonday, 21, 0)},
      {120, kNoBudget, 7200, now, false, TDecisionReason::Budget, At(kMonday + 1, 0, 0)},  // spent exactly
      {120, kNoBudget, 7199, now, true, TDecisionReason::Rule, now + 1},
      {120, kNoBudget, 600, now, true, TDecisionReason::Rule, now + 6600},
      {600, kNoBudget, 0, now, true, TDecisionReason::Rule, At(kMonday, 21, 0)},  // the rule ends first
      {0, kNoBudget, 0, now, false, TDecisionReason::Budget, At(kMonday + 1, 0, 0)},
      {0, 0, 0, now, false, TDecisionReason::Budget, At(kMonday + 2, 0, 0)},  // no time Tuesday either
      // Late on Monday with time to spare: Tuesday's budget ends 00:45.
      {kNoBudget, 45, 0, At(kMonday, 20, 50), true, TDecisionReason::Rule, At(kMonday, 21, 0)},
  };
  for (const Case& c : cases) {
    Extras.Budget[0] = c.MondayBudget;
    Extras.Budget[1] = c.TuesdayBudget;
    const TDecision decision = Decide(Rules, Extras, c.Now, 3 * kSecondsPerDay, TDayUse{kMonday, c.Used, c.Used});
    EXPECT_EQ(decision.Allowed, c.Allowed) << c.MondayBudget << " " << c.Used;
    EXPECT_EQ(decision.Reason, c.Reason) << c.MondayBudget << " " << c.Used;
    EXPECT_EQ(decision.Until, c.Until) << c.MondayBudget << " " << c.Used;
  }

  // Restricted at night with a budget shorter than the night: Tuesday opens at
  // 07:00 all the same.
  Rules = TStringList();
  for (int day = 0; day < 7; ++day) Rules.Add(std::string(14, '1') + std::string(34, '0'));
  Extras.Budget.fill(60);
  EXPECT_EQ(Decide(Rules, Extras, At(kMonday, 1, 30), kSecondsPerWeek, TDayUse{kMonday, 0}).Until,
            At(kMonday, 7, 0));

  // A budget that runs out after midnight: Tuesday's 45 minutes from 00:00.
  Rules = TStringList();
  for (int day = 0; day < 7; ++day) Rules.Add(std::string(48, '0'));
  Extras.Budget[0] = kNoBudget;
  Extras.Budget[1] = 45;
  EXPECT_EQ(Decide(Rules, Extras, At(kMonday, 23, 50), kSecondsPerDay, TDayUse{kMonday, 0}).Until,
            At(kMonday + 1, 0, 45));
}

TEST_F(BudgetDecisionTest, ExtraTimeOutlastsASpentBudgetAndAClockSetBackKeepsTheLatestDay) {
  Extras.Budget.fill(60);
  Extras.ExtraTime.Until = At(kMonday, 16, 0);
  TDecision decision = Decide(Rules, Extras, At(kMonday, 15, 0), kSecondsPerDay, TDayUse{kMonday, 3600});
  EXPECT_TRUE(decision.Allowed);
  EXPECT_EQ(decision.Reason, TDecisionReason::ExtraTime);
  EXPECT_EQ(decision.Until, At(kMonday, 16, 0));

  // The clock reads Sunday, but Monday's hour was used: no new day opens.
  Extras.ExtraTime.Until = 0;
  decision = Decide(Rules, Extras, At(kMonday - 1, 15, 0), 0, TDayUse{kMonday, 3600});
  EXPECT_FALSE(decision.Allowed);
  EXPECT_EQ(decision.Reason, TDecisionReason::Budget);
}

TEST_F(BudgetDecisionTest, TheBackstopClosesTheRestOfASpentDayAndEveryDayWithoutTime) {
  // Week from Monday 15:00 UTC, the rules' time being UTC.
  const TWeekClock week = WeekClockFrom(At(kMonday, 15, 0), [](int64_t utc) { return utc; });
  auto open = [](const TLogonHours& hours, int64_t utc) {
    const int64_t n = (utc / 3600 + 4 * 24) % kHoursPerWeek;
    return (hours[static_cast<size_t>(n / 8)] >> (n % 8) & 1) != 0;
  };
  Extras.Budget[0] = 60;
  Extras.Budget[2] = 0;  // Wednesday
  TLogonHours hours = WeekLogonHours(Rules, Extras, week, TDayUse{kMonday, 3600});
  EXPECT_FALSE(open(hours, At(kMonday, 15, 0)));
  EXPECT_FALSE(open(hours, At(kMonday, 20, 0)));
  EXPECT_TRUE(open(hours, At(kMonday + 1, 0, 0))) << "Tuesday has no budget";
  EXPECT_TRUE(open(hours, At(kMonday + 7, 14, 0))) << "next Monday starts afresh";
  EXPECT_FALSE(open(hours, At(kMonday + 2, 12, 0))) << "Wednesday's budget is 0";

  // Time left today: the rules alone decide.
  hours = WeekLogonHours(Rules, Extras, week, TDayUse{kMonday, 3599});
  EXPECT_TRUE(open(hours, At(kMonday, 20, 0)));
  EXPECT_FALSE(open(hours, At(kMonday, 21, 0)));
}

}  // namespace
