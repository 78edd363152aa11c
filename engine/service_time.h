#pragma once
// The time the service decides and counts by. It is the computer's clock for as
// long as the clock runs on with the time that elapses. A clock set back (in
// the firmware's setup, say, where most home computers ask for no password)
// would give back a day's budget and move the schedule: the service then keeps
// its own time, the latest moment it saw plus the time elapsed since, until the
// clock catches up. A clock that jumps ahead is followed, but one that comes
// back from such a jump is followed back: the jump moves the service's day for
// no longer than the clock stays there.
//
// Portable and without a clock of its own: the module hands it one reading of
// the clock and of the elapsed time per tick. Not thread-safe (the tick's lock).

#include <cstdint>
#include <optional>

#include "common/clock.h"
#include "engine/usage.h"

// A clock found behind the service's time: the service's time and the clock's
// reading then (UTC seconds).
struct TClockSetBack {
  int64_t From = 0;
  int64_t To = 0;
};

class TServiceTime {
 public:
  // A clock that reads more than this behind the service's time was set back;
  // one that reads more than this ahead of it jumped.
  static constexpr int64_t kToleranceSeconds = kClockSetBackTolerance;
  // A jump ahead the clock stayed at for this long is taken as the clock's
  // correction: coming back later is a setting back.
  static constexpr int64_t kJumpTrustedAfterSeconds = 24 * 60 * 60;

  // A moment (UTC seconds) the service recorded before this start: a clock that
  // reads less was set back while the service was not running. Before the
  // first reading it is weighed at that reading; after it (a record that
  // could be read only later), at once, and a set-back clock is answered.
  std::optional<TClockSetBack> Vouch(int64_t recordedLatest);

  // One reading of the clock (UTC seconds) with the elapsed time since the
  // computer started, sleep included (milliseconds, never going back). Answers
  // a clock found set back, once until it has caught up again.
  std::optional<TClockSetBack> Read(int64_t clockUtc, uint64_t sinceStartMs);

  // The service's time at the last reading (UTC seconds), and how far it is
  // ahead of the clock then (0 unless the clock is behind).
  int64_t Now() const { return OwnMs / 1000; }
  int64_t Shift() const { return Now() - ClockUtc; }
  bool ClockBehind() const { return Behind; }
  // The latest moment to record: the service's time, or while the clock
  // stays at a jump ahead, where it was before the jump.
  int64_t Latest() const { return (Anchor ? *Anchor : OwnMs) / 1000; }
  // Whether the last reading came back from a jump ahead: what was counted on
  // the days of the jump belongs to the day the clock came back to.
  bool CameBack() const { return Returned; }

 private:
  bool Started = false;
  int64_t RecordedMs = 0;
  int64_t OwnMs = 0;
  int64_t ClockUtc = 0;
  uint64_t LastElapsedMs = 0;
  // Where the service's time would be without the last jump ahead, and how
  // long the clock has stayed ahead.
  std::optional<int64_t> Anchor;
  int64_t AnchorAgeMs = 0;
  bool Behind = false;
  bool Returned = false;
};

// The computer's clock moved by the service's time: what the decisions read.
// Shift 0 (the clock is not behind, or no use is kept) reads the clock as it is.
class TServiceClock : public TClock {
 public:
  explicit TServiceClock(TClock& computer) : Computer(computer) {}
  TDateTime LocalNow() override { return Shifted(Computer.LocalNow()); }
  TDateTime UtcNow() override { return Shifted(Computer.UtcNow()); }
  TElapsed Elapsed() override { return Computer.Elapsed(); }
  int64_t Shift = 0;  // seconds; set by the tick, read by its steps

 private:
  TDateTime Shifted(const TDateTime& time) const;
  TClock& Computer;
};
