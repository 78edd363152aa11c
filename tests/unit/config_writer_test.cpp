// The configuration writer and the value listing against the in-memory
// registry: what the hive holds afterwards, the messages of every failure, and
// that no key is left open. The views, the real calls and the read-back by the
// service's load are proven under Wine.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "common/exceptions.h"
#include "tests/fakes/fake_registry.h"
#include "winsys/config_writer.h"

bool operator==(const TRegistryValue& a, const TRegistryValue& b) {
  return a.Name == b.Name && a.Type == b.Type && a.Data == b.Data;
}

namespace {
using ::testing::ElementsAre;
using TOp = TFakeRegistry::TOp;

const std::string kMain = "SOFTWARE\\Vrem\\NortavelFree";
const std::string kChild = kMain + "\\Time_restrictions\\child";

TRegistryValue Sz(const std::string& name, const std::string& text) {
  return {name, TRegistryApi::kRegSz, text + std::string(1, '\0')};
}

class ConfigWriterTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(Fake.OpenHandleCount(), 0u) << "a key was left open";
    EXPECT_EQ(Fake.BadCloses, 0);
  }

  // The message and code of the EOSError the operation raises.
  static std::pair<std::string, uint32_t> ErrorOf(const std::function<void()>& operation) {
    try {
      operation();
    } catch (const EOSError& e) {
      return {e.Message(), e.ErrorCode};
    }
    return {"", 0};
  }

  TFakeRegistry Fake;
  TConfigWriter Writer{Fake, TConfigLocation()};
};

TEST_F(ConfigWriterTest, WritesTheRulesAndMainValuesIntoKeysItCreates) {
  Writer.WriteRules("child", {"r1", "r2"});
  Writer.WriteLevel(-1);
  Writer.WritePath("C:\\Logs");
  EXPECT_THAT(Fake.ValuesOf(kChild), ElementsAre(Sz("Time1", "r1"), Sz("Time2", "r2")));
  EXPECT_THAT(Fake.ValuesOf(kMain), ElementsAre(TRegistryValue{"Debug", TRegistryApi::kRegDword, "\xFF\xFF\xFF\xFF"},
                                                Sz("Path", "C:\\Logs")));
}

TEST_F(ConfigWriterTest, DeletesEveryTimeValueTheServiceWouldReadBeyondTheNewRules) {
  for (const char* name : {"Time1", "Time2", "Time3", "time4", "Time9", "Time07", "Time0", "Timer", "Note"})
    Fake.SetString(kChild, name, "old");
  Fake.SetString(kMain + "\\Time_restrictions\\other", "Time3", "kept");

  Writer.WriteRules("child", {"new"});
  EXPECT_THAT(Fake.ValuesOf(kChild),
              ElementsAre(Sz("Time1", "new"), Sz("Time07", "old"), Sz("Time0", "old"), Sz("Timer", "old"),
                          Sz("Note", "old")));
  Writer.WriteRules("child", {});
  EXPECT_THAT(Fake.ValuesOf(kChild), ElementsAre(Sz("Time07", "old"), Sz("Time0", "old"), Sz("Timer", "old"),
                                                 Sz("Note", "old")));
  EXPECT_THAT(Fake.ValuesOf(kMain + "\\Time_restrictions\\other"), ElementsAre(Sz("Time3", "kept")));
}

TEST_F(ConfigWriterTest, RemoveUserDeletesOnlyThatUsersKey) {
  Fake.SetString(kChild, "Time1", "r");
  Fake.SetString(kMain + "\\Time_restrictions\\other", "Time1", "r");
  EXPECT_TRUE(Writer.RemoveUser("child"));
  EXPECT_FALSE(Fake.HasKey(kChild));
  EXPECT_TRUE(Fake.HasKey(kMain + "\\Time_restrictions\\other"));
  EXPECT_FALSE(Writer.RemoveUser("child"));
}

TEST_F(ConfigWriterTest, EveryFailureNamesTheKeyOrValueAndKeepsTheCode) {
  const std::string key = "\\SOFTWARE\\Vrem\\NortavelFree\\Time_restrictions\\child";
  const struct {
    TOp Op;
    std::string Target;
    std::function<void(TConfigWriter&)> Run;
    std::string Message;
  } cases[] = {
      {TOp::Create, kChild, [](TConfigWriter& w) { w.WriteRules("child", {"a"}); },
       "Cannot create key " + key + ": System error 5"},
      {TOp::SetValue, "Time2", [](TConfigWriter& w) { w.WriteRules("child", {"a", "b"}); },
       "Cannot write Time2 of user child: System error 5"},
      {TOp::EnumValue, kChild, [](TConfigWriter& w) { w.WriteRules("child", {"a"}); },
       "Cannot list the values of user child: System error 5"},
      {TOp::DeleteValue, "Time3", [](TConfigWriter& w) { w.WriteRules("child", {"a"}); },
       "Cannot delete Time3 of user child: System error 5"},
      {TOp::DeleteKey, kChild, [](TConfigWriter& w) { w.RemoveUser("child"); },
       "Cannot delete key " + key + ": System error 5"},
      {TOp::Create, kMain, [](TConfigWriter& w) { w.WriteLevel(2); },
       "Cannot create key \\SOFTWARE\\Vrem\\NortavelFree: System error 5"},
      {TOp::SetValue, "Path", [](TConfigWriter& w) { w.WritePath("C:\\"); },
       "Cannot write Path in \\SOFTWARE\\Vrem\\NortavelFree: System error 5"},
      {TOp::SetValue, "Budget2", [](TConfigWriter& w) { w.WriteBudgets("child", {-1, 60, -1, -1, -1, -1, -1}); },
       "Cannot write Budget2 of user child: System error 5"},
      {TOp::DeleteValue, "Budget7", [](TConfigWriter& w) { w.WriteBudgets("child", {0, 0, 0, 0, 0, 0, -1}); },
       "Cannot delete Budget7 of user child: System error 5"},
  };
  for (const auto& c : cases) {
    TFakeRegistry fake;
    fake.SetString(kChild, "Time3", "old");
    fake.FailCall(c.Op, c.Target, TRegistryApi::kErrorAccessDenied);
    TConfigWriter writer(fake, TConfigLocation());
    EXPECT_EQ(ErrorOf([&] { c.Run(writer); }), std::make_pair(c.Message, 5u)) << c.Message;
    EXPECT_EQ(fake.OpenHandleCount(), 0u) << c.Message;
  }
}

// A budget alone restricts nobody: without the user's key there is nothing to write it to.
TEST_F(ConfigWriterTest, BudgetsGoOnlyIntoTheKeyOfAConfiguredUser) {
  EXPECT_EQ(ErrorOf([&] { Writer.WriteBudgets("child", {60, 60, 60, 60, 60, -1, -1}); }),
            std::make_pair("Cannot open key " + std::string("\\") + kChild + ": System error 2", 2u));
  EXPECT_FALSE(Fake.HasKey(kChild));
}

TEST_F(ConfigWriterTest, ANameThatIsNoSingleKeyIsRefusedBeforeAnyCall) {
  for (const std::string& user : {std::string(), std::string("a\\b"), std::string("ann\0a", 5)}) {
    EXPECT_EQ(ErrorOf([&] { Writer.WriteRules(user, {"r"}); }),
              std::make_pair("Invalid user name '" + user + "'", 123u));
    EXPECT_EQ(ErrorOf([&] { Writer.RemoveUser(user); }).second, 123u);
  }
  EXPECT_TRUE(Fake.Calls.empty());
}

TEST_F(ConfigWriterTest, ListValuesGivesTypesAndRawDataOfAnyLength) {
  const std::string big(1000, '\x7F');
  Fake.SetValue(kMain, "Blob", TRegistryApi::kRegBinary, big);
  Fake.SetDword(kMain, "Debug", 3);
  Fake.SetValue(kMain, "Raw", TRegistryApi::kRegSz, "no terminator");
  TRegistry registry(Fake, TRegistryApi::kLocalMachine);
  EXPECT_TRUE(registry.ListValues().empty()) << "no current key";
  ASSERT_TRUE(registry.OpenForReading("\\" + kMain + "\\"));
  EXPECT_THAT(registry.ListValues(),
              ElementsAre(TRegistryValue{"Blob", TRegistryApi::kRegBinary, big},
                          TRegistryValue{"Debug", TRegistryApi::kRegDword, std::string("\x03\0\0\0", 4)},
                          TRegistryValue{"Raw", TRegistryApi::kRegSz, "no terminator"}));

  Fake.FailCall(TOp::EnumValue, kMain, TRegistryApi::kErrorAccessDenied);
  EXPECT_EQ(ErrorOf([&] { registry.ListValues(); }),
            std::make_pair("Cannot list the values of \\" + kMain + "\\: System error 5", 5u));
}

}  // namespace
