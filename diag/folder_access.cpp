#include "diag/folder_access.h"

TFolderAccess JudgeFolderAccess(bool hasList, const std::vector<TAccessEntry>& entries) {
  if (!hasList) return TFolderAccess::OthersMayWrite;
  for (const TAccessEntry& entry : entries) {
    if (!entry.Allows || entry.InheritOnly || entry.Administrative) continue;
    if ((entry.Mask & kFolderWriteRights) != 0) return TFolderAccess::OthersMayWrite;
  }
  return TFolderAccess::OnlyAdministrators;
}
