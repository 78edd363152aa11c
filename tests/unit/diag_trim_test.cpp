// The streamed trim against a plain reference of the whole-file rule: load the
// whole text, split it into lines, drop first lines, write the rest.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "winsys/configuration.h"
#include "diag/diagnostic_log.h"
#include "diag/log_trim.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_log_platform.h"
#include "tests/fakes/trim_reference.h"

namespace {

// Text made of short and long lines with every kind of break, now and then a zero byte.
std::string RandomText(std::mt19937& random, size_t size, bool withZero) {
  static const char pieces[] = "ab\r\n";
  std::string text;
  std::uniform_int_distribution<int> pick(0, 99);
  while (text.size() < size) {
    const int p = pick(random);
    if (p < 3) {
      text.append(static_cast<size_t>(pick(random)) * 40, 'L');  // a long line
    } else if (p < 70) {
      text += pieces[p % 2];
    } else if (p == 70 && withZero) {
      text += '\0';
    } else {
      text += pieces[2 + p % 2];
    }
  }
  text.resize(size);
  return text;
}

std::string Streamed(const std::string& file, int64_t excess, std::mt19937& random, size_t maxChunk) {
  TLogTrimmer trimmer(excess);
  std::string out;
  std::uniform_int_distribution<size_t> chunk(1, maxChunk);
  for (size_t at = 0; at < file.size();) {
    const size_t n = std::min(chunk(random), file.size() - at);
    std::string piece;
    const bool more = trimmer.Feed(file.data() + at, n, piece);
    EXPECT_LE(piece.size(), n + 1) << "the output of a piece is bounded by the piece";
    out += piece;
    at += n;
    if (!more) break;
  }
  trimmer.Finish(out);
  return out;
}

TEST(LogTrimmerTest, SplitsAtEveryKindOfBreakAndEndsAtTheFirstZeroByte) {
  const struct {
    std::string File;
    int64_t Excess;
    std::string Kept;
  } cases[] = {
      {"a\r\nb\rc\nd\n\re", 0, "a\nb\nc\nd\n\ne\n"},  // LF CR is two breaks
      {"a\r\r\nb", 0, "a\n\nb\n"},
      {std::string("a\nb\0c\nd\n", 8), 0, "a\nb\n"},
      {std::string("\0a\n", 3), 0, ""},
      {"", 5, ""},
      {"\n\n\n", 1, ""},                  // empty lines add nothing: all go
      {"12345\nxy\nz", 5, "xy\nz\n"},       // the sum reaches the excess exactly
      {"12345\nxy\nz", 6, "z\n"},           // one character more: the next line goes too
      {"1234567890\nk", 1, "k\n"},          // a line is dropped whole
  };
  std::mt19937 random(7);
  for (const auto& c : cases) {
    EXPECT_EQ(ReferenceKept(c.File, c.Excess), c.Kept) << "reference: " << c.File;
    for (size_t maxChunk : {1, 2, 3, 100}) EXPECT_EQ(Streamed(c.File, c.Excess, random, maxChunk), c.Kept);
  }
}

TEST(LogTrimmerTest, AgreesWithTheWholeFileRuleOnRandomTextsAndPieces) {
  std::mt19937 random(20261206);
  for (int round = 0; round < 3000; ++round) {
    const size_t size = std::uniform_int_distribution<size_t>(0, 2000)(random);
    const std::string file = RandomText(random, size, round % 4 == 0);
    const int64_t excess = std::uniform_int_distribution<int64_t>(0, static_cast<int64_t>(size))(random);
    const size_t maxChunk = round % 2 == 0 ? 7 : 600;
    ASSERT_EQ(Streamed(file, excess, random, maxChunk), ReferenceKept(file, excess))
        << "round " << round << " excess " << excess;
  }
}

TEST(LogTrimmerTest, TrimFileAgreesWithTheWholeFileRuleOnRandomLogs) {
  std::mt19937 random(4242);
  for (int round = 0; round < 24; ++round) {
    TConfiguration state;
    TFakeLogPlatform files;
    TFakeClock clock;
    TDiagnosticLog log(files, clock);
    const size_t size = static_cast<size_t>(kTrimLimit) + std::uniform_int_distribution<size_t>(0, 300000)(random);
    const std::string file = RandomText(random, size, round % 6 == 5);
    files.Files[kLogFileName].Data = file;
    log.TrimLogFile(state.DebugLevel, state.AppPath);
    ASSERT_EQ(files.Data(kLogFileName), ReferenceKept(file, static_cast<int64_t>(size) - kTrimLimit))
        << "round " << round;
  }
}

}  // namespace
