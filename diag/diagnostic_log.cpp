#include "diag/diagnostic_log.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "common/debug_level.h"
#include "common/owned.h"
#include "diag/log_trim.h"
#include "diag/messages.h"
#include "diag/whole_file.h"

namespace {

// Closing through the owner is for early exits only: paths that care whether
// the close succeeded close explicitly.
using TLogStream = TOwned<TLogPlatform, &TLogPlatform::CloseStream>;

// Lines go to the stream in batches of about this size: few calls, bounded memory.
constexpr size_t kWriteBatch = 64 * 1024;

// "%s" semantics: a text ends at a zero byte. One in the file would also end
// the text that the trim reads, and with it every later line.
size_t TextLength(const std::string& text) { return std::min(text.size(), text.find('\0')); }

}  // namespace

TDiagnosticLog::TDiagnosticLog(TLogPlatform& platform, TClock& clock) : Platform(platform), Clock(clock) {}

void TDiagnosticLog::Log(const std::string& message) {
  const TDateTime now = Clock.LocalNow();
  if (!Formats) Formats = ReadLocaleFormats(Platform, kLocaleUserDefault);
  const std::string stamp = FormatTimestamp(now, *Formats);
  std::string line = "[ " + stamp + " ] ";
  line.append(message, 0, TextLength(message));
  if (LogLines.Count() >= kLogLinesCap) DropOldestLines(stamp);
  LogLines.Add(std::move(line));
}

void TDiagnosticLog::DropOldestLines(const std::string& stamp) {
  std::vector<std::string>& items = LogLines.Items();
  // The marker is only ours while it still heads the buffer: a flush or the
  // stop handler may have emptied the list since the last drop.
  const bool marked = DroppedLines > 0 && !items.empty() && items.front() == DropMarker;
  if (!marked) DroppedLines = 0;
  const size_t first = marked ? 1 : 0;
  const size_t count = std::min(static_cast<size_t>(kLogLinesDropBatch), items.size() - first);
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(first),
              items.begin() + static_cast<std::ptrdiff_t>(first + count));
  DroppedLines += static_cast<int64_t>(count);
  DropMarker = "[ " + stamp + " ] " + kMsgLogLinesDropped + std::to_string(DroppedLines);
  if (marked) {
    items.front() = DropMarker;
  } else {
    items.insert(items.begin(), DropMarker);
  }
}

void TDiagnosticLog::FlushLog(int32_t debugLevel, const std::string& folder) {
  // At level 0 the lines wait for a level that writes them (or for the stop).
  if (debugLevel == 0) return;
  (void)AppendLinesToFile(LogLines, folder, kLogFileName);
}

bool TDiagnosticLog::AppendLinesToFile(TStringList& lines, const std::string& folder, const std::string& fileName) {
  if (fileName.empty()) return false;
  if (lines.Empty()) return true;
  const std::string path = folder + fileName;
  // Text mode: every "\n" reaches a Windows file as CR LF.
  bool linked = false;
  TLogStream file(Platform, Platform.OpenStream(path, "a+", linked));
  if (!file) {
    // Kept like the lines for a locked file: the administrator is told and can
    // remove the link, and nothing is written through it meanwhile.
    if (linked) RefusedLink = path;
    return false;
  }
  // Where this batch begins. A batch that fails is cut off again here, so that
  // the next flush, which writes the kept lines once more, leaves each line in
  // the file once.
  const int64_t start = Platform.SeekStream(file.Get(), 0, SEEK_END);

  bool written = true;
  std::string batch;
  for (const std::string& line : lines) {
    batch.append(line, 0, TextLength(line));
    batch += '\n';
    if (batch.size() >= kWriteBatch) {
      written = Platform.WriteStream(file.Get(), batch.data(), batch.size());
      batch.clear();
      if (!written) break;
    }
  }
  if (written && !batch.empty()) written = Platform.WriteStream(file.Get(), batch.data(), batch.size());
  // A full disk often shows only here, when the stream's buffer is written out.
  const bool closed = Platform.CloseStream(file.Release());
  const bool complete = written && closed;
  if (!complete && start >= 0) (void)Platform.TruncateFile(path, start);
  // Only now: every write that reaches a file on Windows, the buffer's last
  // bytes at the close and the rollback's cut included, sets its archive bit.
  HideClosedFile(path);
  if (!complete) return false;
  lines.Clear();
  return true;
}

void TDiagnosticLog::TrimLogFile(int32_t debugLevel, const std::string& folder) {
  (void)TrimFile(debugLevel, folder, kLogFileName);
}

bool TDiagnosticLog::TrimFile(int32_t debugLevel, const std::string& folder, const std::string& fileName) {
  const std::string path = folder + fileName;
  // Binary: the split must see every CR and LF as the file holds them, and the
  // C runtime's text mode would end the text early at a Ctrl+Z byte.
  bool linked = false;
  TLogStream log(Platform, Platform.OpenStream(path, "rb", linked));
  if (!log) {
    if (linked) {
      RefusedLink = path;
      LogTrimFailure(debugLevel, kMsgTrimRefusedLink + path);
    }
    return false;
  }
  const int64_t size = Platform.SeekStream(log.Get(), 0, SEEK_END);
  if (size < 0) return false;
  if (size < kTrimLimit) return true;
  if (Platform.SeekStream(log.Get(), 0, SEEK_SET) != 0) return false;

  // The kept lines go to a new file first: the log is replaced only by a
  // complete copy, so no failure on the way can lose it. The copy's name is new
  // each time and the file is created exclusively, so nothing planted under a
  // name known in advance can receive the copy or stop the trim.
  // In the log's folder, where the move cannot fail for crossing volumes.
  const std::string newPath = folder + UnguessableFileName();
  TLogStream out(Platform, Platform.OpenStream(newPath, "w", linked));
  if (!out) {
    LogTrimFailure(debugLevel, kMsgTrimNoNewFile + newPath);
    return true;
  }
  bool complete = WriteKeptLines(log.Get(), out.Get(), size - kTrimLimit);
  ApplyHiddenRule(newPath);  // not to be seen while it stands beside the log
  complete = Platform.CloseStream(out.Release()) && complete;
  log.Reset();  // Windows does not replace a file that is still open
  if (!complete) {
    (void)Platform.RemoveFile(newPath);
    LogTrimFailure(debugLevel, kMsgTrimCopyFailed + newPath);
    return true;
  }
  // The move replaces whatever the log's name holds by then, a link included,
  // without following it.
  if (!Platform.RenameFile(newPath, path, kMoveFileReplaceExisting)) {
    (void)Platform.RemoveFile(newPath);
    LogTrimFailure(debugLevel, kMsgTrimNotReplaced + newPath);
    return true;
  }
  // The copy's close set the archive bit again after it was hidden.
  HideClosedFile(path);
  return true;
}

void TDiagnosticLog::LogTrimFailure(int32_t debugLevel, const std::string& reason) {
  if (LevelAdmits(debugLevel, 1)) Log(reason);
}

std::string TDiagnosticLog::TakeRefusedLink() { return std::exchange(RefusedLink, std::string()); }

bool TDiagnosticLog::WriteKeptLines(uintptr_t log, uintptr_t out, int64_t excess) {
  TLogTrimmer trimmer(excess);
  std::vector<char> chunk(kTrimChunkSize);
  std::string kept;
  kept.reserve(kTrimChunkSize + 1);
  for (;;) {
    const int64_t got = Platform.ReadStream(log, chunk.data(), chunk.size());
    if (got < 0) return false;
    if (got == 0) break;
    kept.clear();
    const bool more = trimmer.Feed(chunk.data(), static_cast<size_t>(got), kept);
    if (!kept.empty() && !Platform.WriteStream(out, kept.data(), kept.size())) return false;
    if (!more) break;
  }
  kept.clear();
  trimmer.Finish(kept);
  return kept.empty() || Platform.WriteStream(out, kept.data(), kept.size());
}

void TDiagnosticLog::ApplyHiddenRule(const std::string& path) {
  const uint32_t attributes = Platform.ReadAttributes(path);
  if (attributes == kInvalidFileAttributes || attributes == kFileAttributeHidden) return;
  (void)Platform.WriteAttributes(path, kFileAttributeHidden);
}

void TDiagnosticLog::HideClosedFile(const std::string& path) {
  // Reading sets no attribute, and while this stream is open nobody can swap a
  // link in under the path before the attributes are set.
  bool linked = false;
  TLogStream held(Platform, Platform.OpenStream(path, "rb", linked));
  if (!held) {
    if (linked) RefusedLink = path;
    return;
  }
  ApplyHiddenRule(path);
}
