#pragma once
// The rules' time at moments near now, for ends measured in elapsed (UTC)
// time: the service's warnings and ends, and the clock the user sees, agree to
// the second also on the nights the clocks change. Portable; any thread.

#include <cstdint>

#include "common/time_zone.h"

struct TRulesTime {
  int64_t NowUtc = 0;   // seconds since 1970, UTC
  int64_t NowWall = 0;  // the same moment in the rules' time
  // The fixed zone the rules keep to; otherwise the computer's zone, which only
  // says when its clock jumps (without it the clock is taken to run on as now).
  const TTimeZone* FixedZone = nullptr;
  const TTimeZone* ComputerZone = nullptr;

  // The rules' time at the UTC moment utc: exact in a fixed zone; in the
  // computer's, the clock now moved by the time elapsed and by any change of
  // the zone's offset in between.
  int64_t WallAt(int64_t utc) const;
};

// How far a wall clock may move against elapsed time in one night: the largest
// daylight-saving shift.
inline constexpr int64_t kMostClockShift = 3600;
