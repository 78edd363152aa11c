// The week control's painting rules: the cells share any client area evenly
// and a point always finds the cell drawn under it; a click toggles, a drag
// paints with the first cell's new state; the keys move and toggle a focus.

#include <gtest/gtest.h>

#include "settings/week_paint.h"

namespace {

TEST(WeekPaint, EveryCellIsFoundUnderItsMiddleAndTheCellsTileTheArea) {
  const struct {
    int Width, Height;
  } areas[] = {{672, 154}, {100, 7}, {48, 7}, {1000, 151}};
  for (const auto& area : areas) {
    for (int day = 0; day < kDaysPerWeek; ++day)
      for (int slot = 0; slot < kSlotsPerDay; ++slot) {
        const TCellBox box = CellBox({day, slot}, area.Width, area.Height);
        ASSERT_LT(box.Left, box.Right) << area.Width;
        ASSERT_LT(box.Top, box.Bottom) << area.Height;
        const auto corner = CellAt(box.Left, box.Top, area.Width, area.Height);
        const auto last = CellAt(box.Right - 1, box.Bottom - 1, area.Width, area.Height);
        ASSERT_TRUE(corner && last);
        EXPECT_EQ(*corner, (TGridCell{day, slot})) << area.Width << "x" << area.Height;
        EXPECT_EQ(*last, (TGridCell{day, slot})) << area.Width << "x" << area.Height;
      }
    EXPECT_EQ(CellBox({6, 47}, area.Width, area.Height).Right, area.Width);
    EXPECT_EQ(CellBox({6, 47}, area.Width, area.Height).Bottom, area.Height);
    EXPECT_FALSE(CellAt(area.Width, 0, area.Width, area.Height));
    EXPECT_FALSE(CellAt(0, area.Height, area.Width, area.Height));
    EXPECT_FALSE(CellAt(-1, 0, area.Width, area.Height));
  }
  EXPECT_FALSE(CellAt(0, 0, 0, 0));
}

TEST(WeekPaint, ADragPaintsWithThePressedCellsNewStateUntilReleased) {
  TWeekPaint paint;
  TWeek week;
  week[1].set(21);  // Tuesday 10:30 allowed
  paint.SetWeek(week);
  EXPECT_TRUE(paint.Press({1, 20}));  // restricted: becomes allowed
  EXPECT_TRUE(paint.Allowed({1, 20}));
  EXPECT_FALSE(paint.DragOver({1, 21}));  // already allowed: unchanged
  EXPECT_TRUE(paint.DragOver({2, 22}));
  EXPECT_TRUE(paint.Allowed({2, 22}));
  paint.Release();
  EXPECT_FALSE(paint.DragOver({3, 22}));
  EXPECT_FALSE(paint.Allowed({3, 22}));
  // Pressing an allowed cell restricts what the drag passes.
  paint.Press({1, 21});
  paint.DragOver({1, 20});
  EXPECT_FALSE(paint.Allowed({1, 20}));
  EXPECT_FALSE(paint.Allowed({1, 21}));
  EXPECT_TRUE(paint.Allowed({2, 22}));
}

TEST(WeekPaint, TheArrowsMoveTheFocusWithinTheWeekAndSpaceTogglesIt) {
  TWeekPaint paint;
  paint.Press({6, 47});
  paint.Release();
  const struct {
    int Days, Slots;
    TGridCell Focus;
  } moves[] = {{1, 0, {6, 47}}, {0, 1, {6, 47}}, {-1, -1, {5, 46}}, {-9, 0, {0, 46}}, {0, -99, {0, 0}}};
  for (const auto& move : moves) {
    paint.MoveFocus(move.Days, move.Slots);
    EXPECT_EQ(paint.Focus(), move.Focus) << move.Days << "," << move.Slots;
  }
  paint.ToggleFocus();
  EXPECT_TRUE(paint.Allowed({0, 0}));
  paint.ToggleFocus();
  EXPECT_FALSE(paint.Allowed({0, 0}));
}

}  // namespace
