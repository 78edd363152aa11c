#include <chrono>
#include <ctime>

#include "common/clock.h"

namespace {
class TPosixClock : public TClock {
 public:
  TDateTime LocalNow() override {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    TDateTime t;
    t.Year = static_cast<uint16_t>(local.tm_year + 1900);
    t.Month = static_cast<uint16_t>(local.tm_mon + 1);
    t.DayOfWeek = static_cast<uint16_t>(local.tm_wday);
    t.Day = static_cast<uint16_t>(local.tm_mday);
    t.Hour = static_cast<uint16_t>(local.tm_hour);
    t.Minute = static_cast<uint16_t>(local.tm_min);
    t.Second = static_cast<uint16_t>(local.tm_sec);
    t.Milliseconds = static_cast<uint16_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return t;
  }
};
}  // namespace

TClock& PlatformClock() {
  static TPosixClock clock;
  return clock;
}
