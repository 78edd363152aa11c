// The configuration load against the in-memory registry: every value, message,
// level test and failure, and that no key is ever left open.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "common/exceptions.h"
#include "diag/messages.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/recording_log.h"
#include "winsys/configuration.h"

namespace {
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using TOp = TFakeRegistry::TOp;

const std::string kMain = "SOFTWARE\\Vrem\\NortavelFree";
const std::string kUsers = kMain + "\\Time_restrictions";
const std::string kNoDebug = std::string("ERROR:Unable to read debug level from ") + "\\SOFTWARE\\Vrem\\NortavelFree\\";
const std::string kNoPath = std::string("ERROR:Unable to read application path from ") + "\\SOFTWARE\\Vrem\\NortavelFree\\";
const std::string kNoUsers = "ERROR:Not possible to read restricted users ";

std::string Rule(char c) { return std::string(48, c); }

class ConfigTest : public ::testing::Test {
 protected:
  ConfigTest() {
    State.AppPath = "D:\\Old\\";
    // Leftovers of an earlier load, which every load must drop.
    State.RestrictedUsers.Add("Gone");
    State.UserRules.emplace_back();
  }

  // Runs one load; returns the registry error's message, or "" after a normal end.
  std::string Load() {
    std::string error;
    try {
      EXPECT_TRUE(LoadConfiguration(State, Fake, TConfigLocation(), Log, Fake.LeadByteTest()));
    } catch (const ERegistryException& e) {
      error = e.Message();
    }
    EXPECT_EQ(Fake.OpenHandleCount(), 0u) << "a key was left open";
    EXPECT_EQ(Fake.BadCloses, 0);
    return error;
  }

  void AddUser(const std::string& user, const std::vector<std::string>& rules) {
    Fake.AddKey(kUsers + "\\" + user);
    for (size_t n = 0; n < rules.size(); ++n) Fake.SetString(kUsers + "\\" + user, "Time" + std::to_string(n + 1), rules[n]);
  }

  std::vector<std::vector<std::string>> Rules() const {
    std::vector<std::vector<std::string>> rules;
    for (const auto& list : State.UserRules) rules.push_back(list.Items());
    return rules;
  }

  std::vector<std::string> OpenedPaths() const {
    std::vector<std::string> paths;
    for (const auto& call : Fake.CallsOf(TOp::Open)) paths.push_back(call.Target + " " + std::to_string(call.Access));
    return paths;
  }

  TFakeRegistry Fake;
  TConfiguration State;
  TRecordingLog Log;
};

TEST_F(ConfigTest, WithoutAnyKeyLevelAndFolderStayAndNothingIsLogged) {
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(State.DebugLevel, 2);
  EXPECT_EQ(State.AppPath, "D:\\Old\\");
  EXPECT_TRUE(State.RestrictedUsers.Empty());
  EXPECT_TRUE(State.UserRules.empty());
  EXPECT_TRUE(Log.Messages.empty());
  EXPECT_THAT(OpenedPaths(), ElementsAre("SOFTWARE\\Vrem\\NortavelFree\\ 131081",
                                         "SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\ 131081"));
}

struct TMainKeyCase {
  const char* Name;
  std::function<void(TFakeRegistry&)> Setup;
  int32_t Level;
  std::string AppPath;
  std::vector<std::string> Messages;
};

TEST_F(ConfigTest, MainKeyGivesLevelAndFolder) {
  auto debug = [](uint32_t level) { return [level](TFakeRegistry& r) { r.SetDword(kMain, "Debug", level); }; };
  auto both = [](uint32_t level, std::string path, uint32_t type = TRegistryApi::kRegSz) {
    return [=](TFakeRegistry& r) {
      r.SetDword(kMain, "Debug", level);
      r.SetString(kMain, "Path", path, type);
    };
  };
  const TMainKeyCase cases[] = {
      {"denied even for the existence test",
       [](TFakeRegistry& r) {
         r.SetDword(kMain, "Debug", 4);
         r.FailOpen(kMain, TRegistryApi::kErrorAccessDenied);
       },
       2, "D:\\Old\\", {}},
      {"empty main key", [](TFakeRegistry& r) { r.AddKey(kMain); }, 1, "", {kNoDebug, kNoPath}},
      {"gone after the existence test",
       [](TFakeRegistry& r) {
         r.SetDword(kMain, "Debug", 4);
         r.SetString(kMain, "Path", "C:\\Logs");
         r.FailOpen(kMain, TRegistryApi::kErrorFileNotFound, {}, 2);
       },
       1, "", {kNoDebug, kNoPath}},
      {"level 0 hides the path error", debug(0), 0, "", {}},
      {"level -1 shows the path error", debug(0xFFFFFFFF), -1, "", {kNoPath}},
      {"no Debug but a Path", [](TFakeRegistry& r) { r.SetString(kMain, "Path", "C:\\Logs"); }, 1, "C:\\Logs\\",
       {kNoDebug}},
      {"Path gains a backslash", both(3, "C:\\Logs"), 3, "C:\\Logs\\", {}},
      {"Path ending in a backslash", both(3, "C:\\Logs\\"), 3, "C:\\Logs\\", {}},
      {"a forward slash is no delimiter", both(3, "C:/Logs/"), 3, "C:/Logs/\\", {}},
      {"empty Path", both(3, ""), 3, "\\", {}},
      {"expand string used literally", both(3, "%SystemRoot%\\Logs", TRegistryApi::kRegExpandSz), 3,
       "%SystemRoot%\\Logs\\", {}},
      {"KEY_READ denied: the next mask reads",
       [](TFakeRegistry& r) {
         r.SetDword(kMain, "Debug", 3);
         r.SetString(kMain, "Path", "C:\\Logs");
         r.FailOpen(kMain, TRegistryApi::kErrorAccessDenied, {0x20019});
       },
       3, "C:\\Logs\\", {}},
  };
  for (const auto& c : cases) {
    TFakeRegistry fake;
    TConfiguration state;
    state.AppPath = "D:\\Old\\";
    TRecordingLog log;
    c.Setup(fake);
    EXPECT_TRUE(LoadConfiguration(state, fake, TConfigLocation(), log, fake.LeadByteTest())) << c.Name;
    EXPECT_EQ(state.DebugLevel, c.Level) << c.Name;
    EXPECT_EQ(state.AppPath, c.AppPath) << c.Name;
    EXPECT_EQ(log.Messages, c.Messages) << c.Name;
    EXPECT_EQ(fake.OpenHandleCount(), 0u) << c.Name;
  }
}

TEST_F(ConfigTest, OnlyASingleByteBackslashEndsThePath) {
  const struct {
    int CodePage;
    std::string Path;
    std::string AppPath;
  } cases[] = {
      // 0x95 0x5C is one Shift_JIS character whose second byte equals the backslash.
      {932, "C:\\\x95\x5C", "C:\\\x95\x5C\\"},
      {932, "C:\\\x95\x5C\\", "C:\\\x95\x5C\\"},
      {932, "\x81\x5C\x81\x5C", "\x81\x5C\x81\x5C\\"},
      {932, "C:\\\x95", "C:\\\x95\\"},  // a lead byte cut off at the end
      {932, "C:\\x\\", "C:\\x\\"},
      {0, "C:\\\x95\x5C", "C:\\\x95\x5C"},  // a single-byte code page has no trail bytes
  };
  for (const auto& c : cases) {
    TFakeRegistry fake;
    fake.CodePage = c.CodePage;
    fake.SetDword(kMain, "Debug", 1);
    fake.SetString(kMain, "Path", c.Path);
    TConfiguration state;
    TRecordingLog log;
    LoadConfiguration(state, fake, TConfigLocation(), log, fake.LeadByteTest());
    EXPECT_EQ(state.AppPath, c.AppPath) << c.Path << " in code page " << c.CodePage;
  }
}

TEST_F(ConfigTest, MainKeyIsOpenedTwiceForReadingAndTheRestrictionsKeyOnce) {
  Fake.SetDword(kMain, "Debug", 1);
  Fake.SetString(kMain, "Path", "C:\\Logs");
  AddUser("Anna", {Rule('0')});
  EXPECT_EQ(Load(), "");
  EXPECT_THAT(OpenedPaths(), ElementsAre("SOFTWARE\\Vrem\\NortavelFree\\ 131081",
                                         "SOFTWARE\\Vrem\\NortavelFree\\ 131097",
                                         "SOFTWARE\\Vrem\\NortavelFree\\ 131097",
                                         "SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\ 131081",
                                         "SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\ 131097",
                                         "SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\Anna 131097"));
}

struct TErrorCase {
  const char* Name;
  std::function<void(TFakeRegistry&)> Setup;
  std::string Error;
  int32_t Level;
  std::string AppPath;
};

TEST_F(ConfigTest, AWrongTypeForDebugOrPathEndsTheLoadWithTheDocumentedState) {
  auto debugAs = [](uint32_t type, std::string data) {
    return [=](TFakeRegistry& r) {
      r.SetValue(kMain, "Debug", type, data);
      r.SetString(kMain, "Path", "C:\\New");
    };
  };
  auto pathAs = [](uint32_t type, std::string data) {
    return [=](TFakeRegistry& r) {
      r.SetDword(kMain, "Debug", 3);
      r.SetValue(kMain, "Path", type, data);
    };
  };
  const TErrorCase cases[] = {
      {"one-digit string", debugAs(TRegistryApi::kRegSz, std::string("1\0", 2)), "Invalid data type for 'Debug'", 2,
       "D:\\Old\\"},
      {"five-digit string", debugAs(TRegistryApi::kRegSz, std::string("12345\0", 6)),
       "Failed to get data for 'Debug'", 2, "D:\\Old\\"},
      {"path as dword", pathAs(TRegistryApi::kRegDword, std::string("\x03\0\0\0", 4)),
       "Invalid data type for 'Path'", 3, "D:\\Old\\"},
  };
  for (const auto& c : cases) {
    TFakeRegistry fake;
    TConfiguration state;
    state.AppPath = "D:\\Old\\";
    state.RestrictedUsers.Add("Gone");
    state.UserRules.emplace_back();
    TRecordingLog log;
    c.Setup(fake);
    fake.SetString(kUsers + "\\Anna", "Time1", Rule('1'));
    std::string error;
    try {
      LoadConfiguration(state, fake, TConfigLocation(), log, fake.LeadByteTest());
    } catch (const ERegistryException& e) {
      error = e.Message();
    }
    EXPECT_EQ(error, c.Error) << c.Name;
    EXPECT_EQ(state.DebugLevel, c.Level) << c.Name;
    EXPECT_EQ(state.AppPath, c.AppPath) << c.Name;
    EXPECT_TRUE(state.RestrictedUsers.Empty()) << c.Name;
    EXPECT_TRUE(state.UserRules.empty()) << c.Name;
    EXPECT_TRUE(log.Messages.empty()) << c.Name;
    EXPECT_EQ(fake.OpenHandleCount(), 0u) << c.Name;
  }
}

TEST_F(ConfigTest, ReadsEveryUserWithRulesUpToTheFirstGapAtLevel2) {
  Fake.SetDword(kMain, "Debug", 2);
  Fake.SetString(kMain, "Path", "C:\\Logs");
  AddUser("Anna", {"a1", "a2"});
  Fake.SetString(kUsers + "\\Anna", "Time4", "a4");  // after a gap: never read
  std::vector<std::string> nine;
  for (int n = 1; n <= 9; ++n) nine.push_back("b" + std::to_string(n));
  AddUser("Bert", nine);
  AddUser("Carl", {});
  Fake.SetString(kUsers + "\\Carl", "Rule", "x");  // other names are ignored
  AddUser("Dora", {"d1"});
  Fake.FailOpen(kUsers + "\\Dora", TRegistryApi::kErrorAccessDenied);
  std::vector<std::string> twelve;
  for (int n = 1; n <= 12; ++n) twelve.push_back(Rule(static_cast<char>('a' + n)));
  AddUser("Emil", twelve);
  Fake.SetString(kUsers + "\\Emil", "Time01", "leading zero");

  EXPECT_EQ(Load(), "");
  EXPECT_THAT(State.RestrictedUsers.Items(), ElementsAre("Anna", "Bert", "Carl", "Dora", "Emil"));
  EXPECT_THAT(Rules(), ElementsAre(ElementsAre("a1", "a2"), ElementsAreArray(nine), ElementsAre(), ElementsAre(),
                                   ElementsAreArray(twelve)));

  std::vector<std::string> expected = {"Reading times for user: Anna", "Time 1 : a1", "Time 2 : a2",
                                       "Reading times for user: Bert"};
  for (int n = 1; n <= 9; ++n) expected.push_back("Time " + std::to_string(n) + " : b" + std::to_string(n));
  expected.push_back("Reading times for user: Carl");
  expected.push_back("Reading times for user: Dora");
  expected.push_back("Reading times for user: Emil");
  for (int n = 1; n <= 12; ++n) expected.push_back("Time " + std::to_string(n) + " : " + twelve[n - 1]);
  EXPECT_EQ(Log.Messages, expected);
}

TEST_F(ConfigTest, UserLinesNeedLevel2) {
  for (const uint32_t level : {0u, 1u, 0xFFFFFFFFu}) {
    TFakeRegistry fake;
    TConfiguration state;
    TRecordingLog log;
    fake.SetDword(kMain, "Debug", level);
    fake.SetString(kMain, "Path", "C:\\Logs");
    fake.SetString(kUsers + "\\Anna", "Time1", Rule('0'));
    LoadConfiguration(state, fake, TConfigLocation(), log, fake.LeadByteTest());
    EXPECT_TRUE(log.Messages.empty()) << level;
    EXPECT_THAT(state.RestrictedUsers.Items(), ElementsAre("Anna"));
    EXPECT_EQ(state.UserRules.size(), 1u);
  }
}

TEST_F(ConfigTest, RestrictionsKeyThatCannotBeOpenedGivesNoUsersAndAMessageAtLevel2) {
  for (const uint32_t level : {1u, 2u, 0xFFFFFFFEu}) {
    TFakeRegistry fake;
    TConfiguration state;
    TRecordingLog log;
    fake.SetDword(kMain, "Debug", level);
    fake.SetString(kMain, "Path", "C:\\Logs");
    fake.SetString(kUsers + "\\Anna", "Time1", Rule('0'));
    fake.FailOpen(kUsers, TRegistryApi::kErrorAccessDenied, {}, 2);  // exists, then denied
    LoadConfiguration(state, fake, TConfigLocation(), log, fake.LeadByteTest());
    EXPECT_TRUE(state.RestrictedUsers.Empty());
    EXPECT_TRUE(state.UserRules.empty());
    const std::vector<std::string> expected =
        level == 1 ? std::vector<std::string>{} : std::vector<std::string>{kNoUsers};
    EXPECT_EQ(log.Messages, expected) << static_cast<int32_t>(level);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
  }
}

TEST_F(ConfigTest, AWrongTypeForATimeValueKeepsAllUsersButOnlyTheRulesReadBefore) {
  Fake.SetDword(kMain, "Debug", 3);
  Fake.SetString(kMain, "Path", "C:\\New");
  AddUser("Anna", {Rule('0')});
  AddUser("Bert", {Rule('1')});
  Fake.SetDword(kUsers + "\\Bert", "Time2", 1);
  AddUser("Carl", {Rule('0')});

  EXPECT_EQ(Load(), "Invalid data type for 'Time2'");
  EXPECT_EQ(State.DebugLevel, 3);
  EXPECT_EQ(State.AppPath, "C:\\New\\");
  EXPECT_THAT(State.RestrictedUsers.Items(), ElementsAre("Anna", "Bert", "Carl"));
  EXPECT_THAT(Rules(), ElementsAre(ElementsAre(Rule('0'))));

  // The same value stops every later load at the same place.
  EXPECT_EQ(Load(), "Invalid data type for 'Time2'");
  EXPECT_EQ(State.UserRules.size(), 1u);
}

TEST_F(ConfigTest, ReloadsReplaceTheListsAndDropRemovedUsers) {
  AddUser("Anna", {Rule('0'), Rule('1')});
  AddUser("Bert", {Rule('1')});
  AddUser("Carl", {"c"});
  EXPECT_EQ(Load(), "");
  const auto users = State.RestrictedUsers.Items();
  const auto rules = Rules();
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(State.RestrictedUsers.Items(), users);
  EXPECT_EQ(Rules(), rules);

  Fake.RemoveKey(kUsers + "\\Bert");
  EXPECT_EQ(Load(), "");
  EXPECT_THAT(State.RestrictedUsers.Items(), ElementsAre("Anna", "Carl"));
  EXPECT_THAT(Rules(), ElementsAre(ElementsAre(Rule('0'), Rule('1')), ElementsAre("c")));

  Fake.RemoveKey(kUsers);
  EXPECT_EQ(Load(), "");
  EXPECT_TRUE(State.RestrictedUsers.Empty());
  EXPECT_TRUE(State.UserRules.empty());
}

TEST_F(ConfigTest, PositionsStayParallelWhenTheListingOrTheReadingMisbehaves) {
  Fake.CodePage = 932;
  const std::string taro = "\x91\xBE\x98\x59";
  AddUser("Anna", {"a"});
  AddUser("Bert", {"b"});
  AddUser(taro, {"t"});
  AddUser("Dora", {"d1", "d2"});
  Fake.FailEnumIndex(1, TRegistryApi::kErrorNoMoreItems);  // Bert deleted during the listing
  Fake.SetValue(kUsers + "\\Dora", "Time1", TRegistryApi::kRegSz, "unterminated");
  Fake.GrowAfterSizeQuery(kUsers + "\\Dora", "Time2", Rule('1') + std::string(1, '\0'));

  EXPECT_EQ(Load(), "");
  EXPECT_THAT(State.RestrictedUsers.Items(), ElementsAre("Anna", taro, "Dora"));
  EXPECT_THAT(Rules(), ElementsAre(ElementsAre("a"), ElementsAre("t"), ElementsAre("unterminated", Rule('1'))));
}

}  // namespace

namespace {
const std::string kZones = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
// Tokyo's TZI: UTC = local - 9 h, no daylight saving.
const std::string kTokyoTzi = std::string("\xE4\xFD\xFF\xFF", 4) + std::string(40, '\0');

struct TAdditionCase {
  const char* Name;
  std::function<void(TFakeRegistry&)> Setup;
  int32_t WarnMinutes;
  const char* ZoneName;  // of the zone in force; "" none
  std::vector<std::string> Lines;  // besides those of the design
  TEndAction EndAction = TEndAction::PowerOff;
  bool Backstop = false;
};

TEST_F(ConfigTest, OptionalValuesAreReadWhenPresentAndLeftOffWhenUnusable) {
  auto main = [](std::function<void(TFakeRegistry&)> more) {
    return [more](TFakeRegistry& r) {
      r.SetDword(kMain, "Debug", 1);
      r.SetString(kMain, "Path", "C:\\Logs");
      r.SetValue(kZones + "\\Tokyo Standard Time", "TZI", TRegistryApi::kRegBinary, kTokyoTzi);
      r.SetValue(kZones + "\\Broken", "TZI", TRegistryApi::kRegBinary, kTokyoTzi.substr(0, 40));
      more(r);
    };
  };
  const std::string bad = "ERROR:WarnMinutes must be a number from 0 to 60 (REG_DWORD), no warnings are sent: ";
  const std::string unknown = "ERROR:Unknown time zone in TimeZone, the computer's local time is used: ";
  const std::string endAction =
      "ERROR:EndAction must be lock, signout or poweroff, the computer is switched off when time ends: ";
  const std::string backstop =
      "ERROR:LogonHoursBackstop must be 0 or 1 (REG_DWORD), Windows' logon hours are not kept: ";
  const TAdditionCase cases[] = {
      {"none", main([](TFakeRegistry&) {}), 0, "", {}},
      {"warn 10", main([](TFakeRegistry& r) { r.SetDword(kMain, "WarnMinutes", 10); }), 10, "", {}},
      {"warn 60", main([](TFakeRegistry& r) { r.SetDword(kMain, "WarnMinutes", 60); }), 60, "", {}},
      {"warn 0", main([](TFakeRegistry& r) { r.SetDword(kMain, "WarnMinutes", 0); }), 0, "", {}},
      {"warn 61", main([](TFakeRegistry& r) { r.SetDword(kMain, "WarnMinutes", 61); }), 0, "", {bad + "61"}},
      {"warn -1", main([](TFakeRegistry& r) { r.SetDword(kMain, "WarnMinutes", 0xFFFFFFFF); }), 0, "", {bad + "-1"}},
      {"warn as text", main([](TFakeRegistry& r) { r.SetString(kMain, "WarnMinutes", "10"); }), 0, "",
       {bad + "not a REG_DWORD"}},
      {"zone", main([](TFakeRegistry& r) { r.SetString(kMain, "TimeZone", "Tokyo Standard Time"); }), 0,
       "Tokyo Standard Time", {}},
      {"unknown zone", main([](TFakeRegistry& r) { r.SetString(kMain, "TimeZone", "Mars Standard Time"); }), 0, "",
       {unknown + "Mars Standard Time"}},
      {"zone without a usable TZI", main([](TFakeRegistry& r) { r.SetString(kMain, "TimeZone", "Broken"); }), 0, "",
       {unknown + "Broken"}},
      {"zone through a path", main([](TFakeRegistry& r) {
         r.SetValue(kZones + "\\Outer\\Inner", "TZI", TRegistryApi::kRegBinary, kTokyoTzi);
         r.SetString(kMain, "TimeZone", "Outer\\Inner");
       }), 0, "", {unknown + "Outer\\Inner"}},
      {"empty zone: none", main([](TFakeRegistry& r) { r.SetString(kMain, "TimeZone", ""); }), 0, "", {}},
      {"zone as a number", main([](TFakeRegistry& r) { r.SetDword(kMain, "TimeZone", 9); }), 0, "",
       {unknown + "(not a REG_SZ)"}},
      {"sign out", main([](TFakeRegistry& r) { r.SetString(kMain, "EndAction", "SignOut"); }), 0, "", {},
       TEndAction::SignOut},
      {"lock", main([](TFakeRegistry& r) { r.SetString(kMain, "EndAction", "LOCK"); }), 0, "", {}, TEndAction::Lock},
      {"power off", main([](TFakeRegistry& r) { r.SetString(kMain, "EndAction", "poweroff"); }), 0, "", {}},
      {"another action", main([](TFakeRegistry& r) { r.SetString(kMain, "EndAction", "reboot"); }), 0, "",
       {endAction + "reboot"}},
      {"action as a number", main([](TFakeRegistry& r) { r.SetDword(kMain, "EndAction", 1); }), 0, "",
       {endAction + "(not a REG_SZ)"}},
      {"backstop on", main([](TFakeRegistry& r) { r.SetDword(kMain, "LogonHoursBackstop", 1); }), 0, "", {},
       TEndAction::PowerOff, true},
      {"backstop off", main([](TFakeRegistry& r) { r.SetDword(kMain, "LogonHoursBackstop", 0); }), 0, "", {}},
      {"backstop 2", main([](TFakeRegistry& r) { r.SetDword(kMain, "LogonHoursBackstop", 2); }), 0, "",
       {backstop + "2"}},
      {"backstop as text", main([](TFakeRegistry& r) { r.SetString(kMain, "LogonHoursBackstop", "1"); }), 0, "",
       {backstop + "not a REG_DWORD"}},
  };
  for (const TAdditionCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Fake = TFakeRegistry();
    Log.Messages.clear();
    State.WarnMinutes = 5;  // a reload must drop what the last one read
    State.EndAction = TEndAction::SignOut;
    State.LogonHoursBackstop = true;
    c.Setup(Fake);
    EXPECT_EQ(Load(), "");
    EXPECT_EQ(State.WarnMinutes, c.WarnMinutes);
    EXPECT_EQ(State.FixedZone ? State.FixedZone->Name : "", c.ZoneName);
    EXPECT_EQ(Log.Messages, c.Lines);
    EXPECT_EQ(State.EndAction, c.EndAction);
    EXPECT_EQ(State.LogonHoursBackstop, c.Backstop);
  }
}

TEST_F(ConfigTest, ExtraTimeIsReadPerUserAndAnUnreadableOneIsLoggedAndIgnored) {
  Fake.SetDword(kMain, "Debug", 1);
  Fake.SetString(kMain, "Path", "C:\\Logs");
  AddUser("Anna", {Rule('1')});
  AddUser("Bert", {Rule('1')});
  AddUser("Cleo", {Rule('1')});
  AddUser("Dora", {Rule('1')});
  Fake.SetString(kUsers + "\\Anna", "AllowUntil", "2026-12-07 21:15");
  Fake.SetString(kUsers + "\\Bert", "AllowUntil", "tonight");
  Fake.SetDword(kUsers + "\\Dora", "AllowUntil", 5);
  EXPECT_EQ(Load(), "");
  ASSERT_EQ(State.UserExtras.size(), 4u);
  EXPECT_EQ(State.UserExtras[0].ExtraTime.Text, "2026-12-07 21:15");
  EXPECT_EQ(State.UserExtras[0].ExtraTime.Until % 86400, (21 * 60 + 15) * 60);
  EXPECT_EQ(State.UserExtras[1].ExtraTime.Until, 0);
  EXPECT_EQ(State.UserExtras[2].ExtraTime.Until, 0);
  EXPECT_EQ(State.UserExtras[2].ExtraTime.Text, "");
  EXPECT_EQ(Log.Messages,
            (std::vector<std::string>{
                "ERROR:Extra time ignored, AllowUntil is not YYYY-MM-DD HH:MM for user: Bert AllowUntil=tonight",
                "ERROR:Extra time ignored, AllowUntil is not YYYY-MM-DD HH:MM for user: Dora AllowUntil=(not a REG_SZ)"}));
}
}  // namespace
