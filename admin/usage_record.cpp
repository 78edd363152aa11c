#include "admin/usage_record.h"

#include "common/calendar.h"

int64_t RulesToday(const TAdmin& admin, const TConfiguration& config) {
  return DayOf(SecondsOf(admin.RuleClock(config).LocalNow()));
}

TUsageFile ReadUsage(const TAdmin& admin, const TConfiguration& config) {
  const int64_t today = RulesToday(admin, config);
  TUsageFile usage = ReadUsageRecord(admin.Platform.Files, today);
  // Without an administrator's rights the record is closed; the copy is not.
  if (usage.Read == TWholeFile::Failed) {
    TUsageFile copy = ReadUsageCopy(admin.Platform.Files, today);
    if (copy.Read == TWholeFile::Done) return copy;
  }
  return usage;
}

std::string UsageSavingText(const TAdmin& admin, const TConfiguration& config, const TUsageFile& usage) {
  if (admin.Service.State != TToolApi::kStateRunning || !config.KeepsUsage() || usage.Read != TWholeFile::Done)
    return "";
  // The service records its time at every save, at least once a minute.
  const int64_t latest = usage.Book.LatestUtc();
  if (latest == 0 || SecondsOf(admin.Platform.Clock.UtcNow()) - latest <= kUsageStaleSeconds) return "";
  return "the service has not been able to save the time used since " + FormatUtc(latest).substr(0, 16) +
         " UTC: its log says why";
}

bool ClockBehind(const TAdmin& admin, const TConfiguration& config, const TUsageFile& usage) {
  return admin.Service.State == TToolApi::kStateRunning && config.KeepsUsage() && usage.Read == TWholeFile::Done &&
         usage.Book.LatestUtc() - SecondsOf(admin.Platform.Clock.UtcNow()) > kClockSetBackTolerance;
}

std::string UsageProblemText(const TUsageFile& usage) {
  if (usage.Path.empty()) return "cannot find the usage file: Windows names no common application data folder";
  switch (usage.Read) {
    case TWholeFile::Failed:
      return "cannot read " + usage.Path + ": run from an administrator command prompt";
    case TWholeFile::NotPlain:
      return usage.Path + " is a link or no plain file, or its folder is a link: the service keeps no use there; "
                          "delete what is there and restart the service";
    case TWholeFile::Done:
      if (usage.Damage.Lines == 0) return "";
      return std::to_string(usage.Damage.Lines) + (usage.Damage.Lines == 1 ? " damaged line" : " damaged lines") +
             " of " + usage.Path + " skipped, the first is line " + std::to_string(usage.Damage.First);
    case TWholeFile::Missing:
      break;
  }
  return "";
}
