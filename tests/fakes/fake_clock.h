#pragma once
#include <mutex>

#include "common/clock.h"

// A date and time as the platform reports it; dayOfWeek 0 = Sunday.
inline TDateTime DateTimeOf(int year, int month, int day, int hour, int minute, int second = 0, int dayOfWeek = 0) {
  TDateTime t;
  t.Year = static_cast<uint16_t>(year);
  t.Month = static_cast<uint16_t>(month);
  t.Day = static_cast<uint16_t>(day);
  t.Hour = static_cast<uint16_t>(hour);
  t.Minute = static_cast<uint16_t>(minute);
  t.Second = static_cast<uint16_t>(second);
  t.DayOfWeek = static_cast<uint16_t>(dayOfWeek);
  return t;
}

// A clock that reads whatever the test set; thread-safe. Its UTC time is the
// local time until a test sets one of its own.
class TFakeClock : public TClock {
 public:
  TDateTime LocalNow() override {
    std::lock_guard<std::mutex> guard(Lock);
    ++Reads;
    return Now;
  }
  TDateTime UtcNow() override {
    std::lock_guard<std::mutex> guard(Lock);
    ++Reads;
    return UtcSet ? Utc : Now;
  }
  void Set(const TDateTime& time) {
    std::lock_guard<std::mutex> guard(Lock);
    Now = time;
  }
  // The elapsed time stands still until a test moves it on.
  TElapsed Elapsed() override {
    std::lock_guard<std::mutex> guard(Lock);
    return Gone;
  }
  // awake: the part of ms the computer did not sleep.
  void Advance(uint64_t ms, uint64_t awake = UINT64_MAX) {
    std::lock_guard<std::mutex> guard(Lock);
    Gone.SinceStartMs += ms;
    Gone.AwakeMs += awake == UINT64_MAX ? ms : awake;
  }
  void SetUtc(const TDateTime& time) {
    std::lock_guard<std::mutex> guard(Lock);
    Utc = time;
    UtcSet = true;
  }
  // dayOfWeek: 0 = Sunday .. 6 = Saturday, as the platform counts.
  void Set(int dayOfWeek, int hour, int minute, int second = 0) {
    // 6 December 2026 is a Sunday.
    Set(DateTimeOf(2026, 12, 6 + dayOfWeek, hour, minute, second, dayOfWeek));
  }
  int Reads = 0;

 private:
  std::mutex Lock;
  TDateTime Now;
  TDateTime Utc;
  bool UtcSet = false;
  TElapsed Gone;
};
