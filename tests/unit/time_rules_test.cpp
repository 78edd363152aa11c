#include <gtest/gtest.h>

#include <cctype>

#include "diag/messages.h"
#include "common/calendar.h"
#include "engine/decision.h"
#include "engine/time_rules.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/recording_log.h"

namespace {

enum Weekday { Sunday = 0, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };

class TimeRulesTest : public ::testing::Test {
 protected:
  void AddUser(const std::string& name, std::vector<std::string> rules) {
    State.RestrictedUsers.Add(name);
    TStringList list;
    for (auto& rule : rules) list.Add(rule);
    State.UserRules.push_back(list);
  }
  bool At(int day, int hour, int minute, const std::string& user = "anna") {
    Clock.Set(day, hour, minute);
    return IsRestrictedNow(State, Clock, Log, user);
  }
  TConfiguration State;
  TFakeClock Clock;
  TRecordingLog Log;
};

TEST(DayAndSlotTest, DecodesWeekdaysFromMondayZeroToSundaySix) {
  const int expected[7] = {6, 0, 1, 2, 3, 4, 5};  // indexed by the platform's 0 = Sunday
  for (int dow = 0; dow < 7; ++dow) {
    TDateTime t;
    t.DayOfWeek = static_cast<uint16_t>(dow);
    EXPECT_EQ(DayIndexOf(t), expected[dow]) << "weekday " << dow;
  }
}

TEST(DayAndSlotTest, SlotsCoverHalfHours) {
  const struct { int Hour, Minute, Slot; } cases[] = {
      {0, 0, 0}, {0, 29, 0}, {0, 30, 1}, {7, 45, 15}, {12, 0, 24}, {19, 59, 39}, {20, 0, 40}, {23, 30, 47}, {23, 59, 47}};
  for (const auto& c : cases) {
    TDateTime t;
    t.Hour = static_cast<uint16_t>(c.Hour);
    t.Minute = static_cast<uint16_t>(c.Minute);
    EXPECT_EQ(SlotIndexOf(t), c.Slot) << c.Hour << ":" << c.Minute;
  }
}

TEST_F(TimeRulesTest, FortyAllowedThenEightRestricted) {
  AddUser("anna", std::vector<std::string>(7, std::string(40, '0') + std::string(8, '1')));
  const struct { int Hour, Minute; bool Restricted; } cases[] = {
      {0, 0, false}, {0, 29, false}, {0, 30, false}, {12, 0, false}, {19, 59, false}, {20, 0, true}, {23, 59, true}};
  for (const auto& c : cases) EXPECT_EQ(At(Wednesday, c.Hour, c.Minute), c.Restricted) << c.Hour << ":" << c.Minute;
  EXPECT_TRUE(Log.Messages.empty()) << "level 2 traces nothing";
}

TEST_F(TimeRulesTest, MondayReadsTimeOneAndSundayTimeSeven) {
  std::vector<std::string> rules(7, std::string(48, '0'));
  rules[0][20] = '1';  // Monday 10:00
  rules[6][20] = 'x';  // Sunday 10:00: any character but "0" restricts
  rules[5][15] = ' ';  // Saturday 07:45
  rules[6][47] = '1';  // Sunday 23:30
  AddUser("anna", rules);
  EXPECT_TRUE(At(Monday, 10, 0));
  EXPECT_FALSE(At(Tuesday, 10, 0));
  EXPECT_TRUE(At(Sunday, 10, 0));
  EXPECT_TRUE(At(Saturday, 7, 45));
  EXPECT_FALSE(At(Saturday, 8, 0));
  EXPECT_TRUE(At(Sunday, 23, 30));
  EXPECT_EQ(Clock.Reads, 6) << "one clock read per call";
}

TEST_F(TimeRulesTest, NamesMatchIgnoringCaseAndTheFirstEntryWins) {
  AddUser("Anna", {std::string(48, '1')});
  AddUser("ANNA", {std::string(48, '0')});
  EXPECT_TRUE(At(Monday, 9, 0, "aNNa"));
}

TEST_F(TimeRulesTest, OnlyTheFirstFortyEightCharactersCount) {
  AddUser("anna", {std::string(48, '0') + std::string(20, '1')});
  for (int hour = 0; hour < 24; ++hour) EXPECT_FALSE(At(Monday, hour, 30));
}

TEST_F(TimeRulesTest, TraceLinesAtLevelThree) {
  std::string rule(48, '0');
  rule[42] = '1';
  AddUser("anna", {rule, rule});
  State.DebugLevel = 3;
  EXPECT_TRUE(At(Tuesday, 21, 10));
  EXPECT_EQ(Log.Messages, (std::vector<std::string>{
                              "Checking user:anna",
                              "Time control check: day=1 position[42]=1 rule=" + rule}));
  Log.Messages.clear();
  State.DebugLevel = -3;
  EXPECT_FALSE(At(Tuesday, 0, 0));
  ASSERT_EQ(Log.Messages.size(), 2u);
  EXPECT_EQ(Log.Messages[1], "Time control check: day=1 position[0]=0 rule=" + rule);
}

struct UnusableCase {
  const char* Why;
  const char* User;
  std::vector<std::string> Rules;
};

class UnusableRuleTest : public TimeRulesTest, public ::testing::WithParamInterface<UnusableCase> {};

TEST_P(UnusableRuleTest, AnswersNotRestrictedAndNamesTheGap) {
  AddUser("anna", GetParam().Rules);
  State.DebugLevel = 2;
  EXPECT_FALSE(At(Wednesday, 21, 10, GetParam().User));  // day 2, slot 42
  EXPECT_EQ(Log.Messages,
            (std::vector<std::string>{"ERROR:No usable time rule for user:" + std::string(GetParam().User) + " day=2 position=42"}));
  for (const int32_t quiet : {1, 0}) {
    Log.Messages.clear();
    State.DebugLevel = quiet;
    EXPECT_FALSE(At(Wednesday, 21, 10, GetParam().User));
    EXPECT_TRUE(Log.Messages.empty()) << "level " << quiet;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, UnusableRuleTest,
    ::testing::Values(UnusableCase{"unknown user", "bert", {std::string(48, '1')}},
                      UnusableCase{"no rules at all", "anna", {}},
                      UnusableCase{"no rule for Wednesday", "anna", {std::string(48, '1'), std::string(48, '1')}},
                      UnusableCase{"rule ends before the slot", "anna",
                                   {std::string(48, '1'), std::string(48, '1'), std::string(42, '1')}},
                      UnusableCase{"empty rule", "anna", {"", "", ""}}),
    [](const ::testing::TestParamInfo<UnusableCase>& info) {
      std::string name = info.param.Why;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST_F(TimeRulesTest, UsersWithoutRuleListsDoNotReadPastUserRules) {
  State.RestrictedUsers.Add("anna");  // UserRules left shorter, as after a failed load
  State.DebugLevel = 3;
  EXPECT_FALSE(At(Monday, 1, 0));
  ASSERT_EQ(Log.Messages.size(), 3u);
  EXPECT_EQ(Log.Messages[1], "Time control check: day=0 position[2]= rule=");
}

}  // namespace

namespace {
// Monday 7 December 2026 at hh:mm:ss, in seconds of the rules' time.
int64_t OnMonday(int hour, int minute, int second = 0) {
  return DaysFromCivil(2026, 12, 7) * 86400 + hour * 3600 + minute * 60 + second;
}

struct TEndCase {
  const char* Name;
  std::string MondayRule;
  std::string TuesdayRule;
  const char* AllowUntil;  // "" none
  int64_t Now;
  int64_t Horizon;
  std::optional<int64_t> End;  // allowed now and until then; nullopt: not allowed, or beyond the horizon
};

TEST(DecisionTest, AnAllowedUserIsAllowedUntilTheFirstRestrictedMomentWithinTheHorizon) {
  const std::string allowed(48, '0');
  const std::string from21 = std::string(42, '0') + std::string(6, '1');       // restricted from 21:00
  const std::string only21 = std::string(42, '0') + "1" + std::string(5, '0');  // 21:00-21:29 only
  const std::string midnight = "1" + std::string(47, '0');                      // 00:00-00:29 only
  const TEndCase cases[] = {
      {"exactly the horizon before", from21, allowed, "", OnMonday(20, 50), 600, OnMonday(21, 0)},
      {"a second earlier", from21, allowed, "", OnMonday(20, 49, 59), 600, std::nullopt},
      {"restricted now", from21, allowed, "", OnMonday(21, 0), 600, std::nullopt},
      {"at midnight of the next day", allowed, midnight, "", OnMonday(23, 45), 1800, OnMonday(24, 0)},
      {"never within the horizon", allowed, allowed, "", OnMonday(23, 45), 3600, std::nullopt},
      {"extra time ending mid-half-hour", from21, allowed, "2026-12-07 21:15", OnMonday(21, 5), 600, OnMonday(21, 15)},
      {"extra time bridging the start", from21, allowed, "2026-12-07 21:15", OnMonday(20, 55), 1800, OnMonday(21, 15)},
      {"extra time ending in an allowed half hour", only21, allowed, "2026-12-07 21:40", OnMonday(20, 55), 3600,
       std::nullopt},
      {"extra time ending exactly at a restricted start", from21, allowed, "2026-12-07 21:30", OnMonday(21, 20), 600,
       OnMonday(21, 30)},
      {"extra time already over", from21, allowed, "2026-12-07 20:00", OnMonday(20, 55), 600, OnMonday(21, 0)},
  };
  for (const TEndCase& c : cases) {
    TStringList rules;
    rules.Add(c.MondayRule);
    rules.Add(c.TuesdayRule);
    TUserExtras extras;
    if (*c.AllowUntil) {
      ASSERT_TRUE(ParseMinuteStamp(extras.ExtraTime.Text = c.AllowUntil, extras.ExtraTime.Until));
    }
    const TDecision decision = Decide(rules, extras, c.Now, c.Horizon, TDayUse());
    const std::optional<int64_t> end = decision.Allowed ? decision.Until : std::nullopt;
    EXPECT_EQ(end.has_value(), c.End.has_value()) << c.Name;
    if (end && c.End) {
      EXPECT_EQ(FormatMinuteStamp(*end), FormatMinuteStamp(*c.End)) << c.Name;
    }
  }
}
}  // namespace

namespace {
TEST(DecisionTest, SaysWhyAndWhenARestrictedUserMayComeBack) {
  const std::string from21 = std::string(42, '0') + std::string(6, '1');
  const std::string from07 = std::string(14, '1') + std::string(34, '0');
  struct {
    const char* Name;
    std::string Monday;
    const char* AllowUntil;
    int64_t Now;
    int64_t Horizon;
    bool Allowed;
    TDecisionReason Reason;
    std::optional<int64_t> Until;
  } const cases[] = {
      {"restricted until Tuesday's first allowed half hour", from21, "", OnMonday(21, 10), kSecondsPerWeek, false,
       TDecisionReason::Rule, OnMonday(24 + 7, 0)},
      {"that is beyond the horizon", from21, "", OnMonday(21, 10), 3600, false, TDecisionReason::Rule, std::nullopt},
      {"extra time past the rule", from21, "2026-12-07 21:45", OnMonday(21, 10), 0, true, TDecisionReason::ExtraTime,
       std::nullopt},
      {"extra time over", from21, "2026-12-07 21:05", OnMonday(21, 10), 0, false, TDecisionReason::Rule, std::nullopt},
      {"a rule too short to answer", "000", "", OnMonday(21, 10), 0, true, TDecisionReason::NoRule, std::nullopt},
  };
  for (const auto& c : cases) {
    TStringList rules;
    rules.Add(c.Monday);
    rules.Add(from07);
    TUserExtras extras;
    if (*c.AllowUntil) {
      ASSERT_TRUE(ParseMinuteStamp(extras.ExtraTime.Text = c.AllowUntil, extras.ExtraTime.Until));
    }
    const TDecision decision = Decide(rules, extras, c.Now, c.Horizon, TDayUse());
    EXPECT_EQ(decision.Allowed, c.Allowed) << c.Name;
    EXPECT_EQ(decision.Reason, c.Reason) << c.Name;
    EXPECT_EQ(decision.Until, c.Until) << c.Name;
  }
}
}  // namespace
