#pragma once
// The file, attribute and locale calls behind the diagnostic log. The caller
// passes the documented values (stdio modes, MoveFileExA flags, attribute bits,
// locale and information types) so tests can check what reaches the system.
// Streams and their errors follow C stdio; every stream handle that OpenStream
// returns must be given back to CloseStream exactly once.
//
// The log's folder may be writable by the very user the service restricts, who
// may plant links there. So no call that writes ever follows a link: a file that
// is a link, a reparse point or that has more than one name is refused.

#include <cstddef>
#include <cstdint>
#include <string>

#include "diag/folder_access.h"

// GetFileAttributesA / SetFileAttributesA bits and the failure value.
inline constexpr uint32_t kFileAttributeReadOnly = 0x01;
inline constexpr uint32_t kFileAttributeHidden = 0x02;
inline constexpr uint32_t kFileAttributeSystem = 0x04;
inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kFileAttributeArchive = 0x20;
inline constexpr uint32_t kFileAttributeReparsePoint = 0x400;
inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;

// The longest path the calls take, in characters: MAX_PATH less its terminating
// zero, the limit of the ANSI file calls. A longer path names no file.
inline constexpr size_t kMaxPathLength = 259;

// MoveFileExA flag.
inline constexpr uint32_t kMoveFileReplaceExisting = 0x1;

// GetLocaleInfoA: the locale and the information types the timestamp reads.
inline constexpr uint32_t kLocaleUserDefault = 0x0400;
inline constexpr uint32_t kLocaleShortDate = 0x1F;          // LOCALE_SSHORTDATE
inline constexpr uint32_t kLocaleTimeSeparator = 0x1E;      // LOCALE_STIME
inline constexpr uint32_t kLocaleTwentyFourHour = 0x23;     // LOCALE_ITIME: "1" = 24 h
inline constexpr uint32_t kLocaleHourLeadingZero = 0x25;    // LOCALE_ITLZERO: "1" = leading zero
inline constexpr uint32_t kLocaleAmDesignator = 0x28;       // LOCALE_S1159
inline constexpr uint32_t kLocalePmDesignator = 0x29;       // LOCALE_S2359
inline constexpr uint32_t kLocaleDesignatorFirst = 0x1005;  // LOCALE_ITIMEMARKPOSN: "1" = before
inline constexpr uint32_t kLocaleDayName1 = 0x2A;           // LOCALE_SDAYNAME1 (Monday) .. +6
inline constexpr uint32_t kLocaleShortDayName1 = 0x31;      // LOCALE_SABBREVDAYNAME1 .. +6
inline constexpr uint32_t kLocaleMonthName1 = 0x38;         // LOCALE_SMONTHNAME1 .. +11
inline constexpr uint32_t kLocaleShortMonthName1 = 0x44;    // LOCALE_SABBREVMONTHNAME1 .. +11

class TLogPlatform {
 public:
  virtual ~TLogPlatform() = default;

  // fopen(path, mode) without following a link: a stream handle, or 0 when the
  // file cannot be opened, and also, with linked set, when it is a link, a
  // reparse point or has more than one name. Mode "w" creates the file
  // exclusively: it fails when anything exists under the name. While the
  // stream is open the file can be neither deleted nor renamed (on Windows), so
  // the path keeps naming it.
  virtual uintptr_t OpenStream(const std::string& path, const char* mode, bool& linked) = 0;
  // fread: the number of bytes read, 0 at the end of the file, -1 on a read error.
  virtual int64_t ReadStream(uintptr_t stream, char* buffer, size_t size) = 0;
  // fwrite of all size bytes; false when not all of them were taken.
  virtual bool WriteStream(uintptr_t stream, const char* data, size_t size) = 0;
  // fseek(offset, origin) with SEEK_SET or SEEK_END, then ftell: the new
  // position in bytes, or -1 on failure.
  virtual int64_t SeekStream(uintptr_t stream, int64_t offset, int origin) = 0;
  // fclose; false when the buffered data could not be written or the close
  // failed. The handle is gone either way.
  virtual bool CloseStream(uintptr_t stream) = 0;

  // Cuts the existing file at path back to size bytes; refuses what OpenStream
  // refuses.
  virtual bool TruncateFile(const std::string& path, int64_t size) = 0;
  // MoveFileExA(from, to, flags).
  virtual bool RenameFile(const std::string& from, const std::string& to, uint32_t flags) = 0;
  // DeleteFileA(path).
  virtual bool RemoveFile(const std::string& path) = 0;
  // GetFileAttributesA(path): kInvalidFileAttributes when they cannot be read.
  virtual uint32_t ReadAttributes(const std::string& path) = 0;
  // SetFileAttributesA(path, attributes).
  virtual bool WriteAttributes(const std::string& path, uint32_t attributes) = 0;

  // Whether accounts other than the administrative ones (IsAdministrativeSid)
  // may create or delete files in folder (an empty folder is the current one).
  virtual TFolderAccess OthersMayWriteFolder(const std::string& folder) = 0;

  // The common application data folder (SHGetFolderPathA with
  // CSIDL_COMMON_APPDATA: C:\ProgramData), without a closing backslash; empty
  // when the system does not say.
  virtual std::string CommonDataFolder() = 0;
  // Makes the folder at path (with or without its closing backslash), or takes
  // over the one already there, so that only SYSTEM and the Administrators may
  // change what it holds, and Users may read it when usersRead is set: the
  // Administrators own it and its list inherits nothing. A folder someone else
  // made is taken over with the privileges Windows asks for to give it another
  // owner, the owner first and then the list. False when it cannot be made or
  // taken over, or when it is a link or reparse point (a user may have planted
  // one where the folder was to be).
  virtual bool CreatePrivateFolder(const std::string& path, bool usersRead) = 0;

  // GetLocaleInfoA(locale, type): the text without its terminating zero; empty
  // when the locale does not answer.
  virtual std::string ReadLocaleInfo(uint32_t locale, uint32_t type) = 0;
};

// The platform's implementation: the Win32 and C runtime calls on Windows; in
// the native build real files, with the attributes kept in an extended attribute
// and a fixed locale.
TLogPlatform& PlatformLogFiles();
