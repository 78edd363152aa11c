#pragma once
// The use the service counted, as the administration reads it: the service's
// record, or where the reader may not open it (not an administrator), the copy
// every user may read; and what to say when it falls short.

#include <cstdint>
#include <string>

#include "admin/admin.h"
#include "engine/usage.h"

// The record as of the rules' today under config.
TUsageFile ReadUsage(const TAdmin& admin, const TConfiguration& config);
// Why usage falls short of what the service counted, to follow "nortavelctl: "
// or a label; empty when it was read whole or is missing (nothing counted yet).
std::string UsageProblemText(const TUsageFile& usage);
// While the service runs and keeps use: that its record has not been saved for
// longer than kUsageStaleSeconds (the saves keep failing), to follow a label;
// empty otherwise.
inline constexpr int64_t kUsageStaleSeconds = 10 * 60;
std::string UsageSavingText(const TAdmin& admin, const TConfiguration& config, const TUsageFile& usage);
// While the service runs and keeps use: whether its record is ahead of the
// computer's clock by more than the service lets a clock drift, so that the
// service goes by its own time.
bool ClockBehind(const TAdmin& admin, const TConfiguration& config, const TUsageFile& usage);
// The day of the rules' time now, as the service counts days.
int64_t RulesToday(const TAdmin& admin, const TConfiguration& config);
