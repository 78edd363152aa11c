#pragma once
// An in-memory file system and locale behind the diagnostic log. It records
// every call with its arguments and fails on demand: a file that will not open,
// a disk that fills up, a read, close, truncate, rename or attribute call that
// fails. Like Windows, it refuses to write to a read-only file and to replace or
// delete one, takes no path longer than kMaxPathLength, and sets a file's
// archive bit with every write that reaches it: each write, the close of a
// stream that wrote (when the C runtime's buffer reaches the file) and a
// truncation. Like the real platforms, it refuses links and creates "w" files
// exclusively.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "diag/log_platform.h"

class TFakeLogPlatform : public TLogPlatform {
 public:
  struct TFile {
    std::string Data;
    uint32_t Attributes = kFileAttributeArchive;
  };

  TFakeLogPlatform() {
    Locale = {{kLocaleShortDate, "dd.MM.yyyy"}, {kLocaleTimeSeparator, ":"}, {kLocaleTwentyFourHour, "1"},
              {kLocaleHourLeadingZero, "1"},    {kLocaleAmDesignator, "AM"},  {kLocalePmDesignator, "PM"},
              {kLocaleDesignatorFirst, "0"}};
  }

  // The files, by path as the log names them.
  std::map<std::string, TFile> Files;
  // Answers of GetLocaleInfoA for the user-default locale, by type.
  std::map<uint32_t, std::string> Locale;
  std::vector<std::string> Calls;

  // Paths that are links, or files with more than one name: never opened.
  std::set<std::string> Linked;
  // Paths that are folders: nothing can be created there.
  std::set<std::string> Folders;
  TFolderAccess FolderAccess = TFolderAccess::OnlyAdministrators;
  std::string DataFolder = "C:\\ProgramData";
  bool FailCreateFolder = false;

  // Failures on demand.
  std::function<bool(const std::string& path, const std::string& mode)> FailOpen;
  int64_t DiskSpace = -1;  // bytes all files may hold together; -1: no limit
  bool FailClose = false;
  int64_t FailReadAfter = -1;  // a read error once this many bytes were read
  bool FailSeek = false;
  bool FailTruncate = false;
  bool FailRename = false;
  // Files another program holds open without sharing their deletion: nothing
  // can take their place (MoveFileEx fails with access denied).
  std::set<std::string> HeldOpen;
  bool FailReadAttributes = false;
  bool FailWriteAttributes = false;

  int OpenStreams() const { return static_cast<int>(Streams.size()); }
  bool Exists(const std::string& path) const { return Files.count(path) != 0; }
  const std::string& Data(const std::string& path) { return Files[path].Data; }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& call : Calls) n += call.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  uintptr_t OpenStream(const std::string& path, const char* mode, bool& linked) override {
    const std::string m = mode;
    Calls.push_back("open " + path + " " + m);
    linked = Linked.count(path) != 0;
    if (linked || (FailOpen && FailOpen(path, m)) || path.size() > kMaxPathLength) return 0;
    const bool reading = m[0] == 'r';
    auto file = Files.find(path);
    if (reading && file == Files.end()) return 0;
    if (m[0] == 'w' && (file != Files.end() || Folders.count(path) != 0)) return 0;  // created exclusively
    if (!reading && file != Files.end() && (file->second.Attributes & kFileAttributeReadOnly) != 0) return 0;
    if (m[0] != 'r') Files[path];
    const uintptr_t handle = NextHandle++;
    Streams[handle] = TStream{path, m[0] == 'a', 0, 0, false};
    return handle;
  }

  int64_t ReadStream(uintptr_t stream, char* buffer, size_t size) override {
    TStream& s = Streams.at(stream);
    const std::string& data = Files[s.Path].Data;
    if (FailReadAfter >= 0 && s.ReadSoFar >= FailReadAfter) return -1;
    size_t n = s.Position < data.size() ? std::min(size, data.size() - s.Position) : 0;
    if (FailReadAfter >= 0) n = std::min<size_t>(n, static_cast<size_t>(FailReadAfter - s.ReadSoFar));
    if (n > 0) std::memcpy(buffer, data.data() + s.Position, n);
    s.Position += n;
    s.ReadSoFar += static_cast<int64_t>(n);
    return static_cast<int64_t>(n);
  }

  bool WriteStream(uintptr_t stream, const char* data, size_t size) override {
    TStream& s = Streams.at(stream);
    Calls.push_back("write " + s.Path + " " + std::to_string(size));
    Files[s.Path].Attributes |= kFileAttributeArchive;
    s.Wrote = true;
    std::string& file = Files[s.Path].Data;
    size_t n = size;
    if (DiskSpace >= 0) n = std::min<size_t>(size, static_cast<size_t>(std::max<int64_t>(0, DiskSpace - UsedSpace())));
    if (s.Append) s.Position = file.size();
    if (file.size() < s.Position + n) file.resize(s.Position + n);
    file.replace(s.Position, n, data, n);
    s.Position += n;
    return n == size;
  }

  int64_t SeekStream(uintptr_t stream, int64_t offset, int origin) override {
    TStream& s = Streams.at(stream);
    if (FailSeek) return -1;
    const int64_t base = origin == SEEK_END ? static_cast<int64_t>(Files[s.Path].Data.size()) : 0;
    s.Position = static_cast<size_t>(base + offset);
    return base + offset;
  }

  bool CloseStream(uintptr_t stream) override {
    const TStream& s = Streams.at(stream);
    Calls.push_back("close " + s.Path);
    auto file = Files.find(s.Path);
    if (s.Wrote && file != Files.end()) file->second.Attributes |= kFileAttributeArchive;
    Streams.erase(stream);
    return !FailClose;
  }

  bool TruncateFile(const std::string& path, int64_t size) override {
    Calls.push_back("truncate " + path + " " + std::to_string(size));
    auto file = Files.find(path);
    if (FailTruncate || file == Files.end() || Linked.count(path) != 0) return false;
    file->second.Data.resize(static_cast<size_t>(size));
    file->second.Attributes |= kFileAttributeArchive;
    return true;
  }

  bool RenameFile(const std::string& from, const std::string& to, uint32_t flags) override {
    Calls.push_back("rename " + from + " " + to + " " + std::to_string(flags));
    auto source = Files.find(from);
    auto target = Files.find(to);
    if (FailRename || source == Files.end() || to.size() > kMaxPathLength) return false;
    if (target != Files.end()) {
      if ((flags & kMoveFileReplaceExisting) == 0 || HeldOpen.count(to) != 0) return false;
      if ((target->second.Attributes & kFileAttributeReadOnly) != 0) return false;
    }
    TFile moved = source->second;
    Files.erase(source);
    Files[to] = moved;
    return true;
  }

  bool RemoveFile(const std::string& path) override {
    Calls.push_back("remove " + path);
    auto file = Files.find(path);
    if (file == Files.end() || (file->second.Attributes & kFileAttributeReadOnly) != 0) return false;
    Files.erase(file);
    return true;
  }

  uint32_t ReadAttributes(const std::string& path) override {
    Calls.push_back("attributes? " + path);
    if (!FailReadAttributes && (Folders.count(path) != 0 || Folders.count(path + "\\") != 0))
      return kFileAttributeDirectory;
    auto file = Files.find(path);
    if (FailReadAttributes || file == Files.end()) return kInvalidFileAttributes;
    return file->second.Attributes;
  }

  bool WriteAttributes(const std::string& path, uint32_t attributes) override {
    Calls.push_back("attributes= " + path + " " + std::to_string(attributes));
    auto file = Files.find(path);
    if (FailWriteAttributes || file == Files.end()) return false;
    file->second.Attributes = attributes;
    return true;
  }

  TFolderAccess OthersMayWriteFolder(const std::string& folder) override {
    Calls.push_back("folder access " + folder);
    return FolderAccess;
  }

  std::string CommonDataFolder() override { return DataFolder; }

  bool CreatePrivateFolder(const std::string& path, bool usersRead) override {
    Calls.push_back((usersRead ? "private folder " : "private folder, users not reading ") + path);
    if (FailCreateFolder) return false;
    Folders.insert(path);
    return true;
  }

  std::string ReadLocaleInfo(uint32_t locale, uint32_t type) override {
    Calls.push_back("locale " + std::to_string(locale) + " " + std::to_string(type));
    if (locale != kLocaleUserDefault) return std::string();
    auto value = Locale.find(type);
    return value == Locale.end() ? std::string() : value->second;
  }

 private:
  struct TStream {
    std::string Path;
    bool Append;
    size_t Position;
    int64_t ReadSoFar;
    bool Wrote;
  };
  int64_t UsedSpace() const {
    int64_t used = 0;
    for (const auto& file : Files) used += static_cast<int64_t>(file.second.Data.size());
    return used;
  }
  std::map<uintptr_t, TStream> Streams;
  uintptr_t NextHandle = 1;
};
