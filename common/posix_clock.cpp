#include <chrono>
#include <ctime>

#include "common/clock.h"

namespace {
TDateTime Now(bool local) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm fields{};
  if (local)
    localtime_r(&seconds, &fields);
  else
    gmtime_r(&seconds, &fields);
  TDateTime t;
  t.Year = static_cast<uint16_t>(fields.tm_year + 1900);
  t.Month = static_cast<uint16_t>(fields.tm_mon + 1);
  t.DayOfWeek = static_cast<uint16_t>(fields.tm_wday);
  t.Day = static_cast<uint16_t>(fields.tm_mday);
  t.Hour = static_cast<uint16_t>(fields.tm_hour);
  t.Minute = static_cast<uint16_t>(fields.tm_min);
  t.Second = static_cast<uint16_t>(fields.tm_sec);
  t.Milliseconds = static_cast<uint16_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  return t;
}

uint64_t Milliseconds(clockid_t id) {
  timespec now{};
  clock_gettime(id, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

class TPosixClock : public TClock {
 public:
  TDateTime LocalNow() override { return Now(true); }
  TDateTime UtcNow() override { return Now(false); }
  // Linux's monotonic clock stands still while the computer sleeps; its boot clock does not.
  TElapsed Elapsed() override { return TElapsed{Milliseconds(CLOCK_BOOTTIME), Milliseconds(CLOCK_MONOTONIC)}; }
};
}  // namespace

TClock& PlatformClock() {
  static TPosixClock clock;
  return clock;
}
