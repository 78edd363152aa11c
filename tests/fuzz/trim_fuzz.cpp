// The streamed trim against the whole-file rule it replaces: for any text, any
// excess and any way of cutting the file into pieces, both keep the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "diag/log_trim.h"
#include "tests/fakes/trim_reference.h"

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
  if (streamed != ReferenceKept(file, excess)) abort();
  return 0;
}
