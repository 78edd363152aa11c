#pragma once
// One administration of the configuration: the platform it acts on, the
// registry view it writes and the service as it was found. nortavelctl makes
// one per run, the parent's window one per start; both hand it to the
// operations (admin/operations.h). Thread: the caller's; not shared.

#include <optional>
#include <string>
#include <vector>

#include "admin/admin_platform.h"
#include "admin/service_info.h"
#include "common/time_zone.h"
#include "winsys/configuration.h"

struct TAdmin {
  TAdminPlatform& Platform;
  TConfigLocation Location;  // in the view this administration uses
  bool Windows64 = false;
  TServiceInfo Service;
  TRegistryView ServiceView = TRegistryView::View32;  // the view the service reads (or would)

  // A key below the main key as regedit names it: "HKLM\SOFTWARE\WOW6432Node\Vrem\NortavelFree\<below>"
  // for the 32-bit view on 64-bit Windows, without the node elsewhere.
  std::string KeyText(const std::string& below = std::string()) const { return KeyTextIn(Location.View, below); }
  // The restrictions' key, or a user's key or value below it, as regedit names it.
  std::string RestrictionsKeyText(const std::string& below = std::string()) const {
    return KeyText(std::string(kRestrictionsKeyName) + (below.empty() ? "" : "\\" + below));
  }
  std::string KeyTextIn(TRegistryView view, const std::string& below) const;
  // "32-bit" or "64-bit" for a view of this administration.
  static std::string ViewName(TRegistryView view);
  // The configuration as the service reads it; ECommandFailed for a value it would refuse.
  TConfiguration Load(TRegistryView view) const;
  TConfiguration Load() const { return Load(Location.View); }
  // The clock of the rules under config: its fixed zone's time, or the computer's.
  TZoneClock RuleClock(const TConfiguration& config) const;
};

// An administration of the view chosen, or without a choice of the view the
// installed service reads (without a service, that of this build). 32-bit
// Windows has one view. Asks the control manager about the service; never raises.
TAdmin OpenAdmin(TAdminPlatform& platform, std::optional<TRegistryView> chosen);

// The configuration as the service reads it, or an empty one where the service
// would refuse it: before and after a change, to compare them.
TConfiguration LoadOrEmpty(const TAdmin& admin);
// The users with a key below the restrictions' key; none when it cannot be
// read. Unlike Load, never refuses a configuration: only names are wanted.
std::vector<std::string> ConfiguredUsers(const TAdmin& admin);

// A moment as the administration shows it: "Wed 19:10".
std::string WeekdayAndClock(int64_t seconds);
