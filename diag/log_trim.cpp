#include "diag/log_trim.h"

#include <cstring>

namespace {
// The end of the run of ordinary characters that starts at begin: the first
// LF, CR or zero byte, or end. memchr is far faster than a loop over bytes,
// and a log of hundreds of megabytes is mostly such runs.
const char* RunEnd(const char* begin, const char* end) {
  const void* lf = std::memchr(begin, '\n', static_cast<size_t>(end - begin));
  if (lf != nullptr) end = static_cast<const char*>(lf);
  const void* cr = std::memchr(begin, '\r', static_cast<size_t>(end - begin));
  if (cr != nullptr) end = static_cast<const char*>(cr);
  const void* zero = std::memchr(begin, '\0', static_cast<size_t>(end - begin));
  return zero != nullptr ? static_cast<const char*>(zero) : end;
}
}  // namespace

void TLogTrimmer::StartLine() {
  InLine = true;
  // The decision falls before the line's length is known: a line is dropped
  // whole, however long, when the lines before it have not reached the excess.
  DroppingLine = Sum < Excess;
  if (DroppingLine) ++Dropped;
}

bool TLogTrimmer::Feed(const char* data, size_t size, std::string& out) {
  size_t i = 0;
  while (i < size && !Ended) {
    const char c = data[i];
    if (AfterCr) {
      AfterCr = false;
      if (c == '\n') {
        ++i;
        continue;
      }
    }
    if (c == '\0') {
      EndText(out);
      break;
    }
    if (!InLine) StartLine();
    if (c == '\r' || c == '\n') {
      if (!DroppingLine) out += '\n';
      InLine = false;
      AfterCr = c == '\r';
      ++i;
      continue;
    }
    // A run of ordinary characters is taken in one piece.
    const size_t end = static_cast<size_t>(RunEnd(data + i, data + size) - data);
    if (DroppingLine) {
      Sum += static_cast<int64_t>(end - i);
    } else {
      out.append(data + i, end - i);
    }
    i = end;
  }
  return !Ended;
}

void TLogTrimmer::Finish(std::string& out) {
  if (!Ended) EndText(out);
}

void TLogTrimmer::EndText(std::string& out) {
  if (InLine && !DroppingLine) out += '\n';
  InLine = false;
  Ended = true;
}
