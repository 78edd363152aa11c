#pragma once
// The commands of nortavelctl over the platform they are handed, writing to the
// streams they are handed: the program entry gives them the real platform and
// the console, the tests fakes and string streams. Thread: the caller's only.

#include <ostream>
#include <string>
#include <vector>

#include "admin/admin_platform.h"

// What a run of the tool acts on.
using TCtlPlatform = TAdminPlatform;

// Exit codes.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1;  // the operation failed, or check found an error
inline constexpr int kExitUsage = 2;   // the command line cannot be acted on

// Runs the command line args (without the program name). Results go to out;
// every complaint goes to err, after "nortavelctl: ", naming the fix. Never
// raises for what the platform answers.
int RunCtl(const std::vector<std::string>& args, TCtlPlatform& platform, std::ostream& out, std::ostream& err);
