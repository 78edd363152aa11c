// nortavelctl installer: the package's steps write settings one by one, and a
// step that fails rolls the install back; Windows Installer undoes only what it
// wrote itself, so the tool undoes what it wrote for the package.
#include <string>
#include <vector>

#include "ctl/command_context.h"
#include "ctl/usage_error.h"
#include "diag/diagnostic_log.h"
#include "winsys/config_writer.h"

namespace {
void Rollback(TRun& run, TConfigWriter& writer) {
  std::vector<std::string> folders, changed;
  if (!writer.RestoreSnapshot(folders, changed)) {
    run.Out << "No copy of the settings is kept: nothing to put back.\n";
    return;
  }
  for (const std::string& change : changed) run.Out << "In " << run.KeyText() << ": " << change << ".\n";
  // The innermost first. A folder that holds more than the service's log was
  // not the install's alone: it stays.
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
    run.Platform.Files.RemoveFile(*folder + "\\" + kLogFileName);
    if (run.Platform.Tool.RemoveFolder(*folder))
      run.Out << "Removed " << *folder << ".\n";
    else
      run.Err << "nortavelctl: cannot remove " << *folder << " (" << ErrorText(run.Platform.Tool.LastError())
              << "): it holds files that were there before, or remove it by hand\n";
  }
  writer.DropSnapshot(true);
  run.Out << "The settings are as they were before the install.\n";
}
}  // namespace

void RunInstaller(TRun& run, std::vector<std::string> words) {
  ExpectWords("installer", words, 1, 1);
  TConfigWriter writer(run.Platform.Registry, run.Location);
  const std::string step = AsciiLower(words[0]);
  if (step == "begin") {
    writer.TakeSnapshot();
    run.Out << "Kept a copy of the settings in " << run.KeyTextIn(run.Location.View, "")
            << ".install: nortavelctl installer rollback puts them back.\n";
  } else if (step == "rollback") {
    Rollback(run, writer);
  } else if (step == "commit") {
    writer.DropSnapshot(false);
    run.Out << "The copy of the settings is dropped.\n";
  } else {
    throw EUsageError("installer takes begin, rollback or commit, not '" + words[0] + "'");
  }
}
