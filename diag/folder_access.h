#pragma once
// Whether a folder's access list lets accounts other than the administrative
// ones put files into it or take them away. The platform reads the list; the
// judgement, of the entries and of the accounts they name, is here, the same on
// every platform.

#include <cstdint>
#include <string>
#include <vector>

enum class TFolderAccess { Unknown, OnlyAdministrators, OthersMayWrite };

// One entry of a folder's access list, as far as the judgement needs it.
struct TAccessEntry {
  bool Allows = true;          // an allowing entry (denying ones are not weighed)
  bool InheritOnly = false;    // applies only to what is created inside
  uint32_t Mask = 0;           // the rights it grants
  bool Administrative = false; // names an account IsAdministrativeSid accepts
};

// Rights on a folder that let an account add or delete files, or give itself
// those rights: FILE_ADD_FILE, FILE_ADD_SUBDIRECTORY, FILE_DELETE_CHILD,
// WRITE_DAC, WRITE_OWNER, GENERIC_WRITE, GENERIC_ALL.
inline constexpr uint32_t kFolderWriteRights = 0x2 | 0x4 | 0x40 | 0x40000 | 0x80000 | 0x40000000 | 0x10000000;

// Whether the account or group whose SID this is, in its text form
// ("S-1-5-18"), may change any file anyway: SYSTEM, the Administrators group and
// TrustedInstaller, which owns the system's own files. Such an account gains
// nothing from the log's folder.
bool IsAdministrativeSid(const std::string& sid);

// hasList false: the folder has no list at all, which grants everyone everything.
TFolderAccess JudgeFolderAccess(bool hasList, const std::vector<TAccessEntry>& entries);
