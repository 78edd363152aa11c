#include "tray/tray_view.h"

#include <algorithm>
#include <cctype>

#include "common/calendar.h"
#include "common/protocol.h"
#include "engine/decision.h"
#include "engine/time_rules.h"
#include "engine/week.h"

namespace {
constexpr int64_t kMinute = 60;

std::string ClockAt(int64_t seconds) { return FormatClockTime(seconds); }

// "today 20:00", "tomorrow 07:00", "Thursday 07:00".
std::string WhenText(int64_t at, int64_t now) {
  const int64_t days = DayOf(at) - DayOf(now);
  const std::string day = days == 0 ? "today" : days == 1 ? "tomorrow" : DayName(WeekdayOf(DayOf(at)));
  return day + " " + ClockAt(at);
}

bool IsClockText(const std::string& text) {
  return text.size() == 5 && text[2] == ':' && std::isdigit(static_cast<unsigned char>(text[0])) &&
         std::isdigit(static_cast<unsigned char>(text[1])) && std::isdigit(static_cast<unsigned char>(text[3])) &&
         std::isdigit(static_cast<unsigned char>(text[4]));
}

// value split at its '@'.
bool SplitAt(const std::string& value, std::string& before, std::string& after) {
  const size_t at = value.find('@');
  if (at == std::string::npos) return false;
  before = value.substr(0, at);
  after = value.substr(at + 1);
  return true;
}

bool SmallNumber(const std::string& text, int64_t& number) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  number = std::stoll(text);
  return true;
}
}  // namespace

TServiceState ParseServiceState(const std::string& answer) {
  TServiceState state;
  if (answer != kAnswerOk && answer.rfind(std::string(kAnswerOk) + " ", 0) != 0) return state;
  state.Answered = true;
  size_t at = std::string(kAnswerOk).size();
  while (at < answer.size()) {
    size_t end = answer.find(' ', at + 1);
    if (end == std::string::npos) end = answer.size();
    const std::string field = answer.substr(at + 1, end - at - 1);
    at = end;
    const size_t equals = field.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = field.substr(0, equals), value = field.substr(equals + 1);
    std::string before, after;
    int64_t number = 0;
    const bool split = SplitAt(value, before, after);
    if (name == "asked" && split && SmallNumber(before, number) && number > 0 && IsClockText(after)) {
      state.AskedMinutes = static_cast<int32_t>(std::min<int64_t>(number, 24 * 60));
      state.AskedAt = after;
    } else if (name == "answer") {
      if (value == "denied") state.Answer = TServiceState::TAnswer::Denied;
      if (value.rfind("approved", 0) == 0) state.Answer = TServiceState::TAnswer::Approved;
    } else if (name == "ends" && split && IsClockText(before) && SmallNumber(after, number)) {
      state.AnnouncedAt = before;
      state.AnnouncedLeft = number;
    }
  }
  return state;
}

std::string AskAmountText(int32_t minutes) {
  return minutes == 60        ? "1 hour"
         : minutes % 60 == 0 ? std::to_string(minutes / 60) + " hours"
                             : std::to_string(minutes) + " minutes";
}

std::string AskedText(int32_t minutes, const std::string& at) {
  return "You asked for " + AskAmountText(minutes) + " at " + at;
}

TTrayView TrayViewOf(const TConfiguration& config, int position, const TRulesTime& rulesTime, const TDayUse& use,
                     const TServiceState& state) {
  const TRulesTime& time = rulesTime;
  const int64_t now = time.NowWall;
  TTrayView view;
  const TDecision decision = DecideFor(config, position, now, kSecondsPerWeek, use);
  const TUserExtras& extras = ExtrasOf(config, position);
  view.Allowed = decision.Allowed;
  const TDateTime wall = DateTimeAt(now);
  view.Today = DayIndexOf(wall);
  view.NowSlot = SlotIndexOf(wall);

  if (!decision.Allowed && state.AnnouncedLeft && *state.AnnouncedLeft > 0) {
    // The service warned of an end and keeps to it, whatever changed since.
    view.Allowed = true;
    view.SecondsLeft = state.AnnouncedLeft;
    view.Tooltip = "Time left: " + FormatDuration(*view.SecondsLeft) + " (until " + state.AnnouncedAt + ")";
    view.Lines.push_back("Your time ends at " + state.AnnouncedAt);
    view.Lines.push_back("Time left: " + FormatDuration(*view.SecondsLeft));
  } else if (!decision.Allowed) {
    view.Tooltip = "Time is up";
    view.Lines.push_back(decision.Reason == TDecisionReason::Budget       ? "Today's time is used up"
                         : decision.Reason == TDecisionReason::WeekBudget ? "This week's time is used up"
                                                                          : "Not allowed now");
    view.Lines.push_back(decision.Until ? "Next allowed: " + WhenText(*decision.Until, now)
                                        : "Next allowed: not within a week");
  } else if (!decision.Until) {
    view.Tooltip = "No limit today";
    view.Lines.push_back("Allowed all week");
  } else {
    const int64_t end = ElapsedEnd(config, position, time, use, kSecondsPerWeek).value_or(time.NowUtc);
    view.SecondsLeft = end - time.NowUtc;
    view.Lines.push_back("Time ends: " + WhenText(*decision.Until, now));
    if (DayOf(*decision.Until) == DayOf(now) || *view.SecondsLeft <= kTimeLeftShownWithin) {
      view.Tooltip = "Time left: " + FormatDuration(*view.SecondsLeft) + " (until " + ClockAt(time.WallAt(end)) + ")";
      view.Lines.push_back("Time left: " + FormatDuration(*view.SecondsLeft));
    } else {
      view.Tooltip = "No limit today";
    }
  }

  // The budget is one of the ends: beside the end, it is said only while the
  // user may use the computer, when it counts down.
  const std::optional<int64_t> left = BudgetLeft(extras, use.Day == kNoDay ? TDayUse{DayOf(now), 0} : use);
  if (left && decision.Allowed) {
    view.Lines.push_back("Daily time left: " + FormatDuration(*left));
    view.Lines.push_back("Time used today: " + FormatDuration(use.Day == kNoDay ? 0 : use.Seconds));
  }
  if (decision.Allowed && extras.ExtraTime.Until != 0 && now < extras.ExtraTime.Until)
    view.Lines.push_back("Extra time from your parent is included");

  if (state.AskedMinutes > 0) view.Lines.push_back(AskedText(state.AskedMinutes, state.AskedAt));
  if (state.Answer == TServiceState::TAnswer::Denied) view.Lines.push_back("Your parent said no");
  if (state.Answer == TServiceState::TAnswer::Approved) view.Lines.push_back("Your parent said yes");

  view.Week = WeekOfRules(RulesOf(config, position).Items());
  return view;
}

std::string BalloonText(int64_t minutesLeft, TEndAction action) {
  return std::to_string(minutesLeft) + (minutesLeft == 1 ? " minute" : " minutes") +
         (action == TEndAction::Lock ? " left: then your session is locked, and your programs stay open. You can "
                                       "ask for more time"
                                     : " left: please save your work, or ask for more time");
}

std::vector<int64_t> BalloonLeads(int32_t warnMinutes) {
  std::vector<int64_t> leads;
  if (warnMinutes > 1) leads.push_back(int64_t{warnMinutes} * kMinute);
  leads.push_back(kMinute);
  return leads;
}
