#include "settings/settings_model.h"

#include "admin/admin_errors.h"
#include "admin/operations.h"
#include "common/calendar.h"
#include "common/protocol.h"
#include "diag/log_platform.h"
#include "engine/decision.h"

namespace {
constexpr int32_t kMinutesPerHour = 60;
constexpr size_t kMostHourDigits = 3;

// The folder as the fields show it: AppPath without the backslash the
// configuration adds, a drive's root kept whole.
std::string FolderOf(const std::string& appPath) {
  std::string folder = appPath;
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

TComputerFields ComputerFieldsOf(const TAdmin& admin, const TConfiguration& config) {
  TComputerFields fields;
  fields.WarnMinutes = std::to_string(config.WarnMinutes);
  fields.EndAction = config.EndAction;
  fields.Backstop = config.LogonHoursBackstop;
  // As Windows spells it, which the zone list holds: a name written in other
  // letters would show as no zone and be saved as none.
  fields.TimeZone = config.FixedZone ? ZoneNamed(admin, config.FixedZone->Name) : std::string();
  fields.Level = config.DebugLevel;
  fields.LogFolder = FolderOf(config.AppPath);
  return fields;
}

bool IsNumber(const std::string& text, size_t mostDigits) {
  return text.size() <= mostDigits && text.find_first_not_of("0123456789") == std::string::npos;
}

std::array<int32_t, kDaysPerWeek> DayMinutes(const std::array<TTimeField, kDaysPerWeek + 1>& times) {
  std::array<int32_t, kDaysPerWeek> minutes{};
  for (size_t day = 0; day < minutes.size(); ++day) minutes[day] = MinutesOf(times[day], false).Minutes;
  return minutes;
}

// The week's share of the fields, to compare the days alone.
bool SameDays(const std::array<TTimeField, kDaysPerWeek + 1>& a, const std::array<TTimeField, kDaysPerWeek + 1>& b) {
  return DayMinutes(a) == DayMinutes(b);
}

void SaveChild(TAdmin& admin, TChildPage& page, bool& wrote) {
  if (!page.Stored || page.Week != page.SavedWeek) {
    const bool firstUser = StoreRules(admin, page.User, RulesOfWeek(page.Week));
    KeepRulesToComputerZone(admin, firstUser);
    page.Stored = true;
    page.SavedWeek = page.Week;
    wrote = true;
  }
  if (!SameDays(page.Times, page.SavedTimes)) {
    StoreBudgets(admin, page.User, DayMinutes(page.Times));
    wrote = true;
  }
  const int32_t week = MinutesOf(page.Times[kWeekField], true).Minutes;
  if (week != MinutesOf(page.SavedTimes[kWeekField], true).Minutes) {
    StoreWeekBudget(admin, page.User, week);
    wrote = true;
  }
  page.SavedTimes = page.Times;
}

// Each value counts as saved as soon as it is written: a later one that fails
// leaves the earlier ones written, and the service is asked to read them.
void SaveComputer(TAdmin& admin, TComputerPage& page, bool& wrote) {
  const TComputerFields& now = page.Fields;
  TComputerFields& saved = page.Saved;
  const auto store = [&wrote](auto& savedField, const auto& field, const auto& write) {
    if (savedField == field) return;
    write();
    savedField = field;
    wrote = true;
  };
  store(saved.WarnMinutes, now.WarnMinutes, [&] { StoreWarnMinutes(admin, std::stoi(now.WarnMinutes)); });
  store(saved.EndAction, now.EndAction, [&] { StoreEndAction(admin, now.EndAction); });
  store(saved.Backstop, now.Backstop, [&] { StoreSwitch(admin, kLogonHoursBackstopValue, now.Backstop); });
  store(saved.TimeZone, now.TimeZone, [&] {
    if (now.TimeZone.empty())
      FollowComputerZone(admin);
    else
      StoreTimeZone(admin, now.TimeZone);
  });
  store(saved.Level, now.Level, [&] { StoreLevel(admin, now.Level); });
  store(saved.LogFolder, now.LogFolder, [&] { StoreLogFolder(admin, now.LogFolder); });
  if (!page.NewPin.empty()) {
    StorePin(admin, page.NewPin);
    page.NewPin.clear();
    page.RepeatPin.clear();
    wrote = true;
  }
}
}  // namespace

bool TTimeField::operator==(const TTimeField& other) const {
  return NoLimit == other.NoLimit && (NoLimit || (Hours == other.Hours && Minutes == other.Minutes));
}

bool TComputerFields::operator==(const TComputerFields& other) const {
  return WarnMinutes == other.WarnMinutes && EndAction == other.EndAction && Backstop == other.Backstop &&
         TimeZone == other.TimeZone && Level == other.Level && LogFolder == other.LogFolder;
}

TTimeField TimeFieldOf(int32_t minutes) {
  if (minutes == kNoBudget) return TTimeField{true, "", ""};
  return TTimeField{false, std::to_string(minutes / kMinutesPerHour), std::to_string(minutes % kMinutesPerHour)};
}

TFieldMinutes MinutesOf(const TTimeField& field, bool week) {
  if (field.NoLimit) return {};
  if (!IsNumber(field.Hours, kMostHourDigits) || !IsNumber(field.Minutes, 2))
    return {kNoBudget, "hours and minutes are numbers"};
  const int32_t minutes = field.Minutes.empty() ? 0 : std::stoi(field.Minutes);
  if (minutes >= kMinutesPerHour) return {kNoBudget, "minutes are 0 to 59"};
  const int32_t total = (field.Hours.empty() ? 0 : std::stoi(field.Hours)) * kMinutesPerHour + minutes;
  const std::string refusal = week ? WeekBudgetRefusal(total) : DailyBudgetRefusal(total);
  return {refusal.empty() ? total : kNoBudget, refusal};
}

void TSettingsModel::Load(const TAdmin& admin) {
  Config = admin.Load();
  ChildPages.clear();
  for (int i = 0; i < Config.RestrictedUsers.Count(); ++i) {
    TChildPage page;
    page.User = Config.RestrictedUsers[i];
    page.Week = WeekOfRules(RulesOf(Config, i).Items());
    const TUserExtras& extras = ExtrasOf(Config, i);
    for (size_t day = 0; day < kDaysPerWeek; ++day) page.Times[day] = TimeFieldOf(extras.Budget[day]);
    page.Times[kWeekField] = TimeFieldOf(extras.WeekBudget);
    page.SavedWeek = page.Week;
    page.SavedTimes = page.Times;
    page.Stored = true;
    ChildPages.push_back(page);
  }
  ComputerPage.Fields = ComputerPage.Saved = ComputerFieldsOf(admin, Config);
}

void TSettingsModel::Reread(const TAdmin& admin) { Config = LoadOrEmpty(admin); }

size_t TSettingsModel::AddChild(const std::string& user) {
  TChildPage page;
  page.User = user;
  for (auto& day : page.Week) day.set();
  // Nothing stored yet: the first Save writes the whole page.
  page.SavedWeek = page.Week;
  page.SavedTimes = page.Times;
  ChildPages.push_back(page);
  return ChildPages.size() - 1;
}

bool TSettingsModel::Changed() const {
  for (const TChildPage& page : ChildPages)
    if (!page.Stored || page.Week != page.SavedWeek || page.Times != page.SavedTimes) return true;
  return !(ComputerPage.Fields == ComputerPage.Saved) || !ComputerPage.NewPin.empty() ||
         !ComputerPage.RepeatPin.empty();
}

std::vector<TRefusal> TSettingsModel::Refusals() const {
  std::vector<TRefusal> refused;
  for (size_t child = 0; child < ChildPages.size(); ++child)
    for (size_t field = 0; field <= kWeekField; ++field) {
      const std::string refusal = MinutesOf(ChildPages[child].Times[field], field == kWeekField).Refusal;
      if (!refusal.empty()) refused.push_back({static_cast<int>(child), TField::Time, field, refusal});
    }
  const TComputerFields& fields = ComputerPage.Fields;
  const std::string warnRefusal = IsNumber(fields.WarnMinutes, 3) && !fields.WarnMinutes.empty()
                                      ? WarnMinutesRefusal(std::stoi(fields.WarnMinutes))
                                      : WarnMinutesRefusal(-1);
  if (!warnRefusal.empty()) refused.push_back({-1, TField::WarnMinutes, 0, warnRefusal});
  if (fields.LogFolder.empty() && fields.LogFolder != ComputerPage.Saved.LogFolder)
    refused.push_back({-1, TField::LogFolder, 0, "a folder, such as C:\\ProgramData\\NortavelFree\\logs"});
  const TComputerPage& computer = ComputerPage;
  if (!computer.NewPin.empty() || !computer.RepeatPin.empty()) {
    const std::string pinRefusal = PinRefusal(computer.NewPin);
    if (!pinRefusal.empty())
      refused.push_back({-1, TField::Pin, 0, pinRefusal});
    else if (computer.NewPin != computer.RepeatPin)
      refused.push_back({-1, TField::Pin, 0, "the two PINs differ"});
  }
  return refused;
}

TSaveResult TSettingsModel::Save(TAdmin& admin) {
  TSaveResult result;
  result.Refused = Refusals();
  // A file where the folder should be is known before anything is written.
  const std::string& folder = ComputerPage.Fields.LogFolder;
  if (folder != ComputerPage.Saved.LogFolder && !folder.empty()) {
    const uint32_t attributes = admin.Platform.Files.ReadAttributes(folder);
    if (attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) == 0)
      result.Refused.push_back({-1, TField::LogFolder, 0, "a folder: " + folder + " is a file"});
  }
  if (!result.Refused.empty()) return result;
  try {
    for (TChildPage& page : ChildPages) SaveChild(admin, page, result.Wrote);
    SaveComputer(admin, ComputerPage, result.Wrote);
  } catch (const Exception& error) {
    result.Failure = error.Message();
  }
  if (result.Wrote) result.Reload = AskToReload(admin.Platform.Tool);
  Config = LoadOrEmpty(admin);
  // The first child's rules may have kept the rules to the computer's zone.
  if (ComputerPage.Fields.TimeZone == ComputerPage.Saved.TimeZone)
    ComputerPage.Fields.TimeZone = ComputerPage.Saved.TimeZone = ComputerFieldsOf(admin, Config).TimeZone;
  return result;
}

std::string DecisionLine(const TConfiguration& config, int position, int64_t now, const TDayUse& use) {
  const TDecision decision = DecideFor(config, position, now, kSecondsPerWeek, use);
  const auto when = [now](int64_t moment) {
    return DayOf(moment) == DayOf(now) ? FormatClockTime(moment) : WeekdayAndClock(moment);
  };
  if (decision.Allowed) return decision.Until ? "Allowed until " + when(*decision.Until) : "Allowed all week";
  std::string line = "Time is up";
  if (decision.Reason == TDecisionReason::Budget) line += ": today's time is used up";
  if (decision.Reason == TDecisionReason::WeekBudget) line += ": this week's time is used up";
  if (decision.Until) line += (decision.Reason == TDecisionReason::Rule ? "; allowed again at " : ", allowed again at ") + when(*decision.Until);
  return line;
}

TUseChart UseChartOf(const TConfiguration& config, int position, const TUsageBook& usage, int64_t today) {
  TUseChart chart;
  chart.FirstDay = today - (kChartDays - 1);
  const std::string& user = config.RestrictedUsers[position];
  for (size_t i = 0; i < static_cast<size_t>(kChartDays); ++i) {
    const int64_t day = chart.FirstDay + static_cast<int64_t>(i);
    chart.Minutes[i] = static_cast<int32_t>(usage.Used(day, user) / 60);
    chart.Budget[i] = ExtrasOf(config, position).Budget[static_cast<size_t>(WeekdayOf(day))];
  }
  return chart;
}
