// The diagnostic log against the real Win32 files, attributes and locale.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "winsys/configuration.h"
#include "diag/diagnostic_log.h"
#include "diag/timestamp.h"
#include "tests/fakes/fake_clock.h"
#include "tests/wine/whole_files.h"
#include "common/win32.h"

#include <aclapi.h>

namespace {

SYSTEMTIME AsSystemTime(const TDateTime& t) {
  return SYSTEMTIME{t.Year, t.Month, t.DayOfWeek, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds};
}

// The platform's own formatting of the same moment: short date, blank, time.
std::string PlatformStamp(LCID locale, const TDateTime& t) {
  const SYSTEMTIME st = AsSystemTime(t);
  char date[128] = "", time[128] = "";
  GetDateFormatA(locale, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
  GetTimeFormatA(locale, 0, &st, nullptr, time, sizeof time);
  return std::string(date) + " " + time;
}

// Wine reports the archive attribute on every file, whatever was set; Windows
// reports exactly what was set. Compared without it, the checks hold on both.
DWORD AttributesBesideArchive(const std::string& path) {
  return GetFileAttributesA(path.c_str()) & ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE);
}

class DiagWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    static int serial = 0;
    Folder = std::string(temp) + "diag-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr));
    State.AppPath = Folder + "\\";
    Clock.Set(0, 11, 6, 27);
  }
  void TearDown() override {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((Folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string path = Folder + "\\" + found.cFileName;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(Folder.c_str());
  }
  std::string LogPath() const { return State.AppPath + kLogFileName; }
  // Copies a trim left beside the log.
  int TrimCopies() const {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((State.AppPath + kTrimFilePrefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int copies = 0;
    do copies += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return copies;
  }

  std::string Folder;
  TConfiguration State;
  TFakeClock Clock;
  TDiagnosticLog Log{PlatformLogFiles(), Clock};
};

TEST_F(DiagWineTest, FlushWritesCrLfLinesStampedInTheUserLocaleAndHidesTheFile) {
  WriteAll(LogPath(), "");
  ASSERT_TRUE(SetFileAttributesA(LogPath().c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM));
  Log.Log("Service started");
  Log.Log("");
  Log.FlushLog(State.DebugLevel, State.AppPath);
  TDateTime now = Clock.LocalNow();
  const std::string stamp = "[ " + PlatformStamp(LOCALE_USER_DEFAULT, now) + " ] ";
  EXPECT_EQ(ReadAll(LogPath()), stamp + "Service started\r\n" + stamp + "\r\n");
  EXPECT_EQ(AttributesBesideArchive(LogPath()), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN))
      << "the file becomes hidden alone: system is cleared";
  EXPECT_TRUE(Log.LogLines.Empty());
}

TEST_F(DiagWineTest, ReadOnlyLogKeepsTheLinesAndSurvivesTheTrim) {
  std::string big;
  while (big.size() < static_cast<size_t>(kTrimLimit) + 3000) big += std::string(63, 'o') + "\n";
  WriteAll(LogPath(), big);
  ASSERT_TRUE(SetFileAttributesA(LogPath().c_str(), FILE_ATTRIBUTE_READONLY));
  // Wine keeps read-only as the Unix mode 0444, which does not stop root.
  if (FILE* probe = std::fopen(LogPath().c_str(), "a")) {
    std::fclose(probe);
    GTEST_SKIP() << "read-only files are writable here (Wine run as root)";
  }
  Log.Log("kept");
  EXPECT_FALSE(Log.AppendLinesToFile(Log.LogLines, State.AppPath, kLogFileName));
  EXPECT_EQ(Log.LogLines.Count(), 1);
  Log.TrimLogFile(State.DebugLevel, State.AppPath);
  // Windows refuses to replace a read-only file, so the log stays as it was;
  // Wine replaces it with the complete copy. Either way the log is whole.
  const std::string after = ReadAll(LogPath());
  if (after == big) {
    EXPECT_EQ(AttributesBesideArchive(LogPath()), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  } else {
    const size_t lines = big.size() / 64;
    const size_t excess = big.size() - static_cast<size_t>(kTrimLimit);
    const size_t dropped = (excess + 62) / 63;  // whole lines until their lengths reach the excess
    EXPECT_EQ(after.size(), (lines - dropped) * 65);
    EXPECT_EQ(after.substr(0, 65), std::string(63, 'o') + "\r\n");
    EXPECT_EQ(AttributesBesideArchive(LogPath()), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  }
  EXPECT_EQ(TrimCopies(), 0) << "no copy left behind";
}

TEST_F(DiagWineTest, TrimReplacesAHiddenLogWithCrLfLinesAndHidesIt) {
  // 1 MiB + 100 bytes: the first line (150 characters) goes, the rest stays.
  std::string log = std::string(150, 'x') + "\n";
  std::string kept;
  while (log.size() < static_cast<size_t>(kTrimLimit) + 100) {
    const std::string line = std::string(std::min<size_t>(99, kTrimLimit + 100 - log.size() - 1), 'k');
    log += line + "\n";
    kept += line + "\r\n";
  }
  ASSERT_EQ(log.size(), static_cast<size_t>(kTrimLimit) + 100);
  WriteAll(LogPath(), log);
  ASSERT_TRUE(SetFileAttributesA(LogPath().c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(Log.TrimFile(State.DebugLevel, State.AppPath, kLogFileName));
  EXPECT_TRUE(ReadAll(LogPath()) == kept);
  EXPECT_EQ(AttributesBesideArchive(LogPath()), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(TrimCopies(), 0);
}

TEST_F(DiagWineTest, RollbackCallsWorkOnAHiddenLog) {
  // The flush's rollback runs on a log that is normally hidden.
  WriteAll(LogPath(), std::string(100, 'h'));
  ASSERT_TRUE(SetFileAttributesA(LogPath().c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(PlatformLogFiles().TruncateFile(LogPath(), 10));
  EXPECT_EQ(ReadAll(LogPath()), std::string(10, 'h'));
  EXPECT_FALSE(PlatformLogFiles().TruncateFile(State.AppPath + "absent", 0));
  // The rollback's starting point: the size, as an append stream in text mode sees it.
  TLogPlatform& files = PlatformLogFiles();
  bool linked = true;
  const uintptr_t stream = files.OpenStream(LogPath(), "a+", linked);
  EXPECT_FALSE(linked);
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(files.SeekStream(stream, 0, SEEK_END), 10);
  EXPECT_TRUE(files.WriteStream(stream, "a\n", 2));
  EXPECT_TRUE(files.CloseStream(stream));
  EXPECT_EQ(ReadAll(LogPath()), std::string(10, 'h') + "a\r\n");
}

// What a restricted user who may write the log's folder can plant there, made
// with the Windows calls: the file behind a hard link stays untouched by flush,
// trim and attributes, and planted names of old copies do not stop the trim.
TEST_F(DiagWineTest, PlantedLinksAndFilesNeverReceiveAWrite) {
  std::string precious;
  while (precious.size() < static_cast<size_t>(kTrimLimit) + 3000) precious += std::string(63, 'p') + "\r\n";
  const std::string victim = Folder + "\\victim.txt";
  WriteAll(victim, precious);
  ASSERT_TRUE(SetFileAttributesA(victim.c_str(), FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(CreateHardLinkA(LogPath().c_str(), victim.c_str(), nullptr));
  Log.Log("kept");
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Log.LogLines.Count(), 1) << "kept as for a locked file";
  EXPECT_EQ(Log.TakeRefusedLink(), LogPath());
  Log.TrimLogFile(State.DebugLevel, State.AppPath);
  EXPECT_TRUE(ReadAll(victim) == precious);
  EXPECT_EQ(GetFileAttributesA(victim.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(TrimCopies(), 0);

  ASSERT_TRUE(DeleteFileA(LogPath().c_str()));
  WriteAll(LogPath(), precious);
  ASSERT_TRUE(CreateDirectoryA((State.AppPath + kTrimFilePrefix).c_str(), nullptr));
  Log.LogLines.Clear();
  Log.TrimLogFile(State.DebugLevel, State.AppPath);
  EXPECT_LT(ReadAll(LogPath()).size(), static_cast<size_t>(kTrimLimit));
  EXPECT_TRUE(Log.LogLines.Empty());
  EXPECT_TRUE(ReadAll(victim) == precious);
  RemoveDirectoryA((State.AppPath + kTrimFilePrefix).c_str());
}

// The folder's list through the real calls. Wine ignores lists that are set
// and reports every folder as fully open to the Unix user's account, which is
// neither SYSTEM nor the Administrators: such a folder counts as open to others.
TEST_F(DiagWineTest, FolderRightsAreReadThroughTheRealCalls) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(const_cast<char*>(Folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  bool userMayWrite = false;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&header)));
    const auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    const auto sid = const_cast<DWORD*>(&ace->SidStart);
    userMayWrite |= header->AceType == ACCESS_ALLOWED_ACE_TYPE && (ace->Mask & FILE_ADD_FILE) != 0 &&
                    !IsWellKnownSid(sid, WinLocalSystemSid) && !IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
  }
  LocalFree(descriptor);
  EXPECT_EQ(PlatformLogFiles().OthersMayWriteFolder(State.AppPath),
            userMayWrite ? TFolderAccess::OthersMayWrite : TFolderAccess::OnlyAdministrators);
  EXPECT_EQ(PlatformLogFiles().OthersMayWriteFolder(Folder + "\\absent\\"), TFolderAccess::Unknown);
}

TEST(DiagWineLocaleTest, TimestampMatchesThePlatformsOwnFormatting) {
  // Locales whose long-time picture is built the way the log builds it: day or
  // month first, 12 and 24 hours, designator after and before, leading zero or not.
  const LCID locales[] = {0x0409, 0x0407, 0x0809, 0x0412, 0x0419, 0x040c, LOCALE_USER_DEFAULT};
  TFakeClock clock;
  for (LCID locale : locales) {
    const TLocaleFormats formats = ReadLocaleFormats(PlatformLogFiles(), locale);
    for (const auto& hms : {std::array<int, 3>{13, 5, 7}, std::array<int, 3>{9, 5, 7},
                            std::array<int, 3>{0, 0, 1}, std::array<int, 3>{12, 0, 0},
                            std::array<int, 3>{23, 59, 59}}) {
      clock.Set(0, hms[0], hms[1], hms[2]);
      const TDateTime t = clock.LocalNow();
      EXPECT_EQ(FormatTimestamp(t, formats), PlatformStamp(locale, t)) << std::hex << locale;
    }
    clock.Set(1, 0, 0, 0);
    const TDateTime midnight = clock.LocalNow();
    const SYSTEMTIME st = AsSystemTime(midnight);
    char date[128] = "";
    GetDateFormatA(locale, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
    EXPECT_EQ(FormatTimestamp(midnight, formats), date) << std::hex << locale;
  }
}

TEST(DiagWineLocaleTest, DatePicturesMatchThePlatform) {
  const char* pictures[] = {"dd.MM.yyyy", "d/M/yy", "dddd, MMMM d, yyyy", "ddd dd-MMM-yyyy",
                            "'day' d 'of' M",  "'it''s' yy", "yyyy'-d",  "MMMMM ddddd yyyyy"};
  const TLocaleFormats english = ReadLocaleFormats(PlatformLogFiles(), 0x0409);
  for (const TDateTime& t : {TDateTime{2007, 3, 0, 4, 8, 0, 0, 0}, TDateTime{2026, 12, 0, 6, 8, 0, 0, 0},
                             TDateTime{2024, 2, 4, 29, 8, 0, 0, 0}}) {
    for (const char* picture : pictures) {
      TLocaleFormats formats = english;
      formats.ShortDate = picture;
      const SYSTEMTIME st = AsSystemTime(t);
      char expected[128] = "";
      ASSERT_GT(GetDateFormatA(0x0409, 0, &st, picture, expected, sizeof expected), 0) << picture;
      EXPECT_EQ(FormatDate(t, formats), expected) << picture;
    }
  }
}

}  // namespace

// Another program holding the log open (a viewer, a backup tool) costs neither the
// buffered lines nor the log. Windows checks sharing per open handle, so a handle
// held by the test stands for one held by another process.
class DiagHeldOpenTest : public DiagWineTest {
 protected:
  HANDLE Hold(DWORD share) {
    return CreateFileA(LogPath().c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  }
  std::string BigLog() const {
    std::string text;
    for (int i = 0; text.size() <= 1048576 + 4096; ++i) text += "[ old ] line " + std::to_string(i) + " of a long log\r\n";
    return text;
  }
};

TEST_F(DiagHeldOpenTest, FlushAgainstAnExclusiveHandleKeepsTheLinesForTheNextFlush) {
  WriteAll(LogPath(), "before\r\n");
  const HANDLE held = Hold(0);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Log.Log("first");
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Log.LogLines.Count(), 1) << "a flush that cannot open the file keeps its lines";
  CloseHandle(held);
  Log.Log("second");
  Log.FlushLog(State.DebugLevel, State.AppPath);
  EXPECT_EQ(Log.LogLines.Count(), 0);
  const std::string text = ReadAll(LogPath());
  const size_t first = text.find("] first\r\n");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_EQ(text.rfind("before\r\n", 0), 0u);
  EXPECT_GT(text.find("] second\r\n"), first);
}

TEST_F(DiagHeldOpenTest, TrimLeavesTheLogWholeWhileAReaderHoldsIt) {
  const std::string original = BigLog();
  WriteAll(LogPath(), original);
  for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    const HANDLE held = Hold(share);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Log.TrimLogFile(State.DebugLevel, State.AppPath);  // cannot read (no sharing) or cannot replace (no delete sharing)
    CloseHandle(held);
    EXPECT_EQ(ReadAll(LogPath()), original) << "share mode " << share;
    EXPECT_EQ(TrimCopies(), 0) << "no copy left behind";
  }
  Log.TrimLogFile(State.DebugLevel, State.AppPath);  // released: now it is cut back
  const std::string trimmed = ReadAll(LogPath());
  EXPECT_LT(trimmed.size(), 1048576u);
  EXPECT_EQ(trimmed, original.substr(original.size() - trimmed.size())) << "whole newest lines kept";
}
