#include "tray/tray_view.h"

#include "common/calendar.h"
#include "engine/decision.h"
#include "engine/time_rules.h"
#include "engine/week.h"

namespace {
constexpr int64_t kMinute = 60;

std::string ClockAt(int64_t seconds) { return FormatClockTime(seconds); }

// "20:00" today, "Tuesday 08:00" on another day.
std::string WhenText(int64_t at, int64_t now) {
  if (DayOf(at) == DayOf(now)) return ClockAt(at);
  return DayName(WeekdayOf(DayOf(at))) + " " + ClockAt(at);
}
}  // namespace

TTrayView TrayViewOf(const TConfiguration& config, int position, const TRulesTime& rulesTime, const TDayUse& use) {
  const TRulesTime& time = rulesTime;
  const int64_t now = time.NowWall;
  TTrayView view;
  const TDecision decision = DecideFor(config, position, now, kSecondsPerWeek, use);
  const TUserExtras& extras = ExtrasOf(config, position);
  view.Allowed = decision.Allowed;
  const TDateTime wall = DateTimeAt(now);
  view.Today = DayIndexOf(wall);
  view.NowSlot = SlotIndexOf(wall);

  if (!decision.Allowed) {
    view.Tooltip = "Time is up";
    view.Lines.push_back(decision.Reason == TDecisionReason::Budget       ? "Today's time is used up"
                         : decision.Reason == TDecisionReason::WeekBudget ? "This week's time is used up"
                                                                          : "Not allowed now");
    view.Lines.push_back(decision.Until ? "Next allowed: " + DayName(WeekdayOf(DayOf(*decision.Until))) + " " +
                                              ClockAt(*decision.Until)
                                        : "Next allowed: not within a week");
  } else if (!decision.Until) {
    view.Tooltip = "No limit today";
    view.Lines.push_back("Allowed all week");
  } else {
    const int64_t end = ElapsedEnd(config, position, time, use, kSecondsPerWeek).value_or(time.NowUtc);
    view.SecondsLeft = end - time.NowUtc;
    if (DayOf(*decision.Until) == DayOf(now) || *view.SecondsLeft <= kTimeLeftShownWithin)
      view.Tooltip =
          "Time left: " + FormatDuration(*view.SecondsLeft) + " (until " + ClockAt(time.WallAt(end)) + ")";
    else
      view.Tooltip = "No limit today";
    view.Lines.push_back("Allowed until " + WhenText(*decision.Until, now));
  }

  const std::optional<int64_t> left = BudgetLeft(extras, use.Day == kNoDay ? TDayUse{DayOf(now), 0} : use);
  if (left) {
    view.Lines.push_back("Time left today: " + FormatDuration(*left));
    view.Lines.push_back("Time used today: " + FormatDuration(use.Day == kNoDay ? 0 : use.Seconds));
  }
  if (extras.ExtraTime.Until != 0 && now < extras.ExtraTime.Until)
    view.Lines.push_back("Extra time until " + WhenText(extras.ExtraTime.Until, now));

  view.Week = WeekOfRules(RulesOf(config, position).Items());
  return view;
}

std::string BalloonText(int64_t minutesLeft, TEndAction action) {
  return std::to_string(minutesLeft) + (minutesLeft == 1 ? " minute" : " minutes") +
         (action == TEndAction::Lock ? " left: then your session is locked, and your programs stay open"
                                     : " left: please save your work");
}

std::vector<int64_t> BalloonLeads(int32_t warnMinutes) {
  std::vector<int64_t> leads;
  if (warnMinutes > 1) leads.push_back(int64_t{warnMinutes} * kMinute);
  leads.push_back(kMinute);
  return leads;
}
