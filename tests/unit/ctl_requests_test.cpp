// The parent's side of asking for more time in nortavelctl: the PIN typed
// unseen and stored as a hash, the open requests listed from the service's
// file, and the answers sent through the pipe.

#include <gtest/gtest.h>

#include "common/calendar.h"
#include "engine/requests.h"
#include "engine/usage.h"
#include "tests/unit/ctl_fixture.h"

namespace {
const std::string kParent = kMain + "\\Parent";
const std::string kRequestsFile = "C:\\ProgramData\\NortavelFree\\service\\requests.txt";

class CtlRequestsTest : public CtlCommandsTest {
 protected:
  CtlRequestsTest() {
    ConfigureChild();
    Files.Files["C:\\ProgramData"].Attributes = 0x10;
  }
};

TEST_F(CtlRequestsTest, ThePinIsTypedTwiceUnseenAndOnlyItsHashIsStored) {
  const struct {
    std::vector<std::string> Args, Input;
    int Code;
    bool Stored;
    std::string Said;
  } cases[] = {
      {{"pin"}, {"4711", "4711"}, 0, true, "The parent's PIN is stored, protected, in"},
      {{"pin"}, {"4711", "4712"}, 1, false, "nortavelctl: the two PINs differ: nothing stored\n"},
      {{"pin"}, {"47a1"}, 2, false, "nortavelctl: a PIN is 4 to 12 digits: nothing stored\n"},
      {{"pin", "--stdin"}, {"123456789012"}, 0, true, "The parent's PIN is stored"},
      {{"pin", "--stdin"}, {"1234567890123"}, 2, false, "nortavelctl: a PIN is 4 to 12 digits"},
      {{"pin", "--stdin"}, {}, 1, false, "nortavelctl: standard input is empty: nothing stored\n"},
  };
  for (const auto& c : cases) {
    Registry.RemoveKey(kParent);
    Input = c.Input;
    ReadsHidden.clear();
    EXPECT_EQ(Run(c.Args), c.Code) << c.Input.size();
    EXPECT_NE((c.Code == 0 ? Out : Err).str().find(c.Said), std::string::npos) << Out.str() << Err.str();
    const std::string stored = Stored(kParent, "PinHash");
    EXPECT_EQ(stored != "(none)", c.Stored) << stored;
    if (c.Stored) {
      EXPECT_EQ(stored.find(c.Input[0]), std::string::npos) << stored;
      EXPECT_EQ(stored.rfind("pbkdf2-sha256:200000:", 0), 0u) << stored;
    }
    // Typed at the console, the PIN is never shown.
    const bool fromStdin = c.Args.size() == 2;
    for (const bool hidden : ReadsHidden) EXPECT_EQ(hidden, !fromStdin);
  }
  EXPECT_EQ(Run({"pin", "--clear"}), 0);
  EXPECT_EQ(Stored(kParent, "PinHash"), "(none)");
}

TEST_F(CtlRequestsTest, TodaysOpenRequestsAreListedAtTheRulesClockAndInStatus) {
  Clock.Set(3, 16, 10);                                   // Wednesday 9 December, 16:10 local
  Clock.SetUtc(DateTimeOf(2026, 12, 9, 15, 10, 0, 3));  // an hour behind
  const int64_t utc = SecondsOf(Clock.UtcNow());
  const int64_t today = DayOf(SecondsOf(Clock.LocalNow()));
  TRequestBook book;
  book.Ask("child", 30, utc - 5 * 60, today);
  book.Ask("anna", 60, utc - 24 * 3600, today - 1);  // ended with yesterday
  Files.Files[kRequestsFile].Data = book.Format();

  EXPECT_EQ(Run({"requests"}), 0) << Err.str();
  EXPECT_EQ(Out.str(), "child asks for 30 min, 16:05\n");
  EXPECT_EQ(Run({"status"}), 0) << Err.str();
  EXPECT_NE(Out.str().find("\nAsks:        child asks for 30 min, 16:05\n"), std::string::npos) << Out.str();

  Files.Files.erase(kRequestsFile);
  EXPECT_EQ(Run({"requests"}), 0);
  EXPECT_EQ(Out.str(), "No open requests.\n");
  Files.FailOpen = [](const std::string& path, const std::string&) { return path == kRequestsFile; };
  Files.Files[kRequestsFile].Data = book.Format();
  EXPECT_EQ(Run({"requests"}), 1);
  EXPECT_EQ(Err.str(), "nortavelctl: cannot read " + kRequestsFile + ": run from an administrator command prompt\n");
}

TEST_F(CtlRequestsTest, AnswersGoToTheServiceThroughItsPipe) {
  const struct {
    std::vector<std::string> Args;
    std::string Reply;
    uint32_t Error;
    int Code;
    std::string Sent, Said;
  } cases[] = {
      {{"approve", "CHILD"}, "OK until 16:40", 0, 0, "APPROVE child",
       "child may use the computer until 16:40; the request is closed.\n"},
      {{"approve", "child", "1h30m"}, "OK until 17:40", 0, 0, "APPROVE child 90", ""},
      {{"approve", "child", "25h"}, "", 0, 2, "", "nortavelctl: approve takes a time like 30m, 2h or 1h30m"},
      {{"deny", "child"}, "OK", 0, 0, "DENY child", "child's request is closed"},
      {{"deny", "child"}, "ERR child has no open request", 0, 1, "DENY child",
       "nortavelctl: the service says: child has no open request\n"},
      {{"deny", "child"}, "", 2, 1, "DENY child", "nortavelctl: the service is not running"},
      {{"approve", "child"}, "", 5, 1, "APPROVE child",
       "nortavelctl: the service refused: run from an administrator command prompt\n"},
      {{"approve", "child"}, "yes", 0, 1, "APPROVE child",
       "nortavelctl: the service says: an answer it should not give\n"},
  };
  for (const auto& c : cases) {
    Pipe.Calls.clear();
    Pipe.Reply = c.Reply;
    Pipe.Error = c.Error;
    EXPECT_EQ(Run(c.Args), c.Code) << c.Args[0] << " " << c.Reply;
    EXPECT_EQ(Pipe.Calls, c.Sent.empty() ? std::vector<std::string>() : std::vector<std::string>{c.Sent});
    EXPECT_EQ((c.Code == 0 ? Out : Err).str().rfind(c.Said, 0), 0u) << Out.str() << Err.str();
  }
}
}  // namespace
