#include <gtest/gtest.h>

#include "ctl/schedule.h"
#include "ctl/week_grid.h"

namespace {

TEST(WeekGridTest, ShowsTheWeekAndMarksTheCurrentHalfHour) {
  const auto rules = ParseSchedule("Mo-Fr 07:00-08:00 15:00-20:00; Sa,Su 09:00-21:30");
  const std::string weekday = "## ## ## ## ## ## ## .. ## ## ## ## ## ## ## .. .. .. .. .. ## ## ## ##\n";
  const std::string weekend = "## ## ## ## ## ## ## ## ## .. .. .. .. .. .. .. .. .. .. .. .. .# ## ##\n";
  EXPECT_EQ(FormatWeekGrid(rules, TWeekSlot{2, 15}),
            "     0  1  2  3  4  5  6  7  8  9  10 11 12 13 14 15 16 17 18 19 20 21 22 23\n"
            " Mon " + weekday +
            " Tue " + weekday +
            ">Wed " + weekday +
            " Thu " + weekday +
            " Fri " + weekday +
            " Sat " + weekend +
            " Sun " + weekend +
            "                           ^\n"
            "# restricted  . allowed  > ^ now: Wed 07:30\n");
}

TEST(WeekGridTest, ReadsRulesAsTheServiceDoesAndMarksNothingOutsideTheWeek) {
  const std::vector<std::string> rules = {"1x0", std::string(48, '0') + "1", ""};
  const std::string allowed = ".. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. ..\n";
  const std::string expected = "     0  1  2  3  4  5  6  7  8  9  10 11 12 13 14 15 16 17 18 19 20 21 22 23\n"
                               " Mon ## .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. ..\n"
                               " Tue " + allowed + " Wed " + allowed + " Thu " + allowed + " Fri " + allowed +
                               " Sat " + allowed + " Sun " + allowed + "# restricted  . allowed\n";
  EXPECT_EQ(FormatWeekGrid(rules, std::nullopt), expected);
  EXPECT_EQ(FormatWeekGrid(rules, TWeekSlot{7, 0}), expected);
  EXPECT_EQ(FormatWeekGrid(rules, TWeekSlot{0, 48}), expected);
}

TEST(WeekGridTest, MarksTheLastHalfHourOfSundayWithinEightyColumns) {
  const std::string grid = FormatWeekGrid({}, TWeekSlot{6, 47});
  EXPECT_NE(grid.find(">Sun "), std::string::npos);
  EXPECT_NE(grid.find("\n" + std::string(75, ' ') + "^\n"), std::string::npos);
  for (size_t begin = 0, end; (end = grid.find('\n', begin)) != std::string::npos; begin = end + 1)
    EXPECT_LE(end - begin, 76u) << grid.substr(begin, end - begin);
}

}  // namespace
