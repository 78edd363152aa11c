// The native stand-in for the Windows file calls: real files through C stdio
// and POSIX, so the log's file handling meets real failures (a read-only mount,
// a full disk, a missing folder). The DOS attributes live in the extended
// attribute where Wine keeps them too; the read-only bit is the owner's write
// permission, as Wine maps it. The locale is a fixed day.month.year, 24-hour one.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/stdio_streams.h"

namespace {

constexpr char kAttributeName[] = "user.DOSATTRIB";
constexpr uint32_t kFileAttributeNormal = 0x80;
// Kept in the extended attribute; the others come from the file's mode.
constexpr uint32_t kStoredAttributes = ~(kFileAttributeReadOnly | kFileAttributeDirectory | kFileAttributeNormal);

FILE* AsFile(uintptr_t stream) { return reinterpret_cast<FILE*>(stream); }

// Opens path with flags, never through a symbolic link; refuses (linked set)
// a link and a file with more than one name, and anything but a regular file.
int OpenPlainFile(const std::string& path, int flags, bool& linked) {
  linked = false;
  const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    linked = errno == ELOOP;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink > 1) {
    linked = S_ISREG(info.st_mode) && info.st_nlink > 1;
    ::close(fd);
    return -1;
  }
  return fd;
}

class TPosixLogFiles : public TStdioStreams {
 public:
  uintptr_t OpenStream(const std::string& path, const char* mode, bool& linked) override {
    const std::string m = mode;
    const int flags = m[0] == 'r' ? O_RDONLY : m[0] == 'a' ? O_RDWR | O_APPEND | O_CREAT : O_WRONLY | O_CREAT | O_EXCL;
    const int fd = OpenPlainFile(path, flags, linked);
    if (fd < 0) return 0;
    FILE* file = ::fdopen(fd, mode);
    if (file == nullptr) ::close(fd);
    return reinterpret_cast<uintptr_t>(file);
  }

  int64_t SeekStream(uintptr_t stream, int64_t offset, int origin) override {
    if (fseeko(AsFile(stream), static_cast<off_t>(offset), origin) != 0) return -1;
    return static_cast<int64_t>(ftello(AsFile(stream)));
  }

  bool CloseStream(uintptr_t stream) override { return std::fclose(AsFile(stream)) == 0; }

  bool TruncateFile(const std::string& path, int64_t size) override {
    bool linked = false;
    const int fd = OpenPlainFile(path, O_WRONLY, linked);
    if (fd < 0) return false;
    const bool cut = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    return cut;
  }

  bool RenameFile(const std::string& from, const std::string& to, uint32_t flags) override {
    struct stat info {};
    if ((flags & kMoveFileReplaceExisting) == 0 && ::stat(to.c_str(), &info) == 0) return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
  }

  bool RemoveFile(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  uint32_t ReadAttributes(const std::string& path) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return kInvalidFileAttributes;
    uint32_t attributes = kFileAttributeArchive;  // what a file written on Windows carries
    char text[32] = {};
    const ssize_t length = ::getxattr(path.c_str(), kAttributeName, text, sizeof text - 1);
    if (length > 0) attributes = static_cast<uint32_t>(std::strtoul(text, nullptr, 16)) & kStoredAttributes;
    if ((info.st_mode & S_IWUSR) == 0) attributes |= kFileAttributeReadOnly;
    if (S_ISDIR(info.st_mode)) attributes |= kFileAttributeDirectory;
    return attributes == 0 ? kFileAttributeNormal : attributes;
  }

  bool WriteAttributes(const std::string& path, uint32_t attributes) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    char text[32];
    const int length = std::snprintf(text, sizeof text, "0x%x", attributes & kStoredAttributes);
    if (::setxattr(path.c_str(), kAttributeName, text, static_cast<size_t>(length), 0) != 0) return false;
    const mode_t mode = (attributes & kFileAttributeReadOnly) != 0 ? info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)
                                                                     : info.st_mode | S_IWUSR;
    return ::chmod(path.c_str(), mode & 07777) == 0;
  }

  TFolderAccess OthersMayWriteFolder(const std::string& folder) override {
    // root stands for SYSTEM and the Administrators; the group and everyone
    // else for the others.
    struct stat info {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &info) != 0) return TFolderAccess::Unknown;
    const bool others = info.st_uid != 0 || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return others ? TFolderAccess::OthersMayWrite : TFolderAccess::OnlyAdministrators;
  }

  std::string CommonDataFolder() override { return "/var/lib"; }

  // root stands for the Administrators: the folder is root's, readable by all
  // or by root alone.
  bool CreatePrivateFolder(const std::string& path, bool usersRead) override {
    const mode_t mode = usersRead ? 0755 : 0700;
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    return ::chmod(path.c_str(), mode) == 0;
  }

  std::string ReadLocaleInfo(uint32_t locale, uint32_t type) override {
    if (locale != kLocaleUserDefault) return std::string();
    switch (type) {
      case kLocaleShortDate: return "dd.MM.yyyy";
      case kLocaleTimeSeparator: return ":";
      case kLocaleTwentyFourHour: return "1";
      case kLocaleHourLeadingZero: return "1";
      case kLocaleAmDesignator: return "AM";
      case kLocalePmDesignator: return "PM";
      case kLocaleDesignatorFirst: return "0";
      default: return std::string();  // names: the formatter's English defaults
    }
  }
};

}  // namespace

TLogPlatform& PlatformLogFiles() {
  static TPosixLogFiles files;
  return files;
}
