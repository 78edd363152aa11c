#include "admin/admin.h"

#include "admin/admin_errors.h"
#include "common/calendar.h"
#include "common/text.h"
#include "engine/time_rules.h"
#include "engine/week.h"
#include "winsys/registry.h"

namespace {
// A log sink that drops the lines: a load for the administration only reads.
class TQuietLog : public TLogSink {
 public:
  void Log(const std::string&) override {}
  void FlushLog() override {}
};
}  // namespace

TAdmin OpenAdmin(TAdminPlatform& platform, std::optional<TRegistryView> chosen) {
  TAdmin admin{platform, platform.Location, platform.Tool.WindowsIs64Bit(), QueryService(platform.Tool),
               TRegistryView::View32};
  const TRegistryView own = platform.Own64 ? TRegistryView::View64 : TRegistryView::View32;
  admin.ServiceView = admin.Service.Machine != 0 ? ViewOfMachine(admin.Service.Machine) : own;
  admin.Location.View = chosen ? *chosen : admin.ServiceView;
  // 32-bit Windows has one view, and its first releases know no view flags.
  if (!admin.Windows64) admin.Location.View = TRegistryView::Own;
  return admin;
}

std::string TAdmin::ViewName(TRegistryView view) {
  return view == TRegistryView::View64 ? "64-bit" : view == TRegistryView::View32 ? "32-bit" : "only";
}

std::string TAdmin::KeyTextIn(TRegistryView view, const std::string& below) const {
  std::string path = Location.MainKeyPath;
  const std::string software = "\\SOFTWARE\\";
  if (view == TRegistryView::View32 && Windows64 && path.size() >= software.size() &&
      AsciiSameText(path.substr(0, software.size()), software))
    path.insert(software.size(), "WOW6432Node\\");
  path += below;
  if (path.size() > 1 && path.back() == '\\') path.pop_back();
  return "HKLM" + path;
}

TConfiguration TAdmin::Load(TRegistryView view) const {
  TConfiguration config;
  TConfigLocation location = Location;
  location.View = view;
  TQuietLog log;
  try {
    LoadConfiguration(config, Platform.Registry, location, log);
  } catch (const ERegistryException& error) {
    throw ECommandFailed(error.Message() + " below " + KeyTextIn(view, "") +
                         ": the service refuses this configuration; nortavelctl check names the value to correct");
  }
  return config;
}

TZoneClock TAdmin::RuleClock(const TConfiguration& config) const {
  return TZoneClock(Platform.Clock, config.FixedZone ? &*config.FixedZone : nullptr);
}

TConfiguration LoadOrEmpty(const TAdmin& admin) {
  try {
    return admin.Load();
  } catch (const ECommandFailed&) {
    // A configuration the service refuses restricts nobody until it is mended.
    return TConfiguration();
  }
}

std::vector<std::string> ConfiguredUsers(const TAdmin& admin) {
  return ConfiguredUserNames(admin.Platform.Registry, admin.Location);
}

std::string WeekdayAndClock(int64_t seconds) {
  return DayName(DayIndexOf(DateTimeAt(seconds))).substr(0, 3) + " " + FormatClockTime(seconds);
}
