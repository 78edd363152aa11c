// The configuration writer and the value listing against the real registry of
// the private Wine prefix, in a throwaway key of their own, in both views; what
// they write is read back by the service's own load.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <process.h>

#include <string>
#include <vector>

#include "common/system_error.h"
#include "tests/fakes/recording_log.h"
#include "winsys/config_writer.h"
#include "winsys/process_api.h"

bool operator==(const TRegistryValue& a, const TRegistryValue& b) {
  return a.Name == b.Name && a.Type == b.Type && a.Data == b.Data;
}

namespace {
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

const std::string kThrowaway = "SOFTWARE\\NortavelFreeWriterTest" + std::to_string(_getpid());
const std::string kMain = kThrowaway + "\\Vrem\\NortavelFree";
const std::string kUsers = kMain + "\\Time_restrictions";
constexpr uint32_t kViews[] = {TRegistryApi::kKeyWow64_32Key, TRegistryApi::kKeyWow64_64Key};

TConfigLocation Location(TRegistryView view) {
  TConfigLocation location;
  location.MainKeyPath = "\\" + kMain + "\\";
  location.View = view;
  return location;
}

class WineConfigWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveAll(); }
  void TearDown() override { RemoveAll(); }

  // Every key the tests create, deepest first, in both views.
  static void RemoveAll() {
    for (const uint32_t view : kViews)
      for (const std::string& key : {kUsers + "\\child", kUsers + "\\kid", kUsers, kMain, kThrowaway + "\\Vrem",
                                     kThrowaway})
        PlatformRegistry().DeleteKey(TRegistryApi::kLocalMachine, key, view);
  }

  TConfiguration Load(TRegistryView view) {
    TConfiguration config;
    TRecordingLog log;
    LoadConfiguration(config, PlatformRegistry(), Location(view), log);
    return config;
  }
  // The rules of each user the view holds, in the order the load found them.
  std::vector<std::vector<std::string>> Rules(TRegistryView view) {
    std::vector<std::vector<std::string>> rules;
    for (const TStringList& list : Load(view).UserRules) rules.push_back(list.Items());
    return rules;
  }

  TConfigWriter Writer32{PlatformRegistry(), Location(TRegistryView::View32)};
  TConfigWriter Writer64{PlatformRegistry(), Location(TRegistryView::View64)};
};

TEST_F(WineConfigWriterTest, EachViewHoldsWhatWasWrittenIntoIt) {
  if (sizeof(void*) == 4 && !PlatformProcesses().RunsUnderWow64())
    GTEST_SKIP() << "32-bit Windows has a single registry view";
  Writer32.WriteLevel(3);
  Writer32.WritePath("C:\\Thirty two");
  Writer32.WriteRules("child", {"a", "b", "c"});
  Writer64.WriteLevel(-1);
  Writer64.WritePath("C:\\Sixty four\\");
  Writer64.WriteRules("kid", {"d"});

  TConfiguration config = Load(TRegistryView::View32);
  EXPECT_EQ(config.DebugLevel, 3);
  EXPECT_EQ(config.AppPath, "C:\\Thirty two\\");
  EXPECT_THAT(config.RestrictedUsers.Items(), ElementsAre("child"));
  EXPECT_THAT(Rules(TRegistryView::View32), ElementsAre(ElementsAre("a", "b", "c")));
  config = Load(TRegistryView::View64);
  EXPECT_EQ(config.DebugLevel, -1);
  EXPECT_EQ(config.AppPath, "C:\\Sixty four\\");
  EXPECT_THAT(config.RestrictedUsers.Items(), ElementsAre("kid"));
  EXPECT_THAT(Rules(TRegistryView::View64), ElementsAre(ElementsAre("d")));

  Writer32.WriteRules("child", {"e"});
  EXPECT_THAT(Rules(TRegistryView::View32), ElementsAre(ElementsAre("e")));

  EXPECT_FALSE(Writer64.RemoveUser("child"));
  EXPECT_TRUE(Writer32.RemoveUser("child"));
  EXPECT_FALSE(Writer32.RemoveUser("child"));
  EXPECT_TRUE(Load(TRegistryView::View32).RestrictedUsers.Empty());
  EXPECT_THAT(Load(TRegistryView::View64).RestrictedUsers.Items(), ElementsAre("kid"));
}

TEST_F(WineConfigWriterTest, ValuesAreListedWithTheirTypesAndWholeData) {
  TRegistryApi& api = PlatformRegistry();
  const std::string blob(1000, '\x5A');
  const std::string expand("%TEMP%\\x\0", 9);
  uintptr_t key = 0;
  ASSERT_EQ(api.CreateKey(TRegistryApi::kLocalMachine, kMain, TRegistryApi::kOptionNonVolatile,
                          TRegistryApi::kKeySetValue, key),
            0);
  const TOwnedKey owned(api, key);
  const auto set = [&](const std::string& name, uint32_t type, const std::string& data) {
    return api.SetValue(key, name, type, reinterpret_cast<const uint8_t*>(data.data()),
                        static_cast<uint32_t>(data.size()));
  };
  ASSERT_EQ(set("Blob", TRegistryApi::kRegBinary, blob), 0);
  ASSERT_EQ(set("Expand", TRegistryApi::kRegExpandSz, expand), 0);
  TConfigWriter(api, Location(TRegistryView::Own)).WriteLevel(7);

  TRegistry registry(api, TRegistryApi::kLocalMachine);
  ASSERT_TRUE(registry.OpenForReading(kMain));
  EXPECT_THAT(registry.ListValues(),
              UnorderedElementsAre(TRegistryValue{"Blob", TRegistryApi::kRegBinary, blob},
                                   TRegistryValue{"Expand", TRegistryApi::kRegExpandSz, expand},
                                   TRegistryValue{"Debug", TRegistryApi::kRegDword, std::string("\x07\0\0\0", 4)}));
}

// As the writer's contract says: a user key with a subkey is not its to delete.
TEST_F(WineConfigWriterTest, AUserKeyWithASubkeyIsRefusedWithAccessDenied) {
  Writer32.WriteRules("child", {"a"});
  uintptr_t key = 0;
  ASSERT_EQ(PlatformRegistry().CreateKey(TRegistryApi::kLocalMachine, kUsers + "\\child\\extra",
                                         TRegistryApi::kOptionNonVolatile,
                                         TRegistryApi::kKeySetValue | TRegistryApi::kKeyWow64_32Key, key),
            0);
  PlatformRegistry().CloseKey(key);
  try {
    Writer32.RemoveUser("child");
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, 5u);
    EXPECT_EQ(e.Message(), "Cannot delete key \\" + kUsers + "\\child: " + SystemErrorText(5));
  }
  PlatformRegistry().DeleteKey(TRegistryApi::kLocalMachine, kUsers + "\\child\\extra",
                               TRegistryApi::kKeyWow64_32Key);
}

}  // namespace
