#pragma once
// What the restricted user sees of their time, as texts: the icon's tooltip,
// the status window's lines and the balloons before the end. Every answer comes
// from the service's own decision over the configuration and the day's use, so
// the tray never says what the service would not do. Pure; any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/rules_time.h"
#include "engine/usage.h"
#include "engine/week.h"
#include "winsys/configuration.h"

// The status window as other programs (and the probes) find it: its caption,
// which the tray's hidden window also carries, and its class.
inline constexpr char kTrayCaption[] = "Nortavel free";
inline constexpr char kTrayStatusClass[] = "NortavelFreeTrayStatus";

// What the service said of the user (its answer to STATE): their open
// request, a parent's answer today, and an end it has already announced to
// them, which holds during the grace after a change of the rules.
struct TServiceState {
  bool Answered = false;  // the service answered; nothing else holds otherwise
  int32_t AskedMinutes = 0;  // an open request, 0 for none
  std::string AskedAt;       // "18:05"
  enum class TAnswer { None, Approved, Denied } Answer = TAnswer::None;
  std::optional<int64_t> AnnouncedLeft;  // seconds to the announced end
  std::string AnnouncedAt;               // "06:41"
};
// Reads "OK asked=30@18:05 answer=approved@18:40 ends=06:41@540"; a field it
// does not know is passed over, an answer that is not "OK ..." is Answered false.
TServiceState ParseServiceState(const std::string& answer);

// The tray's whole view of one user at one moment.
struct TTrayView {
  bool Allowed = true;
  std::string Tooltip;             // "Time left: 1 h 20 min (until 20:00)", "No limit today", "Time is up"
  std::vector<std::string> Lines;  // the status window's lines, top to bottom
  // Seconds until the time ends, when it ends within today or the next day.
  std::optional<int64_t> SecondsLeft;
  // The week of the rules, as the tool's grid shows it.
  TWeek Week{};
  int Today = 0;  // 0 = Monday
  int NowSlot = 0;
};

// The time left is shown, rather than "No limit today", when the end is this
// close, also past midnight.
inline constexpr int64_t kTimeLeftShownWithin = 12 * 60 * 60;

// The view of the user at position of config at time.NowWall, having used use of
// the day's budget (TDayUse() when no budget), with what the service said. It
// leads with the one moment the time ends (as the service decides: the rules,
// the budget and extra time together). The time left is elapsed time up to
// that moment, the nights the clocks change included.
TTrayView TrayViewOf(const TConfiguration& config, int position, const TRulesTime& time, const TDayUse& use,
                     const TServiceState& state = TServiceState());

// "30 minutes", "1 hour", "2 hours": an amount a child may ask for.
std::string AskAmountText(int32_t minutes);
// "You asked for 30 minutes at 18:05", "You asked for 1 hour at 18:05".
std::string AskedText(int32_t minutes, const std::string& at);

// The balloon shown minutesLeft minutes before the end: "5 minutes left:
// please save your work, or ask for more time"; where the session is locked,
// with its programs kept open, the child is told that instead.
std::string BalloonText(int64_t minutesLeft, TEndAction action);

// The moments before the end at which a balloon is due, in seconds before it:
// WarnMinutes (when set) and one minute, the larger first, without repeats.
std::vector<int64_t> BalloonLeads(int32_t warnMinutes);
