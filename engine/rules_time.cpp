#include "engine/rules_time.h"

#include "common/calendar.h"

namespace {
int64_t OffsetAt(const TTimeZone& zone, int64_t utc) { return SecondsOf(ZoneTime(zone, DateTimeAt(utc))) - utc; }
}  // namespace

int64_t TRulesTime::WallAt(int64_t utc) const {
  if (FixedZone != nullptr) return SecondsOf(ZoneTime(*FixedZone, DateTimeAt(utc)));
  const int64_t shift = ComputerZone != nullptr ? OffsetAt(*ComputerZone, utc) - OffsetAt(*ComputerZone, NowUtc) : 0;
  return NowWall + (utc - NowUtc) + shift;
}
