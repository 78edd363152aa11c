// The log's buffer, flush and trim against the in-memory file system, where
// every failure can be injected and every call is recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>

#include "winsys/configuration.h"
#include "diag/diagnostic_log.h"
#include "diag/messages.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_log_platform.h"

namespace {

const std::string kStamp = "[ 06.12.2026 11:06:27 ] ";
const std::string kLog = std::string("logs\\") + kLogFileName;
// The name the trim's copy has: "~" and 13 random base-32 digits, beside the log.
const std::regex kCopyName(R"(logs\\~[0-9a-v]{13})");

class DiagLogTest : public ::testing::Test {
 protected:
  DiagLogTest() {
    State.AppPath = "logs\\";
    Clock.Set(0, 11, 6, 27);  // Sunday 6 December 2026
  }
  std::vector<std::string> Lines() const { return Log.LogLines.Items(); }
  std::vector<std::string> Copies() const {
    std::vector<std::string> copies;
    for (const auto& file : Files.Files)
      if (std::regex_match(file.first, kCopyName)) copies.push_back(file.first);
    return copies;
  }
  // The copy's name as the trim opened it.
  std::string CopyOpened() const {
    for (const auto& call : Files.Calls)
      if (call.rfind("open ", 0) == 0 && call.size() > 7 && call.compare(call.size() - 2, 2, " w") == 0)
        return call.substr(5, call.size() - 7);
    return "";
  }
  void Buffer(std::initializer_list<const char*> lines) {
    for (const char* line : lines) Log.LogLines.Add(line);
  }
  TConfiguration State;
  TFakeLogPlatform Files;
  TFakeClock Clock;
  TDiagnosticLog Log{Files, Clock};
};

TEST_F(DiagLogTest, LogStampsEachLineWithoutCuttingIt) {
  const std::string longMessage(1000, 'r');
  Log.Log("Service started");
  Log.Log("");
  Log.Log(longMessage);
  Log.Log(std::string("user\0tail", 9));
  EXPECT_EQ(Lines(), (std::vector<std::string>{kStamp + "Service started", kStamp, kStamp + longMessage,
                                               kStamp + "user"}));
  EXPECT_EQ(Clock.Reads, 4);
  // The locale is asked once, not at every line.
  const int localeCalls = Files.Count("locale ");
  EXPECT_GT(localeCalls, 0);
  Log.Log("again");
  EXPECT_EQ(Files.Count("locale "), localeCalls);
  EXPECT_EQ(Files.Count("open"), 0) << "logging never touches the file";
}

TEST_F(DiagLogTest, BufferKeepsTheNewestLinesPastItsCapAndCountsTheDropped) {
  const int cap = TDiagnosticLog::kLogLinesCap;
  const int batch = TDiagnosticLog::kLogLinesDropBatch;
  for (int i = 0; i < cap; ++i) Log.Log(std::to_string(i));
  ASSERT_EQ(Log.LogLines.Count(), cap);
  Log.Log(std::to_string(cap));
  // The oldest batch went; the marker stands in its place.
  const std::string marker = kStamp + kMsgLogLinesDropped;
  EXPECT_EQ(Log.LogLines[0], marker + std::to_string(batch));
  EXPECT_EQ(Log.LogLines[1], kStamp + std::to_string(batch));
  EXPECT_EQ(Log.LogLines[Log.LogLines.Count() - 1], kStamp + std::to_string(cap));
  // The buffer is full again after batch - 2 more lines; the next one drops the second batch.
  for (int i = cap + 1; i < cap + batch; ++i) Log.Log(std::to_string(i));
  EXPECT_LE(Log.LogLines.Count(), cap);
  EXPECT_EQ(Log.LogLines[0], marker + std::to_string(2 * batch)) << "one marker, counting on";
  EXPECT_EQ(Log.LogLines[1], kStamp + std::to_string(2 * batch));
  // Once the buffer was written, a new overflow counts from zero again.
  EXPECT_TRUE(Log.AppendLinesToFile(Log.LogLines, State.AppPath, kLogFileName));
  for (int i = 0; i <= cap; ++i) Log.Log("x");
  EXPECT_EQ(Log.LogLines[0], marker + std::to_string(batch));
}

TEST_F(DiagLogTest, FlushAppendsEveryLineAndHidesTheFile) {
  Buffer({"one", "", "three"});
  Files.Files[kLog].Data = "old\r\n";
  State.DebugLevel = -1;  // any level but 0 writes
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Files.Data(kLog), "old\r\none\n\nthree\n");
  EXPECT_TRUE(Log.LogLines.Empty());
  EXPECT_EQ(Files.Calls.front(), "open " + kLog + " a+");
  EXPECT_EQ(Files.Count("attributes= " + kLog + " 2"), 1) << "archive becomes hidden alone";
  EXPECT_EQ(Files.OpenStreams(), 0);
}

TEST_F(DiagLogTest, FlushWritesNothingAtLevelZeroOrWithNothingBuffered) {
  State.DebugLevel = 0;
  Buffer({"kept"});
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Lines(), std::vector<std::string>{"kept"});
  State.DebugLevel = 2;
  Log.LogLines.Clear();
  Files.Files[kLog].Attributes = kFileAttributeArchive;
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_TRUE(Files.Calls.empty()) << "neither opened, created nor re-hidden";
  EXPECT_FALSE(Log.AppendLinesToFile(Log.LogLines, State.AppPath, "")) << "no file name";
}

// The fake sets the archive bit with every write, the close's included, as
// Windows does: whatever the log's attributes were, a flush leaves it hidden
// alone, unless they cannot be read or the file cannot be held while they are set.
TEST_F(DiagLogTest, EveryFlushLeavesTheLogHiddenAlone) {
  const uint32_t hidden = kFileAttributeHidden;
  const uint32_t archive = kFileAttributeArchive;
  const struct {
    const char* Name;
    std::optional<uint32_t> Before;  // none: the flush creates the log
    void (*Inject)(TFakeLogPlatform&);
    uint32_t After;
  } cases[] = {
      {"new log", std::nullopt, nullptr, hidden},
      {"archive", archive, nullptr, hidden},
      {"hidden alone", hidden, nullptr, hidden},
      {"hidden, system and archive", hidden | kFileAttributeSystem | archive, nullptr, hidden},
      {"attributes unreadable", kFileAttributeSystem, [](TFakeLogPlatform& f) { f.FailReadAttributes = true; },
       kFileAttributeSystem | archive},
      {"not to be held for reading", hidden,
       [](TFakeLogPlatform& f) { f.FailOpen = [](const std::string&, const std::string& mode) { return mode == "rb"; }; },
       hidden | archive},
  };
  for (const auto& c : cases) {
    TFakeLogPlatform files;
    TDiagnosticLog log{files, Clock};
    if (c.Before) files.Files[kLog].Attributes = *c.Before;
    if (c.Inject) c.Inject(files);
    log.LogLines.Add("line");
    EXPECT_TRUE(log.AppendLinesToFile(log.LogLines, State.AppPath, kLogFileName)) << c.Name;
    EXPECT_EQ(files.Files[kLog].Attributes, c.After) << c.Name;
  }
}

TEST_F(DiagLogTest, FailedOpenKeepsTheLinesForTheNextFlush) {
  Files.FailOpen = [](const std::string&, const std::string&) { return true; };
  Buffer({"first"});
  EXPECT_FALSE(Log.AppendLinesToFile(Log.LogLines, State.AppPath, kLogFileName));
  Buffer({"second"});
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(Files.Count("attributes"), 0);
  Files.FailOpen = nullptr;  // the folder is there again
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Files.Data(kLog), "first\nsecond\n");
}

struct TWriteFault {
  const char* Name;
  void (*Inject)(TFakeLogPlatform&);
};
void PrintTo(const TWriteFault& fault, std::ostream* out) { *out << fault.Name; }

class FlushFaultTest : public DiagLogTest, public ::testing::WithParamInterface<TWriteFault> {};

TEST_P(FlushFaultTest, FailedWriteIsReportedAndTakenBackSoTheRetryWritesEachLineOnce) {
  Files.Files[kLog].Data = "old\n";
  Buffer({"first line", "second line", "third line"});
  GetParam().Inject(Files);
  EXPECT_FALSE(Log.AppendLinesToFile(Log.LogLines, State.AppPath, kLogFileName));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"first line", "second line", "third line"}));
  EXPECT_EQ(Files.Data(kLog), "old\n") << "the part that reached the file was cut off again";
  EXPECT_EQ(Files.Count("truncate " + kLog + " 4"), 1);
  EXPECT_EQ(Files.Files[kLog].Attributes, kFileAttributeHidden) << "hidden after the cut too";
  EXPECT_EQ(Files.OpenStreams(), 0);
  Files.DiskSpace = -1;
  Files.FailClose = false;
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Files.Data(kLog), "old\nfirst line\nsecond line\nthird line\n");
  EXPECT_TRUE(Log.LogLines.Empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FlushFaultTest,
    ::testing::Values(TWriteFault{"DiskFullMidLine", [](TFakeLogPlatform& f) { f.DiskSpace = 10; }},
                      TWriteFault{"DiskFull", [](TFakeLogPlatform& f) { f.DiskSpace = 4; }},
                      TWriteFault{"CloseFails", [](TFakeLogPlatform& f) { f.FailClose = true; }}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(DiagLogTest, WhenEvenTheRollbackFailsTheLinesStayRatherThanBeLost) {
  Buffer({"first line"});
  Files.DiskSpace = 5;
  Files.FailTruncate = true;
  EXPECT_FALSE(Log.AppendLinesToFile(Log.LogLines, State.AppPath, kLogFileName));
  EXPECT_EQ(Lines(), std::vector<std::string>{"first line"});
}

// Trim: the log of a 1 MiB limit plus excess, lines of 99 characters and LF.
std::string LogOfLines(int count, char fill = 'x') {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(99, fill) + "\n";
  return text;
}

TEST_F(DiagLogTest, TrimBelowTheLimitTouchesNothing) {
  Files.Files[kLog].Data = std::string(kTrimLimit - 1, 'x');
  EXPECT_TRUE(Log.TrimFile(State.DebugLevel, State.AppPath, kLogFileName));
  EXPECT_EQ(Files.Calls, (std::vector<std::string>{"open " + kLog + " rb", "close " + kLog}));
  EXPECT_FALSE(Log.TrimFile(State.DebugLevel, State.AppPath, "absent.log")) << "a missing file is skipped";
}

TEST_F(DiagLogTest, TrimWritesANewFileThenReplacesTheLogAndHidesIt) {
  const std::string text = LogOfLines(10486, 'a') + "tail without break";  // 1048618 bytes
  ASSERT_GE(text.size(), static_cast<size_t>(kTrimLimit));
  Files.Files[kLog] = {text, kFileAttributeHidden};
  // What a restricted user may plant under the part of the copy's name known in advance.
  const std::string planted = std::string("logs\\") + kTrimFilePrefix;
  Files.Files[planted] = {"planted", kFileAttributeReadOnly};
  Files.Folders.insert(planted);
  State.DebugLevel = 0;  // the trim runs whatever the level
  Log.TrimLogFile(State.DebugLevel, State.AppPath);
  // 42 bytes of excess: the first line (99 characters) is dropped, nothing else.
  EXPECT_EQ(Files.Data(kLog), LogOfLines(10485, 'a') + "tail without break\n");
  EXPECT_EQ(Files.Files[kLog].Attributes, kFileAttributeHidden);
  EXPECT_EQ(Files.Data(planted), "planted");
  const std::string copy = CopyOpened();
  ASSERT_TRUE(std::regex_match(copy, kCopyName)) << copy;
  EXPECT_TRUE(Copies().empty());
  // The copy is hidden while it is still open, the log closed before it is replaced.
  const std::vector<std::string> order = {"open " + kLog + " rb", "open " + copy + " w",
                                          "attributes= " + copy + " 2", "close " + copy, "close " + kLog,
                                          "rename " + copy + " " + kLog + " 1"};
  size_t at = 0;
  for (const auto& call : Files.Calls)
    if (at < order.size() && call == order[at]) ++at;
  EXPECT_EQ(at, order.size()) << "calls out of order";
  EXPECT_EQ(Files.OpenStreams(), 0);

  Files.Files[kLog].Data = text;
  Log.TrimLogFile(State.DebugLevel, State.AppPath);
  EXPECT_NE(CopyOpened(), "") ;
  EXPECT_EQ(Files.Count("open " + copy + " w"), 1) << "each trim names its copy anew";
}

TEST_F(DiagLogTest, TrimFindsRoomForItsCopyBesideTheLongestLogPath) {
  const std::string folder = std::string(kMaxPathLength - (sizeof kLogFileName - 1) - 1, 'f') + "\\";
  const std::string log = folder + kLogFileName;
  ASSERT_EQ(log.size(), kMaxPathLength);
  Files.Files[log].Data = LogOfLines(11000);
  State.DebugLevel = 1;
  Log.TrimLogFile(State.DebugLevel, folder);
  EXPECT_TRUE(Files.Data(log) == LogOfLines(10480)) << "cut back like any log";
  EXPECT_EQ(Files.Files[log].Attributes, kFileAttributeHidden);
  EXPECT_TRUE(Lines().empty()) << "no failure to report";
  EXPECT_EQ(Files.Files.size(), 1u) << "no copy left beside the log";
}

TEST_F(DiagLogTest, ALinkedLogIsNeitherWrittenNorTrimmedAndIsNamedOnce) {
  Files.Files[kLog].Data = LogOfLines(11000);
  Files.Linked.insert(kLog);
  Buffer({"kept"});
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Lines(), std::vector<std::string>{"kept"}) << "kept as for a locked file";
  EXPECT_EQ(Log.TakeRefusedLink(), kLog);
  EXPECT_EQ(Log.TakeRefusedLink(), "");

  Log.LogLines.Clear();
  State.DebugLevel = 1;
  Log.TrimLogFile(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Lines(), std::vector<std::string>{
                         kStamp + "ERROR:Log file not trimmed, it is a link or has more than one name: " + kLog});
  EXPECT_EQ(Log.TakeRefusedLink(), kLog);
  EXPECT_EQ(Files.Count("write"), 0);
  EXPECT_EQ(Files.Count("attributes"), 0);
  EXPECT_EQ(Files.Count("truncate"), 0);
}

struct TTrimFault {
  const char* Name;
  void (*Inject)(TFakeLogPlatform&);
  const char* Reason;  // the level-1 line's text up to the copy's name; empty: skipped quietly
};
void PrintTo(const TTrimFault& fault, std::ostream* out) { *out << fault.Name; }

class TrimFaultTest : public DiagLogTest, public ::testing::WithParamInterface<TTrimFault> {};

TEST_P(TrimFaultTest, AFailedTrimLeavesTheLogAsItWasAndSaysWhy) {
  const std::string text = LogOfLines(11000);
  Files.Files[kLog] = {text, kFileAttributeHidden};
  GetParam().Inject(Files);
  State.DebugLevel = 1;
  Log.TrimLogFile(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Files.Data(kLog), text);
  EXPECT_EQ(Files.Files[kLog].Attributes & ~kFileAttributeReadOnly, kFileAttributeHidden);
  EXPECT_TRUE(Copies().empty()) << "no half-written copy is left behind";
  EXPECT_EQ(Files.OpenStreams(), 0);
  const std::string reason = GetParam().Reason;
  if (reason.empty()) {
    EXPECT_TRUE(Lines().empty());
  } else {
    EXPECT_EQ(Lines(), std::vector<std::string>{kStamp + reason + CopyOpened()});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TrimFaultTest,
    ::testing::Values(
        TTrimFault{"NewFileNotCreated",
                   [](TFakeLogPlatform& f) {
                     f.FailOpen = [](const std::string& path, const std::string&) {
                       return std::regex_match(path, kCopyName);
                     };
                   },
                   "ERROR:Log file not trimmed, the new file could not be created: "},
        TTrimFault{"DiskFull", [](TFakeLogPlatform& f) { f.DiskSpace = 1100000 + 500000; },
                   "ERROR:Log file not trimmed, reading the log or writing the new file failed: "},
        TTrimFault{"CloseFails", [](TFakeLogPlatform& f) { f.FailClose = true; },
                   "ERROR:Log file not trimmed, reading the log or writing the new file failed: "},
        TTrimFault{"ReadFails", [](TFakeLogPlatform& f) { f.FailReadAfter = 300000; },
                   "ERROR:Log file not trimmed, reading the log or writing the new file failed: "},
        TTrimFault{"SeekFails", [](TFakeLogPlatform& f) { f.FailSeek = true; }, ""},
        TTrimFault{"RenameFails", [](TFakeLogPlatform& f) { f.FailRename = true; },
                   "ERROR:Log file not trimmed, the new file could not take its place: "},
        TTrimFault{"ReadOnlyLog", [](TFakeLogPlatform& f) { f.Files[kLog].Attributes |= kFileAttributeReadOnly; },
                   "ERROR:Log file not trimmed, the new file could not take its place: "}),
    [](const auto& info) { return std::string(info.param.Name); });

// Which entries of a folder's list open it to others: only allowing entries
// that apply to the folder itself, grant a right to change its files, and name
// neither SYSTEM nor the Administrators.
TEST(FolderAccessTest, OnlyWritingEntriesOfOthersOpenAFolder) {
  const uint32_t read = 0x1200a9;     // read and execute
  const uint32_t addFile = 0x2;       // FILE_ADD_FILE
  const uint32_t deleteChild = 0x40;  // FILE_DELETE_CHILD
  const uint32_t genericAll = 0x10000000;
  const struct {
    const char* Name;
    std::vector<TAccessEntry> Entries;
    TFolderAccess Expected;
  } cases[] = {
      {"administrators only", {{true, false, genericAll, true}, {true, false, 0x1f01ff, true}},
       TFolderAccess::OnlyAdministrators},
      {"users may read", {{true, false, genericAll, true}, {true, false, read, false}}, TFolderAccess::OnlyAdministrators},
      {"users may add files", {{true, false, read | addFile, false}}, TFolderAccess::OthersMayWrite},
      {"users may delete files", {{true, false, deleteChild, false}}, TFolderAccess::OthersMayWrite},
      {"creator owner, inherit only", {{true, true, genericAll, false}}, TFolderAccess::OnlyAdministrators},
      {"a denying entry", {{false, false, genericAll, false}}, TFolderAccess::OnlyAdministrators},
      {"empty list", {}, TFolderAccess::OnlyAdministrators},
  };
  for (const auto& c : cases) EXPECT_EQ(JudgeFolderAccess(true, c.Entries), c.Expected) << c.Name;
  EXPECT_EQ(JudgeFolderAccess(false, {}), TFolderAccess::OthersMayWrite) << "no list at all";
}

TEST(FolderAccessTest, SystemAdministratorsAndTrustedInstallerAreAdministrative) {
  const std::string trustedInstaller = "S-1-5-80-956008885-3418522649-1831038044-1851738476-2681736969";
  const std::pair<std::string, bool> cases[] = {
      {"S-1-5-18", true},       // SYSTEM
      {"S-1-5-32-544", true},   // Administrators
      {trustedInstaller, true},
      {"S-1-5-32-545", false},  // Users
      {"S-1-5-18-1", false},
      {trustedInstaller.substr(0, trustedInstaller.size() - 1) + "8", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAdministrativeSid(c.first), c.second) << c.first;
}

}  // namespace

