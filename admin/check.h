#pragma once
// Every mistake in the configuration and the installation that costs a
// restriction or the log: nortavelctl check prints them, the parent's window
// lists them on the computer's page.

#include <string>
#include <vector>

#include "admin/admin.h"

struct TFinding {
  bool Error = false;  // a restriction or the log is lost; otherwise a warning
  std::string Text;    // what is wrong, where, and the fix
  // The same for a parent in the settings window: no keys, types or commands,
  // and the fix on the window's pages where it has one.
  std::string Plain;
};

// The findings, errors and warnings in the order they were found; none when
// all is well.
std::vector<TFinding> CheckFindings(const TAdmin& admin);
// How to mend the service's registration, to follow "; ": repairing the
// package where it was installed by one, else the service's own /UNINSTALL and
// /INSTALL.
std::string ReinstallText(const TAdmin& admin);
// What set and check say of a restricted user who is an administrator.
std::string AdministratorText(const std::string& user);
