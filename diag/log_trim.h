#pragma once
// The trim's line filter, fed the log file piece by piece so that a log of any
// size is cut in a fixed amount of memory. Its output is the text the
// whole-file rule writes: the text ends at the first zero byte; it splits into
// lines at CR LF, a lone CR and a lone LF (LF CR is two breaks); whole first
// lines are dropped while the sum of the dropped lines' lengths (breaks not
// counted) is below the excess; every kept line is written followed by "\n".

#include <cstddef>
#include <cstdint>
#include <string>

class TLogTrimmer {
 public:
  explicit TLogTrimmer(int64_t excess) : Excess(excess) {}

  // Appends to out what the next size bytes of the file keep: at most one byte
  // per byte fed. Returns false once the text has ended at a zero byte; any
  // later bytes are ignored.
  bool Feed(const char* data, size_t size, std::string& out);
  // The end of the file: a last line without a break gains one.
  void Finish(std::string& out);

  int64_t DroppedLines() const { return Dropped; }

 private:
  void StartLine();
  void EndText(std::string& out);

  const int64_t Excess;
  int64_t Sum = 0;
  int64_t Dropped = 0;
  bool InLine = false;        // a line has begun and its break is still to come
  bool DroppingLine = false;  // the current line is one of those dropped
  bool AfterCr = false;       // the last byte was a CR: an LF now belongs to it
  bool Ended = false;
};
