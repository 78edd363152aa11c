#pragma once
// The diagnostic log: stamped lines buffered in LogLines, appended to
// folder + "debug_free.log" by FlushLog, the file cut back to about 1 MiB by
// TrimLogFile. The level and the folder are the caller's, handed in with each
// call. Not thread-safe: the module's lock serialises its callers.
//
// Faults of the file never cost the log: a flush that fails keeps its lines
// (and takes back whatever part of them reached the file), and the trim writes
// the kept lines to a new file that replaces the log only once it is complete.
// Every flush and every trim leaves the log hidden alone (its attributes are
// exactly hidden) unless its attributes cannot be read or set.

#include <cstdint>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/string_list.h"
#include "diag/log_platform.h"
#include "diag/timestamp.h"
#include "diag/whole_file.h"

inline constexpr char kLogFileName[] = "debug_free.log";
// The trim's new file, beside the log until it replaces it, has an unguessable
// name (diag/whole_file.h) no longer than the log's own, so that a folder whose
// path leaves room for the log leaves room for the copy (see kMaxPathLength).
static_assert(kTrimFileNameLength <= sizeof kLogFileName - 1, "the copy's path must fit wherever the log's does");
inline constexpr int64_t kTrimLimit = 0x100000;  // bytes

class TDiagnosticLog {
 public:
  // LogLines never holds more lines than this (a log file that can never be
  // opened would otherwise grow the buffer until the service stops). Past it the
  // oldest lines go, kLogLinesDropBatch at a time, and the first line says how
  // many went.
  static constexpr int kLogLinesCap = 100000;
  static constexpr int kLogLinesDropBatch = 1000;
  // The pieces in which the trim reads the log.
  static constexpr size_t kTrimChunkSize = 64 * 1024;

  TDiagnosticLog(TLogPlatform& platform, TClock& clock);

  // Stamped lines not yet written, oldest first.
  TStringList LogLines;

  // Stamps the message with the local time in the user-default locale's formats
  // (read at the first call) and appends "[ stamp ] message" to LogLines. Like
  // "%s", the message ends at a zero byte; nothing else is ever cut.
  void Log(const std::string& message);
  // AppendLinesToFile(LogLines, folder, "debug_free.log") unless debugLevel is 0.
  void FlushLog(int32_t debugLevel, const std::string& folder);
  // Appends lines to folder + fileName and empties lines. False when fileName
  // is empty, the file cannot be opened or is refused as a link, or a write or
  // the close fails; lines then keeps every entry and the file is cut back to
  // its former size, so the next flush writes each line once. True, without
  // touching the file, when lines is empty.
  bool AppendLinesToFile(TStringList& lines, const std::string& folder, const std::string& fileName);
  // TrimFile(debugLevel, folder, kLogFileName); runs whatever the level.
  void TrimLogFile(int32_t debugLevel, const std::string& folder);
  // Cuts folder + fileName back below kTrimLimit when it has reached it. False
  // when the file cannot be opened or measured (the trim is skipped); true
  // otherwise, also when the log had to stay as it was because the new file
  // could not be created, written or put in its place. Each of those, and a log
  // refused as a link, is logged at level 1 with the reason.
  bool TrimFile(int32_t debugLevel, const std::string& folder, const std::string& fileName);

  // The path of a file refused as a link since the last call, or empty; the
  // caller reports it where an administrator looks.
  std::string TakeRefusedLink();

 private:
  void DropOldestLines(const std::string& stamp);
  bool WriteKeptLines(uintptr_t log, uintptr_t out, int64_t excess);
  void LogTrimFailure(int32_t debugLevel, const std::string& reason);
  // Hidden rule: readable attributes other than hidden alone become hidden
  // alone. The caller holds the file open, so path names the file it checked.
  void ApplyHiddenRule(const std::string& path);
  // The hidden rule for a file whose writing stream is closed, so no buffered
  // byte can reach it later; held open for reading meanwhile. A file that
  // cannot be held is left as it is (and a link is noted in RefusedLink).
  void HideClosedFile(const std::string& path);

  TLogPlatform& Platform;
  TClock& Clock;
  std::optional<TLocaleFormats> Formats;
  int64_t DroppedLines = 0;
  std::string DropMarker;  // LogLines[0] while it reports DroppedLines
  std::string RefusedLink;
};
