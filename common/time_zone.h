#pragma once
// Windows time zones as the registry's database describes them, and the local
// time of such a zone at a UTC instant, daylight saving included. Portable, so
// that every transition can be checked natively; the database is read in winsys.

#include <cstdint>
#include <map>
#include <string>

#include "common/clock.h"

// One set of rules: the TZI value (REG_TZI_FORMAT). UTC = local time + Bias +
// StandardBias in standard time, + Bias + DaylightBias in daylight time
// (minutes). Each date is given in the local time in force before its change
// (standard time for DaylightDate, daylight time for StandardDate). A date with
// Year 0 recurs: Day is the week of the month (1 to 4, 5 the last) on weekday
// DayOfWeek; any other Year names the one year it happens in. A Month of 0 in
// either date means no daylight saving.
struct TZoneRules {
  int32_t Bias = 0;
  int32_t StandardBias = 0;
  int32_t DaylightBias = 0;
  TDateTime StandardDate = TDateTime{0, 0, 0, 0, 0, 0, 0, 0};
  TDateTime DaylightDate = TDateTime{0, 0, 0, 0, 0, 0, 0, 0};
};

// The 44 bytes of a TZI value, little-endian. false when data is shorter or
// describes no real zone: an offset beyond a day, a month beyond 12, a
// recurring date outside week 1 to 5, weekday 0 to 6, 00:00 to 23:59:59.999.
bool ParseZoneRules(const std::string& data, TZoneRules& rules);

struct TTimeZone {
  std::string Name;  // the database's key name, e.g. "W. Europe Standard Time"
  TZoneRules Rules;  // for every year without rules of its own
  // The "Dynamic DST" rules by year: a year before the first uses the first
  // year's, a year after the last the last year's.
  std::map<int, TZoneRules> Years;
};

// The local time of zone at the UTC time utc, DayOfWeek included.
TDateTime ZoneTime(const TTimeZone& zone, const TDateTime& utc);

// A clock that reports the time of a fixed zone when it has one and the
// computer's local time otherwise. zone must outlive the clock.
class TZoneClock : public TClock {
 public:
  TZoneClock(TClock& computer, const TTimeZone* zone) : Computer(computer), Zone(zone) {}
  TDateTime LocalNow() override { return Zone != nullptr ? ZoneTime(*Zone, Computer.UtcNow()) : Computer.LocalNow(); }
  TDateTime UtcNow() override { return Computer.UtcNow(); }
  TElapsed Elapsed() override { return Computer.Elapsed(); }

 private:
  TClock& Computer;
  const TTimeZone* Zone;
};
