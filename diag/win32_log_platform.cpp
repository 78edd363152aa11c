// The Windows side of the log's files and locale: the C runtime's streams (text
// mode turns "\n" into CR LF) and the kernel32 calls, forwarded as they are.
#include "common/win32.h"

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "diag/stdio_streams.h"

namespace {

FILE* AsFile(uintptr_t stream) { return reinterpret_cast<FILE*>(stream); }

// Opens path without following a reparse point, sharing reading and writing but
// not deletion, so that nobody can rename, delete or replace the file while the
// handle is open. Refuses (linked set) a reparse point and a file with more than
// one name, and anything that is not a file.
HANDLE OpenPlainFile(const std::string& path, DWORD access, DWORD disposition, bool& linked) {
  linked = false;
  const HANDLE file = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != FALSE;
  linked = known && ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks > 1);
  if (known && !linked && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return file;
  KeepingLastError([&] { return CloseHandle(file); });
  return INVALID_HANDLE_VALUE;
}

// The folder itself, not a name in it: "C:\\Logs\\" names it as "C:\\Logs"; an
// empty name is the current folder. Wine goes through a link to a folder named
// with its closing backslash and no longer shows it as a reparse point.
std::string FolderItself(const std::string& folder) {
  std::string name = folder.empty() ? "." : folder;
  if (name.size() > 3 && (name.back() == '\\' || name.back() == '/')) name.pop_back();
  return name;
}

// Judged by the SID's text, so that the list of administrative accounts is one
// portable list. A SID that cannot be converted counts as somebody else's: the
// warning it may cause costs less than a write right overlooked.
bool IsAdministrative(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return false;
  const bool administrative = IsAdministrativeSid(text);
  LocalFree(text);
  return administrative;
}

// Owned by the Administrators; full control for SYSTEM and the Administrators,
// read and list for Users (or nothing for them), inherited by what is made
// inside; nothing inherited from above.
constexpr char kPrivateFolderAccess[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
constexpr char kAdministratorsFolderAccess[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Giving a folder that another account owns a new owner takes a privilege that
// SYSTEM and elevated Administrators hold but do not have enabled: taking
// ownership, and restoring, which allows naming any owner. Enabled once, in the
// process's own token.
void EnableOwnerPrivileges() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
  for (const char* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME}) {
    TOKEN_PRIVILEGES privilege{};
    privilege.PrivilegeCount = 1;
    privilege.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, name, &privilege.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &privilege, 0, nullptr, nullptr);
  }
  CloseHandle(token);
}

// The owner first: only as its owner (or with the privileges) may the service
// replace a list that its maker wrote to shut the service out.
bool TakeOver(std::string& name, PSECURITY_DESCRIPTOR descriptor) {
  EnableOwnerPrivileges();
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  PSID owner = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  return SetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr,
                               nullptr) == ERROR_SUCCESS &&
         SetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                               dacl, nullptr) == ERROR_SUCCESS;
}

static_assert(kMaxPathLength == MAX_PATH - 1, "the ANSI calls' path limit");

static_assert(kFolderWriteRights == (FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | WRITE_DAC |
                                     WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL),
              "the rights that let an account change a folder's files");

class TWin32LogFiles : public TStdioStreams {
 public:
  uintptr_t OpenStream(const std::string& path, const char* mode, bool& linked) override {
    const char kind = mode[0];
    const bool binary = std::strchr(mode, 'b') != nullptr;
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    int flags = _O_RDONLY;
    if (kind == 'a') {
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = OPEN_ALWAYS;
      flags = _O_RDWR | _O_APPEND;
    } else if (kind == 'w') {
      access = GENERIC_WRITE;
      disposition = CREATE_NEW;
      flags = _O_WRONLY;
    }
    const HANDLE file = OpenPlainFile(path, access, disposition, linked);
    if (file == INVALID_HANDLE_VALUE) return 0;
    // The C runtime's stream over the checked handle: text mode as fopen gives it.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), flags | (binary ? _O_BINARY : _O_TEXT));
    if (fd < 0) {
      KeepingLastError([&] { return CloseHandle(file); });
      return 0;
    }
    FILE* stream = _fdopen(fd, mode);
    if (stream == nullptr) _close(fd);
    return reinterpret_cast<uintptr_t>(stream);
  }

  int64_t SeekStream(uintptr_t stream, int64_t offset, int origin) override {
    // The 64-bit calls: a log past 2 GiB must not look like a failed seek.
    if (_fseeki64(AsFile(stream), offset, origin) != 0) return -1;
    return _ftelli64(AsFile(stream));
  }

  bool CloseStream(uintptr_t stream) override {
    const bool closed = KeepingLastError([&] { return std::fclose(AsFile(stream)) == 0; });
    return closed;
  }

  bool TruncateFile(const std::string& path, int64_t size) override {
    // OPEN_EXISTING: CREATE_ALWAYS and TRUNCATE_EXISTING refuse a hidden file.
    bool linked = false;
    const HANDLE file = OpenPlainFile(path, GENERIC_WRITE, OPEN_EXISTING, linked);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER position;
    position.QuadPart = size;
    const bool cut = SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != FALSE && SetEndOfFile(file) != FALSE;
    KeepingLastError([&] { return CloseHandle(file); });
    return cut;
  }

  bool RenameFile(const std::string& from, const std::string& to, uint32_t flags) override {
    return MoveFileExA(from.c_str(), to.c_str(), flags) != FALSE;
  }

  bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }

  uint32_t ReadAttributes(const std::string& path) override { return GetFileAttributesA(path.c_str()); }

  bool WriteAttributes(const std::string& path, uint32_t attributes) override {
    return SetFileAttributesA(path.c_str(), attributes) != FALSE;
  }

  TFolderAccess OthersMayWriteFolder(const std::string& folder) override {
    std::string name = FolderItself(folder);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(const_cast<char*>(name.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
      return TFolderAccess::Unknown;
    std::vector<TAccessEntry> entries;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
      ACE_HEADER* header = nullptr;
      if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) continue;
      TAccessEntry entry;
      entry.Allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
      entry.InheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
      if (entry.Allows) {
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        entry.Mask = ace->Mask;
        entry.Administrative = IsAdministrative(&ace->SidStart);
      }
      entries.push_back(entry);
    }
    const TFolderAccess access = JudgeFolderAccess(dacl != nullptr, entries);
    LocalFree(descriptor);
    return access;
  }

  std::string CommonDataFolder() override {
    char path[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return std::string();
    return path;
  }

  bool CreatePrivateFolder(const std::string& path, bool usersRead) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            usersRead ? kPrivateFolderAccess : kAdministratorsFolderAccess, SDDL_REVISION_1, &descriptor, nullptr))
      return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    std::string name = FolderItself(path);
    bool done = CreateDirectoryA(name.c_str(), &attributes) != FALSE;
    if (!done && GetLastError() == ERROR_ALREADY_EXISTS) {
      // Any user may make a folder in C:\ProgramData: one made before the
      // service gets the service's owner and list, unless it is no plain folder.
      const DWORD kind = GetFileAttributesA(name.c_str());
      if (kind != INVALID_FILE_ATTRIBUTES && (kind & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
          (kind & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        done = TakeOver(name, descriptor);
    }
    KeepingLastError([&] { return LocalFree(descriptor) == nullptr; });
    return done;
  }

  std::string ReadLocaleInfo(uint32_t locale, uint32_t type) override {
    char small[64];
    int length = GetLocaleInfoA(locale, type, small, sizeof small);
    if (length > 0) return std::string(small, static_cast<size_t>(length - 1));
    length = GetLocaleInfoA(locale, type, nullptr, 0);  // the length a longer answer needs
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    length = GetLocaleInfoA(locale, type, &text[0], length);
    text.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
    return text;
  }
};

}  // namespace

TLogPlatform& PlatformLogFiles() {
  static TWin32LogFiles files;
  return files;
}
