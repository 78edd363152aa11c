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
// the day's budget (TDayUse() when no budget). The time left is elapsed time up
// to the moment the service ends the time, the nights the clocks change included.
TTrayView TrayViewOf(const TConfiguration& config, int position, const TRulesTime& time, const TDayUse& use);

// The balloon shown minutesLeft minutes before the end: "5 minutes left: please
// save your work", "1 minute left: please save your work"; where the session
// is locked, with its programs kept open, the child is told that instead.
std::string BalloonText(int64_t minutesLeft, TEndAction action);

// The moments before the end at which a balloon is due, in seconds before it:
// WarnMinutes (when set) and one minute, the larger first, without repeats.
std::vector<int64_t> BalloonLeads(int32_t warnMinutes);
