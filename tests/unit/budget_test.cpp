// The daily budget in the running module: the use counted tick by tick, the
// usage file written and read back, the clock set back, and the end of the day's
// time, observed in the log, the accounts, the events and the file.

#include <gtest/gtest.h>

#include <algorithm>

#include "common/calendar.h"
#include "tests/fakes/fake_platform.h"

namespace {

const std::string kMain = "SOFTWARE\\Vrem\\NortavelFree";
const std::string kAnna = kMain + "\\Time_restrictions\\anna";
const std::string kLog = "C:\\Logs\\debug_free.log";
const std::string kUsageFolder = "C:\\ProgramData\\NortavelFree\\";
const std::string kUsageFile = kUsageFolder + "service\\usage.csv";
const std::string kUsageCopy = kUsageFolder + "usage.csv";
const int64_t kMonday = DaysFromCivil(2026, 12, 7);

class BudgetTest : public ::testing::Test {
 protected:
  BudgetTest() {
    Platform.Registry.SetDword(kMain, "Debug", 2);
    Platform.Registry.SetString(kMain, "Path", "C:\\Logs");
    for (int day = 1; day <= 7; ++day) {
      Platform.Registry.SetString(kAnna, "Time" + std::to_string(day), std::string(48, '0'));
      Platform.Registry.SetDword(kAnna, "Budget" + std::to_string(day), 2);
    }
    Platform.Processes.Add(100, "anna");
    Platform.Sessions.Users = {{1, "anna"}};  // at the screen, unlocked
    Platform.Clock.Set(DateTimeOf(2026, 12, 7, 10, 0, 0, 1));
  }

  void Start(TNortavelFree& module) {
    bool started = true;
    module.ServiceStart(&module, started);
  }

  // count ticks, the clock moving step seconds before each; the lines they
  // wrote to the log, without their stamps.
  std::vector<std::string> Ticks(int count, int64_t step = 2, TNortavelFree* module = nullptr) {
    TNortavelFree& m = module != nullptr ? *module : Module;
    const size_t from = Platform.LogFiles.Data(kLog).size();
    for (int i = 0; i < count; ++i) {
      Now += step;
      Platform.Clock.Set(DateTimeAt(Now));
      Platform.Clock.Advance(2000);
      m.Timer1Timer(&m.Timer1);
    }
    std::vector<std::string> lines;
    const std::string& text = Platform.LogFiles.Data(kLog);
    for (size_t at = from; at < text.size();) {
      const size_t end = text.find('\n', at);
      const std::string line = text.substr(at, end - at);
      lines.push_back(line.substr(line.find(" ] ") + 3));
      at = end + 1;
    }
    return lines;
  }

  int Count(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
  }

  int PowerOffs() const {
    return static_cast<int>(std::count_if(Platform.Accounts.Calls.begin(), Platform.Accounts.Calls.end(),
                                          [](const std::string& c) { return c.rfind("InitiateShutdownW", 0) == 0; }));
  }

  int64_t UsedInFile() {
    TUsageBook book;
    book.Parse(Platform.LogFiles.Data(kUsageFile), kMonday);
    return book.Used(kMonday, "anna");
  }

  TFakePlatform Platform;
  TNortavelFree Module{Platform.View()};
  int64_t Now = kMonday * kSecondsPerDay + 10 * 3600;
};

TEST_F(BudgetTest, ABudgetSpentExactlyAtATickEndsTheTimeAtThatTicksPass) {
  Start(Module);
  // Ticks count 2 s each from the second on: 118 s by tick 60, 120 s at tick 61,
  // whose pass (every tenth tick, the first at tick 1) ends the time.
  auto lines = Ticks(60);
  EXPECT_EQ(Count(lines, "Daily time used up for user: anna"), 0);
  EXPECT_EQ(PowerOffs(), 0);
  lines = Ticks(1);
  EXPECT_EQ(Count(lines, "Daily time used up for user: anna"), 1);
  EXPECT_EQ(Platform.Accounts.Updates.back().Hours, std::vector<uint8_t>(21, 0));
  EXPECT_EQ(PowerOffs(), 1);
  EXPECT_EQ(UsedInFile(), 120) << "kept before the power-off";

  lines = Ticks(20);
  EXPECT_EQ(Count(lines, "Daily time used up for user: anna"), 0) << "once per user and day";
  EXPECT_EQ(PowerOffs(), 3);

  // Tuesday opens a new budget.
  Now = (kMonday + 1) * kSecondsPerDay;
  lines = Ticks(10);
  EXPECT_EQ(Platform.Accounts.Updates.back().Hours, std::vector<uint8_t>(21, 0xFF));
}

TEST_F(BudgetTest, WarnMinutesWarnsBeforeTheBudgetRunsOutToTheSecond) {
  Platform.Registry.SetDword(kMain, "WarnMinutes", 1);
  Platform.Sessions.Users = {{1, "anna"}};
  Start(Module);
  Ticks(30);
  EXPECT_TRUE(Platform.Sessions.Shown.empty());
  // Tick 31, 10:01:02, 60 s used: the budget runs out at 10:02:02.
  Ticks(1);
  ASSERT_EQ(Platform.Sessions.Shown.size(), 1u);
  EXPECT_EQ(Platform.Sessions.Shown[0].Text,
            "Your computer time ends at 10:02. The computer will be switched off then: please save your work.");
  Ticks(29);
  EXPECT_EQ(PowerOffs(), 0);
  Ticks(1);
  EXPECT_EQ(PowerOffs(), 1);
  EXPECT_EQ(Platform.Sessions.Shown.size(), 1u) << "warned once, ended as warned";
}

TEST_F(BudgetTest, TheFileIsWrittenOnceAMinuteAndACrashLosesAtMostThatMinute) {
  Platform.Registry.SetDword(kAnna, "Budget1", 600);
  Start(Module);
  EXPECT_EQ(Platform.LogFiles.Count("private folder " + kUsageFolder), 1);
  EXPECT_EQ(Platform.LogFiles.Count("private folder, users not reading " + kUsageFolder + "service\\"), 1);
  Ticks(301);  // ten minutes: written at the first tick and every 30th after it
  EXPECT_EQ(Platform.LogFiles.Count("rename"), 22) << "the record and the readers' copy";
  EXPECT_EQ(UsedInFile(), 600) << "written at tick 301";
  EXPECT_EQ(Platform.LogFiles.Data(kUsageCopy), Platform.LogFiles.Data(kUsageFile));

  Ticks(29);
  EXPECT_EQ(Platform.LogFiles.Count("rename"), 22);
  // The process ends without a stop: the next start goes on from the file.
  TNortavelFree next(Platform.View());
  Start(next);
  EXPECT_EQ(next.Usage.Used(kMonday, "anna"), 600);
  Ticks(2, 2, &next);
  EXPECT_EQ(next.Usage.Used(kMonday, "anna"), 602) << "the first tick after a start counts nothing";

  // A stop keeps what was counted since.
  bool stopped = true;
  next.ServiceStop(&next, stopped);
  EXPECT_EQ(UsedInFile(), 602);
}

// Use is the time awake between two ticks, however long a tick took; sleep is none.
TEST_F(BudgetTest, UseIsTheTimeAwakeBetweenTicks) {
  Platform.Registry.SetDword(kAnna, "Budget1", 600);
  Start(Module);
  Ticks(1);
  Platform.Clock.Advance(13000);
  Ticks(1);
  EXPECT_EQ(Module.Usage.Used(kMonday, "anna"), 15);
  Platform.Clock.Advance(3600000, 500);
  Ticks(1);
  EXPECT_EQ(Module.Usage.Used(kMonday, "anna"), 17) << "an hour asleep, half a second awake, and two";
  Platform.Clock.Advance(500);
  Ticks(1);
  EXPECT_EQ(Module.Usage.Used(kMonday, "anna"), 20) << "the half second kept";
}

// A reader of the copy (any user may read it), or anything holding the record
// itself, never costs the use: the record, or its spare, holds it for the next start.
TEST_F(BudgetTest, NoReaderHoldingAFileLosesTheUse) {
  Platform.Registry.SetDword(kAnna, "Budget1", 600);
  Start(Module);
  Ticks(1);
  Platform.LogFiles.HeldOpen = {kUsageCopy};
  Ticks(60);
  EXPECT_EQ(UsedInFile(), 120);
  Platform.LogFiles.HeldOpen = {kUsageCopy, kUsageFile};
  Ticks(30);
  bool stopped = true;
  Module.ServiceStop(&Module, stopped);  // as before a power-off
  EXPECT_EQ(UsedInFile(), 120) << "the record held";
  TNortavelFree next(Platform.View());
  Start(next);
  EXPECT_EQ(next.Usage.Used(kMonday, "anna"), 180) << "read from the spare";
  Platform.LogFiles.HeldOpen.clear();
  Ticks(1, 2, &next);
  EXPECT_EQ(UsedInFile(), 180);
  EXPECT_FALSE(Platform.LogFiles.Exists(kUsageFolder + "service\\usage-spare.csv")) << "gone once the record is saved";
}

// A record that cannot be read at the start (a scan, a sharing violation) is
// never written over: the use counted meanwhile joins it once it is read.
TEST_F(BudgetTest, ARecordThatCannotBeReadIsReadLaterAndNeverWrittenOver) {
  Platform.Registry.SetDword(kAnna, "Budget1", 600);
  Platform.LogFiles.Files[kUsageFile].Data = "date,user,seconds\n2026-12-07,anna,300\n";
  Platform.LogFiles.FailOpen = [](const std::string& path, const std::string&) { return path == kUsageFile; };
  Start(Module);
  auto lines = Ticks(40);
  EXPECT_EQ(Count(lines, "ERROR:The usage file could not be read, the service keeps counting and reads it again at "
                         "the next tick: " + kUsageFile),
            1);
  EXPECT_EQ(Platform.LogFiles.Data(kUsageFile), "date,user,seconds\n2026-12-07,anna,300\n");
  Platform.LogFiles.FailOpen = nullptr;
  Ticks(1);
  EXPECT_EQ(UsedInFile(), 300 + 80) << "read, joined and saved at once";
}

// Anything but a plain file where a usage file belongs (a folder a user made
// before the data folder was private) is set aside, said, and a fresh file written.
TEST_F(BudgetTest, AUsageFileThatIsNoPlainFileIsSetAside) {
  Platform.Registry.SetDword(kAnna, "Budget1", 600);
  Platform.LogFiles.Files[kUsageFile].Data = "planted";
  Platform.LogFiles.Linked.insert(kUsageFile);
  Start(Module);
  const std::string aside = kUsageFile + ".set-aside-2026-12-07-10-00-00";
  EXPECT_EQ(Platform.LogFiles.Data(aside), "planted");
  Platform.LogFiles.Linked.clear();
  const auto lines = Ticks(1);
  EXPECT_EQ(Count(lines, "WARNING:The usage file was not a plain file and was set aside: " + kUsageFile + " is now " +
                         aside),
            1);
  EXPECT_NE(Platform.LogFiles.Data(kUsageFile).find("# latest"), std::string::npos);
}

// Without a budget or KeepUsage the service keeps no file and goes by the
// computer's clock, set back or not, as designed.
TEST_F(BudgetTest, WithoutABudgetOrKeepUsageNothingIsKept) {
  for (int day = 1; day <= 7; ++day) Platform.Registry.RemoveValue(kAnna, "Budget" + std::to_string(day));
  Start(Module);
  Ticks(31);
  Now -= kSecondsPerDay;
  const auto lines = Ticks(31);
  for (const std::string& line : lines) EXPECT_EQ(line.find("clock"), std::string::npos) << line;
  EXPECT_TRUE(Platform.LogFiles.Folders.empty());
  EXPECT_FALSE(Platform.LogFiles.Exists(kUsageFile));
  Platform.Registry.SetDword(kMain, "KeepUsage", 1);
  Ticks(60);  // the next reload
  EXPECT_TRUE(Platform.LogFiles.Exists(kUsageFile));
}

TEST_F(BudgetTest, AClockSetBackIsWarnedOfOnceAndOpensNoNewDay) {
  Start(Module);
  Ticks(61);
  ASSERT_EQ(PowerOffs(), 1);
  // Back to Sunday evening: the log, an event, and still Monday's budget.
  Now = (kMonday - 1) * kSecondsPerDay + 20 * 3600;
  auto lines = Ticks(10);
  EXPECT_EQ(Count(lines, "WARNING:The clock was set back from 2026-12-07 10:02:04 UTC to 2026-12-06 20:00:02 UTC"),
            1);
  EXPECT_EQ(Count(lines, "Daily time used up for user: anna"), 0) << "Monday's, already said";
  EXPECT_EQ(PowerOffs(), 2);
  bool warned = false;
  for (const TRecordedEvent& event : Platform.ServiceRuntime.Events())
    warned |= event.Type == TEventLogger::kWarningType &&
              event.Message == "The clock was set back from 2026-12-07 10:02:04 UTC to 2026-12-06 20:00:02 UTC";
  EXPECT_TRUE(warned);
  EXPECT_EQ(Count(Ticks(30), "WARNING:The clock was set back from 2026-12-07 10:02:04 UTC to 2026-12-06 20:00:02 UTC"),
            0);

  // After a restart the file still knows the latest time.
  bool stopped = true;
  Module.ServiceStop(&Module, stopped);
  TNortavelFree next(Platform.View());
  Start(next);
  EXPECT_EQ(Count(Ticks(1, 2, &next), "Daily time used up for user: anna"), 1);
}

// The schedule goes by the service's own time too: an hour set back does not
// reopen the hour that ended.
TEST_F(BudgetTest, AClockSetBackDoesNotReopenTheSchedule) {
  for (int day = 1; day <= 7; ++day) {
    Platform.Registry.RemoveValue(kAnna, "Budget" + std::to_string(day));
    Platform.Registry.SetString(kAnna, "Time" + std::to_string(day), std::string(21, '0') + std::string(27, '1'));
  }
  Platform.Registry.SetDword(kMain, "KeepUsage", 1);
  Now = kMonday * kSecondsPerDay + 10 * 3600 + 31 * 60;
  Start(Module);
  Ticks(1);
  EXPECT_EQ(PowerOffs(), 1);
  Now -= 3600;
  Ticks(10);
  EXPECT_EQ(PowerOffs(), 2) << "10:31 by the service's time, not 09:31";
}

// A week used up ends time like a day; the week turns at Monday 00:00 of the
// fixed zone (Tokyo, UTC + 9 h: Sunday 15:00 UTC).
TEST_F(BudgetTest, AWeekUsedUpEndsTimeUntilMondayInTheRulesZone) {
  Platform.Registry.SetString(kMain, "TimeZone", "Tokyo Standard Time");
  Platform.Registry.SetValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\Tokyo Standard Time",
                             "TZI", TRegistryApi::kRegBinary,
                             std::string("\xE4\xFD\xFF\xFF", 4) + std::string(40, '\0'));
  for (int day = 1; day <= 7; ++day) Platform.Registry.RemoveValue(kAnna, "Budget" + std::to_string(day));
  Platform.Registry.SetDword(kAnna, "BudgetWeek", 10);
  Platform.LogFiles.Files[kUsageFile].Data =
      "date,user,seconds\n2026-12-08,anna,300\n2026-12-13,anna,300\n# latest 2026-12-13 14:00:00 UTC; day 2026-12-13\n";
  Now = (kMonday + 6) * kSecondsPerDay + 15 * 3600 - 20;
  Start(Module);
  auto lines = Ticks(1);
  EXPECT_EQ(Count(lines, "Weekly time used up for user: anna"), 1);
  EXPECT_EQ(PowerOffs(), 1);
  lines = Ticks(10);  // into Monday in Tokyo
  EXPECT_EQ(Platform.Accounts.Updates.back().Hours, std::vector<uint8_t>(21, 0xFF));
}

TEST_F(BudgetTest, TheDayEndsAtMidnightOfAFixedZone) {
  // Tokyo, UTC + 9 h: Monday ends at 15:00 UTC.
  Platform.Registry.SetString(kMain, "TimeZone", "Tokyo Standard Time");
  Platform.Registry.SetValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\Tokyo Standard Time",
                             "TZI", TRegistryApi::kRegBinary,
                             std::string("\xE4\xFD\xFF\xFF", 4) + std::string(40, '\0'));
  Platform.Registry.SetDword(kAnna, "Budget1", 600);
  Platform.Registry.SetDword(kAnna, "Budget2", 600);
  Now = kMonday * kSecondsPerDay + 15 * 3600 - 10;
  Start(Module);
  Ticks(10);
  // Ticks at 14:59:52 (counting nothing), :54, :56, :58, then 15:00:00 on.
  EXPECT_EQ(Module.Usage.Used(kMonday, "anna"), 6);
  EXPECT_EQ(Module.Usage.Used(kMonday + 1, "anna"), 12);
}

// A person at an unlocked screen is use: an interval counts when the user was
// at an active, unlocked session at both of its ends. Where the sessions cannot
// tell, the programs the user runs decide, as before, and the log says so once.
TEST_F(BudgetTest, TimeCountsOnlyAtAnUnlockedScreen) {
  Platform.Registry.SetDword(kAnna, "Budget1", 600);
  Start(Module);
  const struct {
    const char* Name;
    uint32_t State;
    int32_t Lock;
    int64_t Counted;  // seconds, over two ticks
  } steps[] = {
      {"unlocked", TSessionApi::kStateActive, TSessionApi::kUnlocked, 4},
      {"locked inside the first tick", TSessionApi::kStateActive, TSessionApi::kLocked, 0},
      {"unlocked inside the first tick", TSessionApi::kStateActive, TSessionApi::kUnlocked, 2},
      {"switched away from", TSessionApi::kStateDisconnected, TSessionApi::kUnlocked, 0},
      {"cannot tell: by the programs", TSessionApi::kStateActive, TSessionApi::kLockUnknown, 4},
  };
  Ticks(1);
  for (const auto& step : steps) {
    Platform.Sessions.States[1] = step.State;
    Platform.Sessions.Locks[1] = step.Lock;
    const int64_t before = Module.Usage.Used(kMonday, "anna");
    const auto lines = Ticks(2);
    EXPECT_EQ(Module.Usage.Used(kMonday, "anna") - before, step.Counted) << step.Name;
    EXPECT_EQ(Count(lines, "WARNING:Whether sessions are locked cannot be told, so time counts while the user has "
                           "programs running (or a session)"),
              step.Lock == TSessionApi::kLockUnknown ? 1 : 0)
        << step.Name;
  }
}

// In lock mode the end disconnects the session: where locks cannot be told,
// a session switched away from is no use either.
TEST_F(BudgetTest, InLockModeADisconnectedSessionIsNoUseWhereLocksCannotBeTold) {
  Platform.Registry.SetDword(kAnna, "Budget1", 600);
  Platform.Registry.SetString(kMain, "EndAction", "lock");
  Platform.Sessions.Users = {{1, "anna"}, {2, "bob"}};
  Platform.Sessions.States[1] = TSessionApi::kStateDisconnected;
  Platform.Sessions.Locks[2] = TSessionApi::kLockUnknown;
  Start(Module);
  Ticks(3);
  EXPECT_EQ(Module.Usage.Used(kMonday, "anna"), 0);
}

TEST_F(BudgetTest, AFaultyUsageFileOrBudgetIsLoggedAndTheServiceGoesOn) {
  Platform.Registry.SetDword(kAnna, "Budget1", 600);
  Platform.Registry.SetDword(kAnna, "Budget3", 1441);
  Platform.Registry.SetString(kAnna, "Budget4", "2h");
  Platform.LogFiles.Files[kUsageFile].Data = "date,user,seconds\n2026-12-07,anna,100\n2026-12-07,anna\nnonsense\n";
  Start(Module);
  // Logged at the start's load and the first tick's reload.
  auto lines = Ticks(1);
  EXPECT_EQ(Module.Usage.Used(kMonday, "anna"), 100);
  EXPECT_EQ(Count(lines, "ERROR:Daily budget ignored, it must be minutes from 0 to 1440 (REG_DWORD) for user: anna "
                         "Budget3=1441"),
            2);
  EXPECT_EQ(Count(lines, "ERROR:Daily budget ignored, it must be minutes from 0 to 1440 (REG_DWORD) for user: anna "
                         "Budget4=(not a REG_DWORD)"),
            2);

  EXPECT_EQ(Count(lines, "ERROR:Damaged lines of the usage file skipped: 2, the first is line 3: " + kUsageFile), 1);

  // A file that cannot be written is said once, and written once it can be.
  Platform.LogFiles.FailRename = true;
  lines = Ticks(60);
  EXPECT_EQ(Count(lines, "ERROR:The usage file could not be written: " + kUsageFile), 1);
  Platform.LogFiles.FailRename = false;
  Ticks(30);
  EXPECT_GT(UsedInFile(), 100);
  for (const auto& file : Platform.LogFiles.Files) EXPECT_EQ(file.first.find("NortavelFree\\~"), std::string::npos);
}

}  // namespace
