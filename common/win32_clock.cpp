#include "common/clock.h"
#include "common/win32.h"

namespace {
TDateTime DateTimeOf(const SYSTEMTIME& st) {
  return TDateTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

class TWin32Clock : public TClock {
 public:
  TDateTime LocalNow() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return DateTimeOf(st);
  }
  TDateTime UtcNow() override {
    SYSTEMTIME st;
    GetSystemTime(&st);
    return DateTimeOf(st);
  }
  TElapsed Elapsed() override {
    ULONGLONG awake = 0;  // 100-ns units
    QueryUnbiasedInterruptTime(&awake);
    return TElapsed{GetTickCount64(), awake / 10000};
  }
};
}  // namespace

TClock& PlatformClock() {
  static TWin32Clock clock;
  return clock;
}
