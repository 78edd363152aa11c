#pragma once
// The trim rule as a plain whole-file algorithm, for checking the streamed trim:
// the text ends at its first zero byte and splits into lines at CR LF, a lone CR
// and a lone LF; whole first lines go while the dropped lengths (breaks not
// counted) sum below the excess; each kept line is written followed by "\n".

#include <cstdint>
#include <string>
#include <vector>

inline std::string ReferenceKept(const std::string& file, int64_t excess) {
  const std::string text = file.substr(0, file.find('\0'));
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    lines.push_back(text.substr(start, i - start));
    if (i < text.size()) i += text.compare(i, 2, "\r\n") == 0 ? 2 : 1;
  }
  int64_t sum = 0;
  size_t first = 0;
  while (sum < excess && first < lines.size()) sum += static_cast<int64_t>(lines[first++].size());
  std::string kept;
  for (size_t k = first; k < lines.size(); ++k) kept += lines[k] + "\n";
  return kept;
}
