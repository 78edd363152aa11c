// The service's own time against a clock that is set back, jumps ahead and
// comes back: each reading is the clock (UTC seconds) with the elapsed time.

#include <gtest/gtest.h>

#include "engine/service_time.h"

namespace {

constexpr int64_t kStart = 1796000000;  // Monday 2026-12-07, about 04:53 UTC
constexpr int64_t kMinute = 60;
constexpr int64_t kDay = 24 * 60 * kMinute;

struct TStep {
  int64_t Clock;      // seconds after kStart the clock reads
  int64_t Elapsed;    // seconds after kStart that really went by
  int64_t Now;        // the service's time, seconds after kStart
  bool SetBack;       // a set-back clock is reported at this reading
  bool CameBack = false;
};

struct TCase {
  const char* Name;
  int64_t Recorded;  // the record's latest moment, seconds after kStart; 0 for none
  std::vector<TStep> Steps;
};
void PrintTo(const TCase& c, std::ostream* out) { *out << c.Name; }

class ServiceTimeTest : public ::testing::TestWithParam<TCase> {};

TEST_P(ServiceTimeTest, FollowsTheClockUnlessItIsBehind) {
  TServiceTime time;
  if (GetParam().Recorded != 0) time.Vouch(kStart + GetParam().Recorded);
  int n = 0;
  for (const TStep& step : GetParam().Steps) {
    const auto setBack = time.Read(kStart + step.Clock, static_cast<uint64_t>(step.Elapsed) * 1000 + 5000);
    EXPECT_EQ(time.Now() - kStart, step.Now) << "reading " << n;
    EXPECT_EQ(time.Shift(), step.Now - step.Clock) << "reading " << n;
    EXPECT_EQ(setBack.has_value(), step.SetBack) << "reading " << n;
    if (setBack) {
      EXPECT_EQ(setBack->From - kStart, step.Now);
    }
    EXPECT_EQ(time.CameBack(), step.CameBack) << "reading " << n;
    ++n;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, ServiceTimeTest,
    ::testing::Values(
        TCase{"TenMinutesBackIsDrift", 0, {{0, 0, 0, false}, {-600 + 2, 2, -598, false}}},
        TCase{"SetBackKeepsItsOwnTimeUntilTheClockCatchesUp",
              0,
              {{0, 0, 0, false},
               {-kDay, 2, 2, true},
               {-kDay + 2, 4, 4, false},
               {6 - 599, 6, 6 - 599, false}}},  // within ten minutes of it: caught up
        TCase{"SetBackWhileNotRunning", 3600, {{0, 0, 3600, true}, {2, 2, 3602, false}}},
        TCase{"AJumpAheadForOneTickComesBack",
              0,
              {{0, 0, 0, false}, {365 * kDay, 2, 365 * kDay, false}, {4, 4, 4, false, true}, {6, 6, 6, false}}},
        TCase{"AJumpAheadThenSetBackBelowWhereItWas",
              0,
              {{0, 0, 0, false}, {kDay, 2, kDay, false}, {-kDay, 4, 4, true}}},
        TCase{"AJumpAheadTheClockStaysAtIsTheNewTime",
              0,
              {{0, 0, 0, false}, {kDay, 2, kDay, false}, {2 * kDay + 4, kDay + 4, 2 * kDay + 4, false},
               {kDay + 6, kDay + 6, 2 * kDay + 6, true}}}),
    [](const ::testing::TestParamInfo<TCase>& info) { return std::string(info.param.Name); });

TEST(ServiceTimeVouchTest, ARecordReadLateStillFindsTheClockSetBack) {
  TServiceTime time;
  time.Read(kStart, 1000);
  EXPECT_FALSE(time.Vouch(kStart + 300).has_value()) << "within ten minutes";
  const auto setBack = time.Vouch(kStart + kDay);
  ASSERT_TRUE(setBack.has_value());
  EXPECT_EQ(setBack->From, kStart + kDay);
  EXPECT_EQ(setBack->To, kStart);
  EXPECT_EQ(time.Now(), kStart + kDay);
  EXPECT_TRUE(time.ClockBehind());
}

}  // namespace
