// The log against real files in a fresh folder, and against a read-only mount
// and a nearly full file system where the machine lets the test mount them.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "winsys/configuration.h"
#include "diag/diagnostic_log.h"
#include "tests/fakes/fake_clock.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// prefix, then lines of 'f' each ended by LF, up to exactly size bytes.
std::string Filled(const std::string& prefix, size_t size) {
  std::string text = prefix;
  while (text.size() < size) {
    const size_t line = std::min<size_t>(100, size - text.size());
    text.append(line - 1, 'f');
    text += '\n';
  }
  return text;
}

class DiagFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/diag-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Folder = pattern;
    State.AppPath = Folder + "/";
    Clock.Set(0, 11, 6, 27);
  }
  void TearDown() override {
    for (auto it = Mounts.rbegin(); it != Mounts.rend(); ++it) umount2(it->c_str(), MNT_DETACH);
    std::system(("rm -rf '" + Folder + "'").c_str());
  }
  std::string LogPath() const { return State.AppPath + kLogFileName; }
  // Copies a trim left in the log's folder.
  int TrimCopies() const {
    int copies = 0;
    if (DIR* folder = opendir(State.AppPath.c_str())) {
      while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        copies += name.size() == kTrimFileNameLength && name.rfind(kTrimFilePrefix, 0) == 0 ? 1 : 0;
      }
      closedir(folder);
    }
    return copies;
  }
  // Mounts at folder/name; false (and the test is skipped) where mounting is not permitted.
  bool Mount(const std::string& name, const char* source, const char* type, unsigned long flags, const char* data) {
    const std::string target = Folder + "/" + name;
    mkdir(target.c_str(), 0755);
    if (mount(source, target.c_str(), type, flags, data) != 0) return false;
    Mounts.push_back(target);
    return true;
  }
  bool MountReadOnlyCopy(const std::string& source, const std::string& name) {
    const std::string target = Folder + "/" + name;
    if (!Mount(name, source.c_str(), nullptr, MS_BIND, nullptr)) return false;
    return mount(nullptr, target.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }

  std::string Folder;
  std::vector<std::string> Mounts;
  TConfiguration State;
  TLogPlatform& Files = PlatformLogFiles();
  TFakeClock Clock;
  TDiagnosticLog Log{Files, Clock};
};

TEST_F(DiagFilesTest, FlushAppendsStampedLinesAndHidesTheFile) {
  Log.Log("Service started");
  Log.Log("");
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(ReadAll(LogPath()), "[ 06.12.2026 11:06:27 ] Service started\n[ 06.12.2026 11:06:27 ] \n");
  EXPECT_EQ(Files.ReadAttributes(LogPath()), kFileAttributeHidden);
}

TEST_F(DiagFilesTest, MissingFolderKeepsTheLinesUntilItExists) {
  State.AppPath = Folder + "/later/";
  Log.Log("first");
  Log.FlushLog(State.DebugLevel, State.AppPath);
  Log.Log("second");
  EXPECT_FALSE(Log.AppendLinesToFile(Log.LogLines, State.AppPath, kLogFileName));
  EXPECT_EQ(Log.LogLines.Count(), 2);
  Log.TrimLogFile(State.DebugLevel, State.AppPath);  // nothing to trim: skipped quietly
  ASSERT_EQ(mkdir((Folder + "/later").c_str(), 0755), 0);
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(ReadAll(LogPath()), "[ 06.12.2026 11:06:27 ] first\n[ 06.12.2026 11:06:27 ] second\n");
}

TEST_F(DiagFilesTest, TrimFollowsTheRuleAtItsBoundaries) {
  const size_t limit = static_cast<size_t>(kTrimLimit);
  const struct {
    const char* Name;
    std::string File;
    std::optional<std::string> Kept;  // none: the file is untouched
  } cases[] = {
      {"one byte short: untouched", Filled("a\r\nb", limit - 1), std::nullopt},
      {"exactly the limit: nothing dropped, breaks normalised, trailing text ended",
       Filled("a\r\nb\rc\n\rd\n", limit - 3) + "end", "a\nb\nc\n\nd\n" + Filled("", limit - 3 - 10) + "end\n"},
      {"100 over with a first line of 150", Filled(std::string(150, 'x') + "\n", limit + 100),
       Filled("", limit + 100 - 151)},
      {"100 over with first lines of 60 and 50",
       Filled(std::string(60, 'x') + "\n" + std::string(50, 'y') + "\n", limit + 100), Filled("", limit + 100 - 112)},
      {"only empty lines", std::string(limit + 10, '\n'), ""},
  };
  for (const auto& c : cases) {
    WriteAll(LogPath(), c.File);
    ASSERT_TRUE(Files.WriteAttributes(LogPath(), kFileAttributeArchive));
    EXPECT_TRUE(Log.TrimFile(State.DebugLevel, State.AppPath, kLogFileName));
    if (!c.Kept) {
      EXPECT_TRUE(ReadAll(LogPath()) == c.File) << c.Name;
      EXPECT_EQ(Files.ReadAttributes(LogPath()), kFileAttributeArchive) << c.Name;
    } else {
      EXPECT_TRUE(ReadAll(LogPath()) == *c.Kept) << c.Name;
      EXPECT_EQ(Files.ReadAttributes(LogPath()), kFileAttributeHidden) << c.Name;
    }
    EXPECT_EQ(TrimCopies(), 0) << c.Name;
  }
}

TEST_F(DiagFilesTest, ReadOnlyFolderLosesNeitherTheLogNorTheLines) {
  const std::string source = Folder + "/source";
  ASSERT_EQ(mkdir(source.c_str(), 0755), 0);
  const std::string big = Filled("", static_cast<size_t>(kTrimLimit) + 5000);
  WriteAll(source + "/" + kLogFileName, big);
  if (!MountReadOnlyCopy(source, "ro")) GTEST_SKIP() << "mounting is not permitted here";
  State.AppPath = Folder + "/ro/";
  Log.Log("kept");
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Log.LogLines.Count(), 1);
  Log.TrimLogFile(State.DebugLevel, State.AppPath);
  EXPECT_EQ(ReadAll(LogPath()), big);
  EXPECT_EQ(TrimCopies(), 0);
}

TEST_F(DiagFilesTest, FullDiskFailsTheFlushWithoutHalfLinesAndTheNextFlushCatchesUp) {
  if (!Mount("tiny", "tmpfs", "tmpfs", 0, "size=64k")) GTEST_SKIP() << "mounting is not permitted here";
  State.AppPath = Folder + "/tiny/";
  const std::string old = Filled("", 30000);
  WriteAll(LogPath(), old);
  WriteAll(State.AppPath + "ballast", std::string(20000, 'b'));
  for (int i = 0; i < 300; ++i) Log.Log(std::string(75, 'n'));  // 30000 bytes
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Log.LogLines.Count(), 300) << "a failed flush keeps every line";
  EXPECT_EQ(ReadAll(LogPath()), old) << "and takes back what part of them reached the file";
  ASSERT_EQ(unlink((State.AppPath + "ballast").c_str()), 0);
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_TRUE(Log.LogLines.Empty());
  EXPECT_EQ(ReadAll(LogPath()).size(), old.size() + 300 * 100) << "each line once";
}

TEST_F(DiagFilesTest, FullDiskLeavesTheLogAsItWasWhenTheTrimCannotWriteItsCopy) {
  if (!Mount("tiny", "tmpfs", "tmpfs", 0, "size=1200k")) GTEST_SKIP() << "mounting is not permitted here";
  State.AppPath = Folder + "/tiny/";
  const std::string big = Filled("", static_cast<size_t>(kTrimLimit) + 50000);
  WriteAll(LogPath(), big);
  ASSERT_EQ(ReadAll(LogPath()).size(), big.size());
  EXPECT_TRUE(Log.TrimFile(State.DebugLevel, State.AppPath, kLogFileName));
  EXPECT_EQ(ReadAll(LogPath()), big);
  EXPECT_EQ(TrimCopies(), 0);
}

// What a restricted user who may write the log's folder can plant there: the
// files behind the links must stay untouched by flush, trim and attributes.
TEST_F(DiagFilesTest, PlantedLinksAndFilesNeverReceiveAWrite) {
  const std::string victim = Folder + "/victim.txt";
  const std::string precious = Filled("precious\n", static_cast<size_t>(kTrimLimit) + 5000);
  for (const bool symbolic : {true, false}) {
    WriteAll(victim, precious);
    ASSERT_TRUE(Files.WriteAttributes(victim, kFileAttributeArchive));
    unlink(LogPath().c_str());
    ASSERT_EQ(symbolic ? symlink(victim.c_str(), LogPath().c_str()) : link(victim.c_str(), LogPath().c_str()), 0);
    Log.LogLines.Clear();
    Log.Log("kept");
    Log.FlushLog(State.DebugLevel, State.AppPath);
    EXPECT_EQ(Log.LogLines.Count(), 1) << "kept as for a locked file";
    EXPECT_EQ(Log.TakeRefusedLink(), LogPath());
    Log.TrimLogFile(State.DebugLevel, State.AppPath);
    EXPECT_EQ(ReadAll(victim), precious) << (symbolic ? "symbolic" : "hard") << " link";
    EXPECT_EQ(Files.ReadAttributes(victim), kFileAttributeArchive);
    EXPECT_EQ(TrimCopies(), 0);
  }

  // A plain log again, with a folder and a read-only file planted under names
  // of the copy's form: the trim runs all the same.
  unlink(LogPath().c_str());
  WriteAll(LogPath(), precious);
  const std::string planted = State.AppPath + kTrimFilePrefix;
  const std::string plantedFile = planted + std::string(kTrimFileNameLength - (sizeof kTrimFilePrefix - 1), '0');
  ASSERT_EQ(mkdir(planted.c_str(), 0755), 0);
  WriteAll(plantedFile, "planted");
  chmod(plantedFile.c_str(), 0444);
  Log.LogLines.Clear();
  Log.TrimLogFile(State.DebugLevel, State.AppPath);
  EXPECT_LT(ReadAll(LogPath()).size(), static_cast<size_t>(kTrimLimit));
  EXPECT_TRUE(Log.LogLines.Empty()) << Log.LogLines[0];
  EXPECT_EQ(ReadAll(victim), precious);
}

}  // namespace
