#pragma once
// What the week control NortavelWeekGrid does with the mouse and the keys,
// apart from drawing: 7 rows (Monday first) by 48 half hours sharing the
// control's client area evenly, a click that toggles a cell, a drag that gives
// every cell it passes the first cell's new state, and a focus cell that the
// arrow keys move and Space toggles. Portable; the control's thread only.

#include <optional>

#include "engine/week.h"

struct TGridCell {
  int Day = 0;   // 0 = Monday
  int Slot = 0;  // 0 = 00:00-00:29
  bool operator==(const TGridCell& other) const { return Day == other.Day && Slot == other.Slot; }
};

// A cell's rectangle in a client area of width by height pixels: the edges
// fall at slot * width / 48 and day * height / 7, so the cells fill the area
// without gaps and differ by a pixel at most.
struct TCellBox {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // Right and Bottom excluded
};
TCellBox CellBox(const TGridCell& cell, int width, int height);
// The cell at a point of the client area; nullopt outside it (a drag leaving
// the control) or for an empty area.
std::optional<TGridCell> CellAt(int x, int y, int width, int height);

class TWeekPaint {
 public:
  const TWeek& Week() const { return WeekValue; }
  void SetWeek(const TWeek& week) { WeekValue = week; }
  const TGridCell& Focus() const { return FocusCell; }
  bool Allowed(const TGridCell& cell) const;

  // A press on cell: toggles it, focuses it, and the drag that may follow
  // paints with its new state. True: the week changed (always).
  bool Press(const TGridCell& cell);
  // The pointer over cell while pressed: gives it the pressed cell's new
  // state. True when the week changed.
  bool DragOver(const TGridCell& cell);
  void Release() { Painting.reset(); }
  bool Dragging() const { return Painting.has_value(); }

  // An arrow key: moves the focus a day or a half hour, staying in the week.
  void MoveFocus(int days, int slots);
  // Space: toggles the focus cell. True (the week changed).
  bool ToggleFocus();

 private:
  void Set(const TGridCell& cell, bool allowed);
  TWeek WeekValue;
  TGridCell FocusCell;
  std::optional<bool> Painting;  // the state a drag gives, while pressed
};
