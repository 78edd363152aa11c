// The native stand-in for the Windows file calls: real files through C stdio
// and POSIX, so the log's file handling meets real failures (a read-only mount,
// a full disk, a missing folder). The DOS attributes live in the extended
// attribute where Wine keeps them too; the read-only bit is the owner's write
// permission, as Wine maps it. The locale is a fixed day.month.year, 24-hour one.
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "diag/stdio_streams.h"

namespace {

constexpr char kAttributeName[] = "user.DOSATTRIB";
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileAttributeNormal = 0x80;
// Kept in the extended attribute; the others come from the file's mode.
constexpr uint32_t kStoredAttributes = ~(kFileAttributeReadOnly | kFileAttributeDirectory | kFileAttributeNormal);

FILE* AsFile(uintptr_t stream) { return reinterpret_cast<FILE*>(stream); }

class TPosixLogFiles : public TStdioStreams {
 public:
  int64_t SeekStream(uintptr_t stream, int64_t offset, int origin) override {
    if (fseeko(AsFile(stream), static_cast<off_t>(offset), origin) != 0) return -1;
    return static_cast<int64_t>(ftello(AsFile(stream)));
  }

  bool CloseStream(uintptr_t stream) override { return std::fclose(AsFile(stream)) == 0; }

  bool TruncateFile(const std::string& path, int64_t size) override {
    return ::truncate(path.c_str(), static_cast<off_t>(size)) == 0;
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
