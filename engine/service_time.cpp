#include "engine/service_time.h"

#include <algorithm>

#include "common/calendar.h"

namespace {
constexpr int64_t kToleranceMs = TServiceTime::kToleranceSeconds * 1000;
constexpr int64_t kJumpTrustedAfterMs = TServiceTime::kJumpTrustedAfterSeconds * 1000;
}  // namespace

std::optional<TClockSetBack> TServiceTime::Vouch(int64_t recordedLatest) {
  const int64_t recordedMs = recordedLatest * 1000;
  if (!Started) {
    RecordedMs = std::max(RecordedMs, recordedMs);
    return std::nullopt;
  }
  if (recordedMs <= OwnMs + kToleranceMs) return std::nullopt;
  OwnMs = recordedMs;
  Anchor.reset();
  const bool reported = Behind;
  Behind = true;
  if (reported) return std::nullopt;
  return TClockSetBack{recordedLatest, ClockUtc};
}

TDateTime TServiceClock::Shifted(const TDateTime& time) const {
  if (Shift == 0) return time;
  TDateTime shifted = DateTimeAt(SecondsOf(time) + Shift);
  shifted.Milliseconds = time.Milliseconds;
  return shifted;
}

std::optional<TClockSetBack> TServiceTime::Read(int64_t clockUtc, uint64_t sinceStartMs) {
  const int64_t clockMs = clockUtc * 1000;
  ClockUtc = clockUtc;
  Returned = false;
  if (!Started) {
    // Nothing tells how long the computer was off: a clock ahead of the record
    // is believed, one behind it was set back meanwhile.
    Started = true;
    LastElapsedMs = sinceStartMs;
    OwnMs = clockMs;
    if (RecordedMs == 0 || clockMs >= RecordedMs - kToleranceMs) return std::nullopt;
    OwnMs = RecordedMs;
    Behind = true;
    return TClockSetBack{RecordedMs / 1000, clockUtc};
  }

  const int64_t elapsed = sinceStartMs >= LastElapsedMs ? static_cast<int64_t>(sinceStartMs - LastElapsedMs) : 0;
  LastElapsedMs = sinceStartMs;
  const int64_t expected = OwnMs + elapsed;
  if (Anchor) {
    *Anchor += elapsed;
    AnchorAgeMs += elapsed;
    if (AnchorAgeMs > kJumpTrustedAfterMs) Anchor.reset();
  }

  if (clockMs >= expected - kToleranceMs) {
    // On time, ahead, or caught up at last. A jump ahead is remembered, so that
    // the clock can come back from it; catching up is no jump.
    if (clockMs > expected + kToleranceMs && !Anchor && !Behind) {
      Anchor = expected;
      AnchorAgeMs = 0;
    }
    OwnMs = clockMs;
    Behind = false;
    return std::nullopt;
  }
  if (Anchor && clockMs >= *Anchor - kToleranceMs) {
    OwnMs = clockMs;
    Anchor.reset();
    Returned = true;
    return std::nullopt;
  }
  // Set back: behind the service's time, and behind where it was before any
  // jump. The service goes on from the latest moment it can vouch for.
  OwnMs = Anchor ? *Anchor : expected;
  Anchor.reset();
  if (Behind) return std::nullopt;
  Behind = true;
  return TClockSetBack{OwnMs / 1000, clockUtc};
}
