#include "diag/folder_access.h"

namespace {
constexpr const char* kAdministrativeSids[] = {
    "S-1-5-18",      // SYSTEM
    "S-1-5-32-544",  // Administrators
    "S-1-5-80-956008885-3418522649-1831038044-1851738476-2681736969",  // NT SERVICE\TrustedInstaller
};
}  // namespace

bool IsAdministrativeSid(const std::string& sid) {
  for (const char* administrative : kAdministrativeSids)
    if (sid == administrative) return true;
  return false;
}

TFolderAccess JudgeFolderAccess(bool hasList, const std::vector<TAccessEntry>& entries) {
  if (!hasList) return TFolderAccess::OthersMayWrite;
  for (const TAccessEntry& entry : entries) {
    if (!entry.Allows || entry.InheritOnly || entry.Administrative) continue;
    if ((entry.Mask & kFolderWriteRights) != 0) return TFolderAccess::OthersMayWrite;
  }
  return TFolderAccess::OnlyAdministrators;
}
