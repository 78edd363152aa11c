#include "diag/log_trim.h"

namespace {
bool IsSpecial(char c) { return c == '\r' || c == '\n' || c == '\0'; }
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
    size_t end = i + 1;
    while (end < size && !IsSpecial(data[end])) ++end;
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
