// nortavelctl grant, timezone and warn: extra time, a fixed time zone and the
// warning before the power-off.
#include <algorithm>
#include <string>
#include <vector>

#include "common/calendar.h"
#include "common/protocol.h"
#include "ctl/budget.h"
#include "ctl/command_context.h"
#include "ctl/schedule.h"
#include "ctl/usage_error.h"
#include "engine/week.h"
#include "engine/decision.h"
#include "engine/time_rules.h"
#include "winsys/registry.h"
#include "winsys/time_zones.h"

namespace {
constexpr int64_t kMinute = 60;
constexpr int64_t kDay = 24 * 60 * kMinute;
// "until HH:MM" reaches into tomorrow by this much at most.
constexpr int64_t kMostOvernight = 12 * 60 * kMinute;

// "30m", "2h", "1h30m", "2 hours": a positive number of minutes, at most a day.
int64_t ParseDuration(const std::string& text) {
  int64_t minutes = 0;
  if (!ParseHoursAndMinutes(text, minutes) || minutes == 0)
    throw EUsageError("grant takes a time like 30m, 2h, 1h30m or 90 minutes, or until 21:30 or 9pm, not '" + text +
                      "'");
  if (minutes > kMostExtraMinutes) throw EUsageError("grant gives at most 24h at a time, not " + text);
  return minutes * kMinute;
}

// Seconds since midnight of a time of day as a schedule writes it; 24:00 is
// the midnight to come, as 00:00 is.
int64_t ParseClock(const std::string& text) {
  const std::optional<int> minutes = ParseTimeOfDay(text);
  if (!minutes)
    throw EUsageError("until takes a time of day such as 21:30, 9pm, 9:30pm or 21, not '" + text + "'");
  return *minutes % (24 * 60) * kMinute;
}

std::string DayAndTime(int64_t seconds) {
  const TDateTime time = DateTimeAt(seconds);
  return DayName(DayIndexOf(time)).substr(0, 3) + " " + FormatMinuteStamp(seconds);
}

std::string ComputerZoneText(TRun& run) {
  const std::string computer = ReadComputerTimeZone(run.Platform.Registry);
  return computer.empty() ? "unknown" : computer;
}
}  // namespace

// A name that is not configured is most likely a slip: the nearest configured
// users are offered.
std::string ConfiguredUser(const TRun& run, const TConfiguration& config, const std::string& user,
                           const std::string& what) {
  const int position = config.RestrictedUsers.IndexOf(user);
  if (position < 0)
    throw UnknownUser(user + " has no rules in " + run.RestrictionsKeyText() + ": " + what +
                          " is for restricted users; add rules with nortavelctl set " + user + " SCHEDULE",
                      user, config.RestrictedUsers.Items());
  return config.RestrictedUsers[position];
}

void RunGrant(TRun& run, std::vector<std::string> words) {
  const bool clear = TakeFlag(words, "--clear");
  ExpectWords("grant", words, clear ? 1 : 2, clear ? 1 : SIZE_MAX);
  const TConfiguration config = run.Load();
  const std::string user = ConfiguredUser(run, config, words[0], "extra time");
  if (clear) {
    run.Out << (TakeBackExtraTime(run, user) ? "Extra time of " + user + " removed.\n" : user + " had no extra time.\n");
    SayWhomTheChangeRestricts(run, config);
    RequestReload(run);
    return;
  }
  const int64_t now = SecondsOf(run.RuleClock(config).LocalNow());
  int64_t until = 0;
  if (AsciiSameText(words[1], "until")) {
    if (words.size() < 3) throw EUsageError("usage: nortavelctl grant USER until 21:30 (run nortavelctl help grant)");
    // The next time the clock shows that time: today, or tomorrow when it has
    // passed, as for "until 00:30" late in the evening. A time that passed
    // earlier today is more likely a slip than a grant through the night.
    const std::string time = Joined(words, 2);
    until = now / kDay * kDay + ParseClock(time);
    if (until <= now) {
      until += kDay;
      if (until - now > kMostOvernight)
        throw EUsageError(time + " has passed today: give a time still to come, or a length such as 30m");
    }
    GrantUntil(run, user, until);
  } else {
    until = GrantExtraTime(run, config, user, ParseDuration(Joined(words, 1)));
  }
  run.Out << user << " may use the computer until " << DayAndTime(until)
          << (config.FixedZone ? " (" + config.FixedZone->Name + ")" : std::string()) << ".\n";
  RequestReload(run);
}

void SayTheRulesZone(TRun& run, const std::string& zone) {
  if (!zone.empty()) {
    run.Out << "The rules keep to this computer's time zone, " << zone << ", where it is "
            << WeekdayAndClock(SecondsOf(run.Platform.Clock.LocalNow()))
            << " now, so that changing the zone gains no time; nortavelctl timezone --clear undoes this.\n";
    return;
  }
  // The zone may have been pinned when a child had changed it (the package
  // pins the zone the computer has at install): its time shows a wrong one.
  const TConfiguration config = LoadOrEmpty(run);
  if (config.FixedZone)
    run.Out << "The rules keep to the time zone " << config.FixedZone->Name << ", where it is "
            << WeekdayAndClock(SecondsOf(run.RuleClock(config).LocalNow()))
            << " now: if that is not the time here, keep them to the right zone with nortavelctl timezone NAME.\n";
}

void RunTimeZone(TRun& run, std::vector<std::string> words) {
  const bool current = TakeFlag(words, "--current");
  const bool clear = TakeFlag(words, "--clear");
  if (current && clear) throw EUsageError("timezone takes --current or --clear, not both");
  ExpectWords("timezone", words, 0, current || clear ? 0 : SIZE_MAX);
  const TConfiguration before = LoadOrEmpty(run);
  if (clear) {
    run.Out << (FollowComputerZone(run) ? "The restrictions follow the computer's time zone again ("
                                       : "The restrictions already follow the computer's time zone (")
            << ComputerZoneText(run) << ").\n";
    SayWhomTheChangeRestricts(run, before);
    RequestReload(run);
    return;
  }
  if (!current && words.empty()) {
    const TConfiguration config = run.Load();
    if (config.FixedZone)
      run.Out << "The restrictions keep to " << config.FixedZone->Name << " (the computer's time zone: "
              << ComputerZoneText(run) << ").\n";
    else if (!config.TimeZoneName.empty())
      run.Out << "TimeZone names " << config.TimeZoneName
              << ", which is not a time zone of this computer, so the restrictions follow the computer's time zone ("
              << ComputerZoneText(run) << "): set another with nortavelctl timezone NAME.\n";
    else
      run.Out << "The restrictions follow the computer's time zone (" << ComputerZoneText(run) << ").\n";
    return;
  }
  std::string name;
  if (current) {
    name = ReadComputerTimeZone(run.Platform.Registry);
    if (name.empty()) throw ECommandFailed("cannot read the computer's time zone: name it, e.g. nortavelctl timezone \"W. Europe Standard Time\"");
  } else {
    name = Joined(words, 0);
  }
  const std::string zone = StoreTimeZone(run, name);
  run.Out << "The restrictions keep to " << zone << " from now on, whatever the computer's time zone.\n";
  SayWhomTheChangeRestricts(run, before);
  RequestReload(run);
}

void RunWarn(TRun& run, const std::vector<std::string>& words) {
  ExpectWords("warn", words, 1, 1);
  const int minutes = ParseNumber(words[0], "warn");
  if (minutes > kMaxWarnMinutes) throw EUsageError("warn takes 0 to 60 minutes, not " + words[0]);
  StoreWarnMinutes(run, minutes);
  if (minutes == 0)
    run.Out << "No warnings before the computer is switched off.\n";
  else
    run.Out << "Users are warned " << minutes << " minute" << (minutes == 1 ? "" : "s")
            << " before their computer time ends.\n";
  RequestReload(run);
}

void RunEndAction(TRun& run, std::vector<std::string> words) {
  ExpectWords("endaction", words, 0, 1);
  static const struct {
    TEndAction Action;
    const char* Word;
    const char* Said;
  } kActions[] = {
      {TEndAction::Lock, kEndActionLock,
       "When a user's time ends, their session is locked: their programs stay open, and they find everything as "
       "they left it when their time comes again.\n"},
      {TEndAction::SignOut, kEndActionSignOut,
       "When a user's time ends, they are signed out; the computer stays on for others.\n"},
      {TEndAction::PowerOff, kEndActionPowerOff, "When a user's time ends, the computer is switched off.\n"},
  };
  TEndAction action = words.empty() ? run.Load().EndAction : TEndAction::PowerOff;
  if (!words.empty()) {
    const auto named = std::find_if(std::begin(kActions), std::end(kActions),
                                    [&](const auto& known) { return AsciiSameText(words[0], known.Word); });
    if (named == std::end(kActions))
      throw EUsageError("endaction takes lock, signout or poweroff, not '" + words[0] + "'");
    action = named->Action;
    StoreEndAction(run, action);
  }
  for (const auto& known : kActions)
    if (known.Action == action) run.Out << known.Said;
  if (!words.empty()) RequestReload(run);
}

std::string EndActionWords(TEndAction action) {
  switch (action) {
    case TEndAction::Lock:
      return "their session is locked: their programs stay open";
    case TEndAction::SignOut:
      return "they are signed out";
    case TEndAction::PowerOff:
      break;
  }
  return "the computer is switched off (nortavelctl endaction lock keeps their programs open instead)";
}

namespace {
// A switch of the main key (backstop, keepusage): set with on or off, shown
// without an argument.
void RunSwitch(TRun& run, std::vector<std::string> words, const char* command, const char* value,
               bool TConfiguration::*field, const char* onText, const char* offText) {
  ExpectWords(command, words, 0, 1);
  bool on = false;
  if (words.empty()) {
    on = run.Load().*field;
  } else {
    on = AsciiSameText(words[0], "on");
    if (!on && !AsciiSameText(words[0], "off"))
      throw EUsageError(std::string(command) + " takes on or off, not '" + words[0] + "'");
    StoreSwitch(run, value, on);
  }
  run.Out << (on ? onText : offText);
  if (!words.empty()) RequestReload(run);
}
}  // namespace

void RunBackstop(TRun& run, std::vector<std::string> words) {
  RunSwitch(run, std::move(words), "backstop", kLogonHoursBackstopValue, &TConfiguration::LogonHoursBackstop,
            "Windows itself refuses a restricted user at a restricted hour, also when the service is not running.\n",
            "Only the service keeps the restricted hours: while it is not running, nothing does.\n");
}

void RunKeepUsage(TRun& run, std::vector<std::string> words) {
  RunSwitch(run, std::move(words), "keepusage", kKeepUsageValue, &TConfiguration::KeepUsage,
            "The service counts the time each restricted user uses the computer; nortavelctl report shows it.\n",
            "The service counts the time used only for users with a daily budget.\n");
}
