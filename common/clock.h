#pragma once
#include <cstdint>

// A date and time as the platform reports it, local or UTC (the fields of SYSTEMTIME).
struct TDateTime {
  uint16_t Year = 0;
  uint16_t Month = 1;      // 1..12
  uint16_t DayOfWeek = 0;  // 0 = Sunday .. 6 = Saturday
  uint16_t Day = 1;        // 1..31
  uint16_t Hour = 0;
  uint16_t Minute = 0;
  uint16_t Second = 0;
  uint16_t Milliseconds = 0;
};

// Time gone by since the computer started, never going back, whatever the
// clock is set to.
struct TElapsed {
  uint64_t SinceStartMs = 0;  // sleep and hibernation included (GetTickCount64)
  uint64_t AwakeMs = 0;       // without them (QueryUnbiasedInterruptTime)
};

// The computer's clock. Thread-safe: read from the tick and from the service handlers.
class TClock {
 public:
  virtual ~TClock() = default;
  virtual TDateTime LocalNow() = 0;
  virtual TDateTime UtcNow() = 0;
  virtual TElapsed Elapsed() = 0;
};

// GetLocalTime and GetSystemTime on Windows, the C library's clock natively.
TClock& PlatformClock();
