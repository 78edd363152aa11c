#include "engine/weak_spots.h"

#include "diag/messages.h"

std::vector<std::string> FindWeakSpots(TProcessApi& processes, TLogPlatform& files, const std::string& logFolder) {
  std::vector<std::string> found;
  if (processes.RunsUnderWow64()) found.push_back(kMsgWow64Service);
  if (files.OthersMayWriteFolder(logFolder) == TFolderAccess::OthersMayWrite)
    found.push_back(kMsgOpenLogFolder + logFolder + kMsgOpenLogFolderAdvice);
  return found;
}
