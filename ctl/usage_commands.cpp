// nortavelctl budget: the daily budget in the registry; and the use the service
// has recorded in its usage file.
#include <string>
#include <vector>

#include "ctl/budget.h"
#include "ctl/command_context.h"
#include "ctl/usage_error.h"
#include "winsys/config_writer.h"

TUsageFile ReadUsageFile(TRun& run) {
  TUsageFile usage;
  const std::string common = run.Platform.Files.CommonDataFolder();
  if (common.empty()) {
    usage.Read = TWholeFile::Failed;
    return usage;
  }
  usage.Path = common + "\\" + kDataFolderName + "\\" + kUsageFileName;
  std::string text;
  usage.Read = ReadWholeFile(run.Platform.Files, usage.Path, text);
  if (usage.Read == TWholeFile::Done) usage.Damage = usage.Book.Parse(text);
  return usage;
}

std::string UsageProblemText(const TUsageFile& usage) {
  if (usage.Path.empty()) return "cannot find the usage file: Windows names no common application data folder";
  switch (usage.Read) {
    case TWholeFile::Failed:
      return "cannot read " + usage.Path + ": run from an administrator command prompt";
    case TWholeFile::Linked:
      return usage.Path + " is a link, which the service does not use either: delete it, and the service writes a "
                          "new one";
    case TWholeFile::Done:
      if (usage.Damage.Lines == 0) return "";
      return std::to_string(usage.Damage.Lines) + (usage.Damage.Lines == 1 ? " damaged line" : " damaged lines") +
             " of " + usage.Path + " skipped, the first is line " + std::to_string(usage.Damage.First);
    case TWholeFile::Missing:
      break;
  }
  return "";
}

void RunBudget(TRun& run, std::vector<std::string> words) {
  const bool clear = TakeFlag(words, "--clear");
  ExpectWords("budget", words, 1, clear ? 1 : SIZE_MAX);
  std::string text;
  for (size_t i = 1; i < words.size(); ++i) text += (i > 1 ? " " : "") + words[i];
  TBudget budget;
  budget.fill(kNoBudget);
  if (!clear && words.size() > 1) budget = ParseBudget(text);
  const TConfiguration config = run.Load();
  const std::string user = ConfiguredUser(run, config, words[0], "a daily budget");
  if (!clear && words.size() == 1) {
    const int position = config.RestrictedUsers.IndexOf(user);
    run.Out << BudgetSentence(user, config.UserExtras[static_cast<size_t>(position)].Budget) << "\n";
    return;
  }
  TConfigWriter(run.Platform.Registry, run.Location).WriteBudgets(user, budget);
  run.Out << BudgetSentence(user, budget) << "\n";
  SayWhomTheChangeRestricts(run, config);
  RequestReload(run.Platform.Tool, run.Out, run.Err);
}
