#pragma once
// What the parent's window shows and changes, apart from its controls: the
// pages as their fields hold them, what each page says of the service's
// decision and the days' use, and Save, which refuses every wrong field
// before it writes anything and then writes only what changed, through the
// administration's operations. Portable; the window's thread only.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "admin/admin.h"
#include "admin/service_info.h"
#include "engine/usage.h"
#include "engine/week.h"
#include "winsys/configuration.h"

// A time a day (or the week) may be used, as its fields hold it.
struct TTimeField {
  bool NoLimit = true;
  std::string Hours;    // as typed
  std::string Minutes;  // as typed
  bool operator==(const TTimeField& other) const;
};
inline constexpr size_t kWeekField = kDaysPerWeek;  // the week's total, after the seven days

// The field of minutes (kNoBudget: no limit) as the service stores them.
TTimeField TimeFieldOf(int32_t minutes);

struct TChildPage {
  std::string User;
  TWeek Week;
  std::array<TTimeField, kDaysPerWeek + 1> Times;  // Monday .. Sunday, then the week
  // As loaded (or, for a child added here, nothing yet): what Save compares with.
  TWeek SavedWeek;
  std::array<TTimeField, kDaysPerWeek + 1> SavedTimes;
  bool Stored = false;  // has rules in the registry
};

// The end actions in the order the window offers them.
inline constexpr TEndAction kEndActions[] = {TEndAction::Lock, TEndAction::SignOut, TEndAction::PowerOff};

struct TComputerFields {
  std::string WarnMinutes;
  TEndAction EndAction = TEndAction::PowerOff;
  bool Backstop = false;
  std::string TimeZone;  // empty: the computer's zone
  int32_t Level = 2;
  std::string LogFolder;
  bool operator==(const TComputerFields& other) const;
};

struct TComputerPage {
  TComputerFields Fields;
  TComputerFields Saved;
  std::string NewPin, RepeatPin;  // a new PIN is stored when typed
};

// Where a refused value stands: a child's page (its position) or the computer's.
enum class TField {
  Time,  // a child's time field: Index 0..6 the days, kWeekField the week
  WarnMinutes,
  LogFolder,
  Pin,
};
struct TRefusal {
  int Child = -1;  // -1: the computer's page
  TField Field = TField::Time;
  size_t Index = 0;
  std::string Text;  // shown beside the field
};

struct TSaveResult {
  std::vector<TRefusal> Refused;  // nothing was written when there are any
  std::string Failure;            // a write that failed, said plainly; earlier writes stay
  bool Wrote = false;             // anything was written
  std::optional<TReloadAnswer> Reload;  // asked after writing
};

class TSettingsModel {
 public:
  // The pages as the configuration holds them; ECommandFailed for one the
  // service would refuse.
  void Load(const TAdmin& admin);
  std::vector<TChildPage>& Children() { return ChildPages; }
  const std::vector<TChildPage>& Children() const { return ChildPages; }
  TComputerPage& Computer() { return ComputerPage; }
  const TConfiguration& Configuration() const { return Config; }
  // Reads the configuration again, the pages left as they are: after extra
  // time or an answer, which take effect at once.
  void Reread(const TAdmin& admin);

  // A page for a child without rules: every half hour allowed, no limits,
  // stored by the next Save. Its position.
  size_t AddChild(const std::string& user);
  // Whether any field differs from what is stored.
  bool Changed() const;
  // Every field refused, in page order; none when Save may write.
  std::vector<TRefusal> Refusals() const;
  // Refuses, or writes what changed and asks the service to reload; the pages
  // then count as stored as far as the writes went.
  TSaveResult Save(TAdmin& admin);

 private:
  TConfiguration Config;
  std::vector<TChildPage> ChildPages;
  TComputerPage ComputerPage;
};

// The minutes a time field gives (kNoBudget for no limit), or the refusal.
struct TFieldMinutes {
  int32_t Minutes = kNoBudget;
  std::string Refusal;
};
TFieldMinutes MinutesOf(const TTimeField& field, bool week);

// What the service decides for the user at position now (the rules' time,
// use the day's): "Allowed until 20:00", "Allowed until Wed 07:00",
// "Allowed all week", "Time is up: today's time is used up" and so on.
std::string DecisionLine(const TConfiguration& config, int position, int64_t now, const TDayUse& use);

// A child's use of the computer on the last days, today last.
inline constexpr int kChartDays = 15;
struct TUseChart {
  std::array<int32_t, kChartDays> Minutes{};
  std::array<int32_t, kChartDays> Budget{};  // kNoBudget for a day without
  int64_t FirstDay = 0;
};
TUseChart UseChartOf(const TConfiguration& config, int position, const TUsageBook& usage, int64_t today);
