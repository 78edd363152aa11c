#include "ctl/week_grid.h"

#include "engine/week.h"

namespace {

constexpr char kRestrictedCell = '#';
constexpr char kAllowedCell = '.';
constexpr char kDayMarker = '>';
constexpr char kSlotMarker = '^';
constexpr int kHoursPerDay = 24;
constexpr int kLabelWidth = 5;  // day marker, "Mon", blank
constexpr int kHourWidth = 3;   // two half hours and a blank
constexpr size_t kDayLabelLetters = 3;
constexpr char kLegend[] = "# restricted  . allowed";

std::string DayLabel(int day) { return DayName(day).substr(0, kDayLabelLetters); }

int ColumnOf(int slot) { return kLabelWidth + slot / 2 * kHourWidth + slot % 2; }

std::string Header() {
  std::string line(kLabelWidth, ' ');
  for (int hour = 0; hour < kHoursPerDay; ++hour) {
    std::string label = std::to_string(hour);
    label.resize(kHourWidth, ' ');
    line += label;
  }
  line.erase(line.find_last_not_of(' ') + 1);
  return line + "\n";
}

std::string Row(const TWeek& week, int day, bool marked) {
  std::string line = (marked ? kDayMarker : ' ') + DayLabel(day) + ' ';
  for (int slot = 0; slot < kSlotsPerDay; ++slot) {
    if (slot > 0 && slot % 2 == 0) line += ' ';
    line += week[static_cast<size_t>(day)][static_cast<size_t>(slot)] ? kAllowedCell : kRestrictedCell;
  }
  return line + "\n";
}

bool InWeek(const TWeekSlot& at) { return at.Day >= 0 && at.Day < kDaysPerWeek && at.Slot >= 0 && at.Slot < kSlotsPerDay; }

}  // namespace

std::string FormatWeekGrid(const std::vector<std::string>& rules, std::optional<TWeekSlot> now) {
  if (now && !InWeek(*now)) now.reset();
  const TWeek week = WeekOfRules(rules);
  std::string grid = Header();
  for (int day = 0; day < kDaysPerWeek; ++day) grid += Row(week, day, now && now->Day == day);
  if (!now) return grid + kLegend + "\n";
  grid += std::string(static_cast<size_t>(ColumnOf(now->Slot)), ' ') + kSlotMarker + "\n";
  return grid + kLegend + "  " + kDayMarker + " " + kSlotMarker + " now: " + DayLabel(now->Day) + " " +
         ClockText(now->Slot * kMinutesPerSlot) + "\n";
}
