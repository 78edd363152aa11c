#include "settings/week_paint.h"

#include <algorithm>

namespace {
// The index of the band of count equal bands over size that holds at.
int BandAt(int at, int size, int count) { return static_cast<int>(static_cast<long long>(at) * count / size); }
int Edge(int index, int size, int count) { return static_cast<int>(static_cast<long long>(index) * size / count); }
}  // namespace

TCellBox CellBox(const TGridCell& cell, int width, int height) {
  return {Edge(cell.Slot, width, kSlotsPerDay), Edge(cell.Day, height, kDaysPerWeek),
          Edge(cell.Slot + 1, width, kSlotsPerDay), Edge(cell.Day + 1, height, kDaysPerWeek)};
}

std::optional<TGridCell> CellAt(int x, int y, int width, int height) {
  if (width <= 0 || height <= 0 || x < 0 || y < 0 || x >= width || y >= height) return std::nullopt;
  // The band of a point is the one whose edges enclose it: the inverse of Edge.
  int slot = BandAt(x, width, kSlotsPerDay), day = BandAt(y, height, kDaysPerWeek);
  while (slot + 1 < kSlotsPerDay && Edge(slot + 1, width, kSlotsPerDay) <= x) ++slot;
  while (slot > 0 && Edge(slot, width, kSlotsPerDay) > x) --slot;
  while (day + 1 < kDaysPerWeek && Edge(day + 1, height, kDaysPerWeek) <= y) ++day;
  while (day > 0 && Edge(day, height, kDaysPerWeek) > y) --day;
  return TGridCell{day, slot};
}

bool TWeekPaint::Allowed(const TGridCell& cell) const {
  return WeekValue[static_cast<size_t>(cell.Day)][static_cast<size_t>(cell.Slot)];
}

void TWeekPaint::Set(const TGridCell& cell, bool allowed) {
  WeekValue[static_cast<size_t>(cell.Day)][static_cast<size_t>(cell.Slot)] = allowed;
}

bool TWeekPaint::Press(const TGridCell& cell) {
  FocusCell = cell;
  Painting = !Allowed(cell);
  Set(cell, *Painting);
  return true;
}

bool TWeekPaint::DragOver(const TGridCell& cell) {
  if (!Painting || Allowed(cell) == *Painting) return false;
  Set(cell, *Painting);
  return true;
}

void TWeekPaint::MoveFocus(int days, int slots) {
  FocusCell.Day = std::clamp(FocusCell.Day + days, 0, kDaysPerWeek - 1);
  FocusCell.Slot = std::clamp(FocusCell.Slot + slots, 0, kSlotsPerDay - 1);
}

bool TWeekPaint::ToggleFocus() {
  Set(FocusCell, !Allowed(FocusCell));
  return true;
}
