// The streamed trim against the whole-file rule it replaces: for any text, any
// excess and any way of cutting the file into pieces, both keep the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "diag/log_trim.h"

namespace {

// The rule as a whole-file algorithm: the text ends at its first zero byte, splits
// at CR LF, lone CR and lone LF; whole first lines go while the dropped lengths
// sum below the excess; each kept line is written with "\n".
std::string WholeFileTrim(const std::string& file, int64_t excess) {
  const std::string text = file.substr(0, file.find('\0'));
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = i;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(i, end - i));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    i = end + 1;
  }
  size_t first = 0;
  int64_t sum = 0;
  while (sum < excess && first < lines.size()) sum += static_cast<int64_t>(lines[first++].size());
  std::string out;
  for (size_t k = first; k < lines.size(); ++k) out += lines[k] + "\n";
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int64_t excess = static_cast<int64_t>(data[0] | (data[1] << 8)) - 16;
  const size_t piece = 1 + data[2] % 17;
  const std::string file(reinterpret_cast<const char*>(data + 3), size - 3);

  TLogTrimmer trimmer(excess);
  std::string streamed;
  for (size_t at = 0; at < file.size(); at += piece) {
    if (!trimmer.Feed(file.data() + at, std::min(piece, file.size() - at), streamed)) break;
  }
  trimmer.Finish(streamed);
  if (streamed != WholeFileTrim(file, excess)) abort();
  return 0;
}
