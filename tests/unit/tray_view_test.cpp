// What the restricted user reads in the notification area and the status
// window, from the service's own decision.

#include <gtest/gtest.h>

#include "common/calendar.h"
#include "tray/tray_view.h"

namespace {

// Monday 7 December 2026.
const int64_t kMonday = DaysFromCivil(2026, 12, 7);
int64_t At(int64_t day, int hour, int minute) { return day * kSecondsPerDay + hour * 3600 + minute * 60; }

// anna: Monday until 20:00, Tuesday from 08:00, Thursday from 08:00, every
// other day free.
TConfiguration Config() {
  TConfiguration config;
  config.RestrictedUsers.Add("anna");
  TStringList rules;
  rules.Add(std::string(40, '0') + std::string(8, '1'));
  for (int day = 1; day < 7; ++day) rules.Add(day == 1 || day == 3 ? std::string(16, '1') + std::string(32, '0') : std::string(48, '0'));
  config.UserRules.push_back(rules);
  config.UserExtras.emplace_back();
  return config;
}

// Now at wall, the rules' time running as UTC does.
TRulesTime Steady(int64_t wall) { return TRulesTime{wall, wall, nullptr, nullptr}; }

TEST(TrayViewTest, TheTooltipAndTheLinesSayWhatTheDecisionSays) {
  struct Case {
    const char* Name;
    int64_t Now;
    std::array<int32_t, 7> Budget;
    TDayUse Use;
    const char* ExtraUntil;
    std::string Tooltip;
    std::vector<std::string> Lines;
  };
  const std::array<int32_t, 7> none{kNoBudget, kNoBudget, kNoBudget, kNoBudget, kNoBudget, kNoBudget, kNoBudget};
  std::array<int32_t, 7> twoHours = none;
  twoHours[0] = 120;
  const Case cases[] = {
      {"the rule ends today", At(kMonday, 18, 40), none, TDayUse(), nullptr,
       "Time left: 1 h 20 min (until 20:00)", {"Time ends: today 20:00", "Time left: 1 h 20 min"}},
      {"restricted by the rule", At(kMonday, 21, 0), none, TDayUse(), nullptr, "Time is up",
       {"Not allowed now", "Next allowed: tomorrow 08:00"}},
      {"allowed later today", At(kMonday + 1, 7, 0), none, TDayUse(), nullptr, "Time is up",
       {"Not allowed now", "Next allowed: today 08:00"}},
      {"no end today", At(kMonday + 2, 9, 0), none, TDayUse(), nullptr, "No limit today",
       {"Time ends: tomorrow 00:00"}},
      {"the end at midnight", At(kMonday + 2, 23, 0), none, TDayUse(), nullptr, "Time left: 1 h (until 00:00)",
       {"Time ends: tomorrow 00:00", "Time left: 1 h"}},
      {"the budget ends first", At(kMonday, 15, 0), twoHours, TDayUse{kMonday, 80 * 60}, nullptr,
       "Time left: 40 min (until 15:40)",
       {"Time ends: today 15:40", "Time left: 40 min", "Daily time left: 40 min", "Time used today: 1 h 20 min"}},
      {"the budget used up", At(kMonday, 15, 0), twoHours, TDayUse{kMonday, 120 * 60}, nullptr, "Time is up",
       {"Today's time is used up", "Next allowed: tomorrow 08:00"}},
      {"the budget left after the rule's end", At(kMonday, 21, 0), twoHours, TDayUse{kMonday, 60}, nullptr,
       "Time is up", {"Not allowed now", "Next allowed: tomorrow 08:00"}},
      {"extra time", At(kMonday, 20, 30), none, TDayUse(), "2026-12-07 21:15", "Time left: 45 min (until 21:15)",
       {"Time ends: today 21:15", "Time left: 45 min", "Extra time from your parent is included"}},
  };
  for (const Case& c : cases) {
    TConfiguration config = Config();
    config.UserExtras[0].Budget = c.Budget;
    if (c.ExtraUntil != nullptr) {
      config.UserExtras[0].ExtraTime.Text = c.ExtraUntil;
      ASSERT_TRUE(ParseMinuteStamp(c.ExtraUntil, config.UserExtras[0].ExtraTime.Until));
    }
    const TTrayView view = TrayViewOf(config, 0, Steady(c.Now), c.Use);
    EXPECT_EQ(view.Tooltip, c.Tooltip) << c.Name;
    EXPECT_EQ(view.Lines, c.Lines) << c.Name;
  }
}

TEST(TrayViewTest, TheWeekAndTheEndForTheBalloons) {
  const TTrayView view = TrayViewOf(Config(), 0, Steady(At(kMonday, 19, 55)), TDayUse());
  EXPECT_EQ(view.SecondsLeft, 300);
  EXPECT_EQ(BalloonText(10, TEndAction::PowerOff), "10 minutes left: please save your work, or ask for more time");
  EXPECT_EQ(BalloonText(1, TEndAction::SignOut), "1 minute left: please save your work, or ask for more time");
  EXPECT_EQ(BalloonText(10, TEndAction::Lock),
            "10 minutes left: then your session is locked, and your programs stay open. You can ask for more time");
  EXPECT_EQ(BalloonLeads(10), (std::vector<int64_t>{600, 60}));
  EXPECT_EQ(BalloonLeads(1), (std::vector<int64_t>{60}));
  EXPECT_EQ(BalloonLeads(0), (std::vector<int64_t>{60}));
  EXPECT_TRUE(view.Week[0][39]);
  EXPECT_FALSE(view.Week[0][40]);
  EXPECT_FALSE(view.Week[1][15]);
  EXPECT_TRUE(view.Week[1][16]);
  EXPECT_EQ(view.Today, 0);
  EXPECT_EQ(view.NowSlot, 39);
}

// The service ends the time by elapsed time: on the nights the clocks change,
// an end at 03:00 is half an hour or two and a half away at 01:30.
TEST(TrayViewTest, TheTimeLeftIsElapsedTimeOnBothDaylightSavingNights) {
  TTimeZone europe;
  europe.Rules.Bias = -60;
  europe.Rules.DaylightBias = -60;
  europe.Rules.DaylightDate = TDateTime{0, 3, 0, 5, 2, 0, 0, 0};  // the last Sunday of March, 02:00
  europe.Rules.StandardDate = TDateTime{0, 10, 0, 5, 3, 0, 0, 0};  // the last Sunday of October, 03:00
  TConfiguration config;
  config.RestrictedUsers.Add("anna");
  TStringList rules;
  for (int day = 0; day < 7; ++day) rules.Add(day == 6 ? std::string(6, '0') + std::string(42, '1') : std::string(48, '0'));
  config.UserRules.push_back(rules);
  config.UserExtras.emplace_back();
  const int64_t spring = DaysFromCivil(2026, 3, 29) * kSecondsPerDay;
  const int64_t autumn = DaysFromCivil(2026, 10, 25) * kSecondsPerDay;
  struct {
    TRulesTime Time;
    int64_t Left;
    const char* Tooltip;
  } cases[] = {
      {TRulesTime{spring + 1800, spring + 5400, &europe, nullptr}, 1800, "Time left: 30 min (until 03:00)"},
      {TRulesTime{autumn - 1800, autumn + 5400, nullptr, &europe}, 9000, "Time left: 2 h 30 min (until 03:00)"},
  };
  for (const auto& c : cases) {
    const TTrayView view = TrayViewOf(config, 0, c.Time, TDayUse());
    EXPECT_EQ(view.SecondsLeft, c.Left) << c.Tooltip;
    EXPECT_EQ(view.Tooltip, c.Tooltip);
  }
}

// The service's answer to STATE: what is open, what a parent said, and an end
// it announced, which the clock shows during the grace instead of "Not allowed
// now". Whatever else the answer holds is passed over.
TEST(TrayViewTest, WhatTheServiceSaysJoinsTheView) {
  const struct {
    const char* Answer;
    bool Answered;
    std::string Tooltip;
    std::vector<std::string> Lines;
  } cases[] = {
      {"OK asked=30@20:55", true, "Time is up",
       {"Not allowed now", "Next allowed: tomorrow 08:00", "You asked for 30 minutes at 20:55"}},
      {"OK asked=120@20:55 answer=denied", true, "Time is up",
       {"Not allowed now", "Next allowed: tomorrow 08:00", "You asked for 2 hours at 20:55", "Your parent said no"}},
      {"OK ends=21:09@540 answer=approved@21:40", true, "Time left: 9 min (until 21:09)",
       {"Your time ends at 21:09", "Time left: 9 min", "Your parent said yes"}},
      {"OK asked=30@9:55 ends=2109@540 ends=21:09@-5 new=1", true, "Time is up",
       {"Not allowed now", "Next allowed: tomorrow 08:00"}},
      {"OKAY asked=30@20:55", false, "Time is up", {"Not allowed now", "Next allowed: tomorrow 08:00"}},
  };
  for (const auto& c : cases) {
    const TServiceState state = ParseServiceState(c.Answer);
    EXPECT_EQ(state.Answered, c.Answered) << c.Answer;
    const TTrayView view = TrayViewOf(Config(), 0, Steady(At(kMonday, 21, 0)), TDayUse(), state);
    EXPECT_EQ(view.Tooltip, c.Tooltip) << c.Answer;
    EXPECT_EQ(view.Lines, c.Lines) << c.Answer;
  }
  EXPECT_EQ(AskedText(60, "18:05"), "You asked for 1 hour at 18:05");
}

TEST(TrayViewTest, DurationsAsPeopleSayThem) {
  EXPECT_EQ(FormatDuration(0), "0 min");
  EXPECT_EQ(FormatDuration(59), "0 min");
  EXPECT_EQ(FormatDuration(45 * 60 + 59), "45 min");
  EXPECT_EQ(FormatDuration(3600), "1 h");
  EXPECT_EQ(FormatDuration(80 * 60), "1 h 20 min");
  EXPECT_EQ(FormatDuration(-5), "0 min");
}

}  // namespace
