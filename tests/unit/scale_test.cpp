// A thousand restricted users, each with seven day rules of 64 KiB, loaded from
// the in-memory registry and enforced on the fakes: every user is loaded whole
// and in registry order, every pass locks or unlocks each of them exactly once
// with the decision its own rule gives, and a reload replaces rather than adds.
// Nothing here is timed; tests/bench/scale_bench.cpp prints the figures.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "diag/messages.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/scale_config.h"

namespace {

using namespace scale_config;

// The real module on the fakes, with its log handed to the test: the load's
// 7,000 lines of 64 KiB are checked as they come instead of being kept.
class TScaleModule : public TNortavelFree {
 public:
  explicit TScaleModule(TFakePlatform& platform) : TNortavelFree(platform.View()) {}
  void Log(const std::string& message) override { OnLog(message); }
  void FlushLog() override { ++Flushes; }

  std::function<void(const std::string&)> OnLog;
  int Flushes = 0;
};

// "" when the sequences are equal, else where they part: a thousand-entry
// sequence printed whole would hide the one entry that matters.
std::string Difference(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  if (i == actual.size() && i == expected.size()) return "";
  return "entry " + std::to_string(i) + " of " + std::to_string(actual.size()) + " (expected " +
         std::to_string(expected.size()) + "): \"" + (i < actual.size() ? actual[i] : "(none)") + "\" instead of \"" +
         (i < expected.size() ? expected[i] : "(none)") + "\"";
}

// What a pass must do for one user, from the rule the registry holds.
struct TDecision {
  bool Restricted;
  bool Seen;
};

class ScaleTest : public ::testing::Test {
 protected:
  ScaleTest() {
    FillRegistry(Platform.Registry);
    // Every fifth user owns a process, every tenth under its name in capitals;
    // two system accounts own the rest.
    uint32_t id = 4;
    for (int i = 0; i < kUsers; i += 5) {
      std::string owner = UserName(i);
      if (i % 10 == 0)
        for (char& c : owner) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      Platform.Processes.Add(id, owner);
      id += 4;
    }
    Platform.Processes.Add(id, "SYSTEM", "NT AUTHORITY");
    Platform.Processes.Add(id + 4, "LOCAL SERVICE", "NT AUTHORITY");
  }

  // Loads through the module; returns how many log lines did not match, and
  // fails at the first of them.
  void LoadAndCheckLog() {
    size_t line = 0;
    int mismatches = 0;
    Module.OnLog = [&](const std::string& message) {
      // Line k of the load: user k / 8, then its seven rules.
      const int user = static_cast<int>(line / (kDays + 1));
      const int step = static_cast<int>(line % (kDays + 1));
      const std::string expected = step == 0 ? kMsgReadingTimes + UserName(user)
                                             : kMsgTimeValue + std::to_string(step) + kMsgTimeValueSeparator +
                                                   DayRule(user, step - 1);
      if (message != expected && mismatches++ == 0)
        ADD_FAILURE() << "load log line " << line << " is not the expected one; it starts "
                      << message.substr(0, 60);
      ++line;
    };
    EXPECT_TRUE(Module.LoadConfiguration());
    EXPECT_EQ(line, static_cast<size_t>(kUsers * (kDays + 1)));
    EXPECT_EQ(Platform.Registry.OpenHandleCount(), 0u) << "a key was left open";
  }

  void ExpectEveryUserLoaded() {
    ASSERT_EQ(Module.RestrictedUsers.Count(), kUsers);
    ASSERT_EQ(Module.UserRules.size(), static_cast<size_t>(kUsers));
    int wrongUsers = 0;
    for (int i = 0; i < kUsers; ++i) {
      bool right = Module.RestrictedUsers[i] == UserName(i) && Module.UserRules[i].Count() == kDays;
      for (int d = 0; right && d < kDays; ++d) right = Module.UserRules[i][d] == DayRule(i, d);
      if (!right && wrongUsers++ < 3) ADD_FAILURE() << "user " << i << " not loaded whole";
    }
    EXPECT_EQ(wrongUsers, 0);
  }

  std::vector<TDecision> Decisions(int dayIndex, int slot) const {
    std::vector<TDecision> decisions;
    for (int i = 0; i < kUsers; ++i) decisions.push_back({IsRestrictedSlot(i, dayIndex, slot), i % 5 == 0});
    return decisions;
  }

  // One pass at the given clock; checks its messages, lock-outs and power-off
  // requests, in order, against the decisions.
  void PassAndCheck(int dayOfWeek, int hour, int minute, int dayIndex) {
    Platform.Clock.Set(dayOfWeek, hour, minute);
    const std::vector<TDecision> decisions = Decisions(dayIndex, hour * 2 + minute / 30);
    std::vector<std::string> messages;
    Module.OnLog = [&](const std::string& message) { messages.push_back(message); };
    Platform.Accounts.Calls.clear();
    Platform.Accounts.Updates.clear();
    Module.Flushes = 0;

    Module.EnforceRestrictions();

    std::vector<std::string> expectedMessages, expectedActions;
    int restricted = 0, powerOffs = 0;
    for (int i = 0; i < kUsers; ++i) {
      const std::string user = UserName(i);
      const TDecision& d = decisions[i];
      if (d.Restricted) {
        ++restricted;
        expectedMessages.push_back(kMsgFoundRestrictedUser + user);
        if (d.Seen) expectedMessages.push_back(kMsgUserLoggedIn);
      }
      expectedMessages.push_back((d.Restricted ? kMsgUserBlocked : kMsgUserUnblocked) + user);
      expectedActions.push_back("NetUserSetInfo(null," + user + ",1020)");
      if (d.Restricted && d.Seen) {
        ++powerOffs;
        expectedMessages.push_back(kMsgShuttingDown);
        expectedActions.push_back("InitiateShutdownW(null,null,0,0xb,0x80000000)");
      }
    }
    // Both outcomes occur in large numbers, or the pass proves little.
    ASSERT_GT(restricted, kUsers / 5);
    ASSERT_LT(restricted, kUsers - kUsers / 5);
    ASSERT_GT(powerOffs, 10);

    std::vector<std::string> actions;
    for (const std::string& call : Platform.Accounts.Calls)
      if (call.rfind("NetUserSetInfo(", 0) == 0 || call.rfind("InitiateShutdownW(", 0) == 0) actions.push_back(call);
    EXPECT_EQ(Difference(actions, expectedActions), "");
    EXPECT_EQ(Difference(messages, expectedMessages), "");
    EXPECT_EQ(Module.Flushes, powerOffs) << "one flush before each power-off request";

    ASSERT_EQ(Platform.Accounts.Updates.size(), static_cast<size_t>(kUsers));
    int wrong = 0;
    for (int i = 0; i < kUsers; ++i) {
      const TLogonHoursUpdate& u = Platform.Accounts.Updates[i];
      const bool right = u.User == UserName(i) && u.Level == 1020 && u.UnitsPerWeek == 168 &&
                         u.Hours == std::vector<uint8_t>(21, decisions[i].Restricted ? 0x00 : 0xFF);
      if (!right && wrong++ < 3) ADD_FAILURE() << "user " << i << ": wrong logon-hours update";
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Platform.Accounts.OpenTokens(), 0);
  }

  TFakePlatform Platform;
  TScaleModule Module{Platform};
};

TEST_F(ScaleTest, ThousandUsersWithLongRulesLoadWholeAndEachPassActsOncePerUser) {
  LoadAndCheckLog();
  EXPECT_EQ(Module.DebugLevel, 2);
  EXPECT_EQ(Module.AppPath, "C:\\Logs\\");
  ExpectEveryUserLoaded();

  Module.OnLog = [](const std::string&) {};
  Module.CollectSeenAccounts();
  ASSERT_EQ(Module.SeenAccounts.Count(), kUsers / 5 + 2);
  EXPECT_TRUE(Platform.Processes.Outstanding().empty());

  // Tuesday 21:10 reads position 42 of Time2; Sunday 10:00 position 20 of Time7.
  PassAndCheck(2, 21, 10, 1);
  // A reload between passes replaces the lists: still one entry per user.
  LoadAndCheckLog();
  ExpectEveryUserLoaded();
  PassAndCheck(0, 10, 0, 6);
}

}  // namespace
