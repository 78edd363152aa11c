// The registry accessor against the in-memory registry: the arguments it hands
// the system, the masks it falls back through, and how it survives odd data.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "common/exceptions.h"
#include "tests/fakes/fake_registry.h"
#include "winsys/registry.h"

namespace {
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using TOp = TFakeRegistry::TOp;

constexpr char kKey[] = "SOFTWARE\\Test";
constexpr char kOther[] = "SOFTWARE\\Other";

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Registry.reset();
    EXPECT_EQ(Fake.OpenHandleCount(), 0u) << "a key was left open";
    EXPECT_EQ(Fake.BadCloses, 0);
  }

  std::vector<uint32_t> OpenMasks() const {
    std::vector<uint32_t> masks;
    for (const auto& call : Fake.CallsOf(TOp::Open)) masks.push_back(call.Access);
    return masks;
  }

  // The message of the registry error the operation raises, or "" if none.
  template <class F>
  static std::string ErrorOf(F&& operation) {
    try {
      operation();
    } catch (const ERegistryException& e) {
      return e.Message();
    }
    return "";
  }

  TFakeRegistry Fake;
  std::unique_ptr<TRegistry> Registry = std::make_unique<TRegistry>(Fake, TRegistryApi::kLocalMachine);
};

TEST_F(RegistryTest, KeyExistsOpensBelowTheRootWithoutTheLeadingBackslashAndClosesAtOnce) {
  Fake.AddKey(kKey);
  EXPECT_TRUE(Registry->KeyExists("\\SOFTWARE\\Test\\"));
  EXPECT_FALSE(Registry->KeyExists("\\SOFTWARE\\Missing\\"));

  ASSERT_EQ(Fake.Calls.size(), 3u);
  const auto& open = Fake.Calls[0];
  EXPECT_EQ(open.Op, TOp::Open);
  EXPECT_EQ(open.Key, TRegistryApi::kLocalMachine);
  EXPECT_EQ(open.Target, "SOFTWARE\\Test\\");
  EXPECT_EQ(open.Access, 0x20009u);
  EXPECT_EQ(Fake.Calls[1].Op, TOp::Close);
  EXPECT_EQ(Fake.Calls[1].Key, open.Opened);
  EXPECT_EQ(Fake.Calls[2].Target, "SOFTWARE\\Missing\\");
  EXPECT_EQ(Fake.OpenHandleCount(), 0u);
}

TEST_F(RegistryTest, KeyExistsLeavesTheCurrentKeyAlone) {
  Fake.SetDword(kOther, "V", 1);
  Fake.AddKey(kKey);
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Other\\"));
  EXPECT_TRUE(Registry->KeyExists("\\SOFTWARE\\Test\\"));
  EXPECT_TRUE(Registry->ValueExists("V"));
}

TEST_F(RegistryTest, OpenForReadingFallsBackThroughTheThreeMasks) {
  const struct {
    std::set<uint32_t> Denied;
    std::vector<uint32_t> Tried;
    bool Opened;
  } cases[] = {
      {{}, {0x20019}, true},
      {{0x20019}, {0x20019, 0x20009}, true},
      {{0x20019, 0x20009}, {0x20019, 0x20009, 0x1}, true},
      {{0x20019, 0x20009, 0x1}, {0x20019, 0x20009, 0x1}, false},
  };
  for (const auto& c : cases) {
    TFakeRegistry fake;
    fake.SetDword(kKey, "V", 7);
    if (!c.Denied.empty()) fake.FailOpen(kKey, TRegistryApi::kErrorAccessDenied, c.Denied);
    {
      TRegistry registry(fake, TRegistryApi::kLocalMachine);
      EXPECT_EQ(registry.OpenForReading("\\SOFTWARE\\Test\\"), c.Opened);
      EXPECT_EQ(registry.ValueExists("V"), c.Opened) << "the granted key is the current key";
    }
    std::vector<uint32_t> tried;
    for (const auto& call : fake.CallsOf(TOp::Open)) {
      tried.push_back(call.Access);
      EXPECT_EQ(call.Target, "SOFTWARE\\Test\\");
    }
    EXPECT_EQ(tried, c.Tried);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
  }
}

TEST_F(RegistryTest, ASuccessfulOpenClosesThePreviousKeyAndAFailedOneKeepsIt) {
  Fake.SetDword(kKey, "InTest", 1);
  Fake.SetDword(kOther, "InOther", 1);
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Test\\"));
  const uintptr_t first = Fake.Calls.back().Opened;
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Other\\"));
  ASSERT_EQ(Fake.Calls.back().Op, TOp::Close);
  EXPECT_EQ(Fake.Calls.back().Key, first);
  EXPECT_EQ(Fake.Calls[Fake.Calls.size() - 2].Op, TOp::Open) << "closed only after the new key is open";
  EXPECT_FALSE(Registry->ValueExists("InTest"));
  EXPECT_TRUE(Registry->ValueExists("InOther"));

  const size_t before = Fake.Calls.size();
  EXPECT_FALSE(Registry->OpenForReading("\\SOFTWARE\\Missing\\"));
  EXPECT_EQ(Fake.CallsOf(TOp::Close).size(), 1u);
  EXPECT_EQ(Fake.Calls.size(), before + 3) << "three masks tried, nothing closed";
  EXPECT_TRUE(Registry->ValueExists("InOther"));

  Registry->Close();
  Registry->Close();
  EXPECT_EQ(Fake.CallsOf(TOp::Close).size(), 2u);
  EXPECT_FALSE(Registry->ValueExists("InOther"));
}

TEST_F(RegistryTest, ValueExistsFetchesNoData) {
  Fake.SetString(kKey, "Path", "C:\\Logs");
  EXPECT_FALSE(Registry->ValueExists("Path")) << "no current key";
  EXPECT_TRUE(Fake.CallsOf(TOp::QueryValue).empty());
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Test\\"));
  EXPECT_TRUE(Registry->ValueExists("Path"));
  EXPECT_FALSE(Registry->ValueExists("Debug"));
  for (const auto& call : Fake.CallsOf(TOp::QueryValue)) EXPECT_FALSE(call.WithData) << call.Target;
}

struct TIntegerCase {
  const char* Name;
  uint32_t Type;
  std::string Data;
  int32_t Value;
  std::string Error;
};

TEST_F(RegistryTest, ReadIntegerFetchesFourBytesOfADword) {
  const std::string qword("\x01\0\0\0\0\0\0\0", 8);
  const TIntegerCase cases[] = {
      {"one", TRegistryApi::kRegDword, std::string("\x01\0\0\0", 4), 1, ""},
      {"all ones", TRegistryApi::kRegDword, "\xFF\xFF\xFF\xFF", -1, ""},
      {"two bytes", TRegistryApi::kRegDword, "\x34\x12", 0x1234, ""},
      {"one byte", TRegistryApi::kRegDword, "\x7F", 0x7F, ""},
      {"no bytes", TRegistryApi::kRegDword, "", 0, ""},
      {"one digit", TRegistryApi::kRegSz, std::string("1\0", 2), 0, "Invalid data type for 'V'"},
      {"three digits", TRegistryApi::kRegSz, std::string("123\0", 4), 0, "Invalid data type for 'V'"},
      {"five digits", TRegistryApi::kRegSz, std::string("12345\0", 6), 0, "Failed to get data for 'V'"},
      {"qword", TRegistryApi::kRegQword, qword, 0, "Failed to get data for 'V'"},
      {"dword of eight bytes", TRegistryApi::kRegDword, qword, 0, "Failed to get data for 'V'"},
      {"binary", TRegistryApi::kRegBinary, std::string("\x01\0\0\0", 4), 0, "Invalid data type for 'V'"},
      {"big endian", TRegistryApi::kRegDwordBigEndian, std::string("\0\0\0\x01", 4), 0, "Invalid data type for 'V'"},
  };
  for (const auto& c : cases) {
    TFakeRegistry fake;
    fake.SetValue(kKey, "V", c.Type, c.Data);
    TRegistry registry(fake, TRegistryApi::kLocalMachine);
    ASSERT_TRUE(registry.OpenForReading("\\SOFTWARE\\Test\\"));
    int32_t value = 0;
    EXPECT_EQ(ErrorOf([&] { value = registry.ReadInteger("V"); }), c.Error) << c.Name;
    if (c.Error.empty()) {
      EXPECT_EQ(value, c.Value) << c.Name;
    }
    const auto queries = fake.CallsOf(TOp::QueryValue);
    ASSERT_EQ(queries.size(), 1u) << c.Name;
    EXPECT_TRUE(queries[0].WithData);
    EXPECT_EQ(queries[0].Room, 4u) << c.Name;
  }
}

TEST_F(RegistryTest, ReadIntegerOfAMissingValueOrWithoutKeyCannotGetData) {
  EXPECT_EQ(ErrorOf([&] { Registry->ReadInteger("Debug"); }), "Failed to get data for 'Debug'");
  Fake.AddKey(kKey);
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Test\\"));
  EXPECT_EQ(ErrorOf([&] { Registry->ReadInteger("Debug"); }), "Failed to get data for 'Debug'");
}

struct TStringCase {
  const char* Name;
  uint32_t Type;
  std::string Data;
  std::string Text;
  std::string Error;
};

TEST_F(RegistryTest, ReadStringStaysInsideTheDataWhateverItHolds) {
  const TStringCase cases[] = {
      {"terminated", TRegistryApi::kRegSz, std::string("C:\\Logs\0", 8), "C:\\Logs", ""},
      {"expand kept literally", TRegistryApi::kRegExpandSz, std::string("%SystemRoot%\\Logs\0", 18),
       "%SystemRoot%\\Logs", ""},
      {"unterminated", TRegistryApi::kRegSz, "abc", "abc", ""},
      {"odd length", TRegistryApi::kRegSz, "abcde", "abcde", ""},
      {"zero inside", TRegistryApi::kRegSz, std::string("ab\0cd\0", 6), "ab", ""},
      {"only a zero", TRegistryApi::kRegSz, std::string(1, '\0'), "", ""},
      {"no data", TRegistryApi::kRegSz, "", "", ""},
      {"dword without data", TRegistryApi::kRegDword, "", "", ""},
      {"dword", TRegistryApi::kRegDword, std::string("\x01\0\0\0", 4), "", "Invalid data type for 'S'"},
      {"multi", TRegistryApi::kRegMultiSz, std::string("a\0b\0\0", 5), "", "Invalid data type for 'S'"},
      {"binary", TRegistryApi::kRegBinary, "xyz", "", "Invalid data type for 'S'"},
  };
  for (const auto& c : cases) {
    TFakeRegistry fake;
    fake.SetValue(kKey, "S", c.Type, c.Data);
    TRegistry registry(fake, TRegistryApi::kLocalMachine);
    ASSERT_TRUE(registry.OpenForReading("\\SOFTWARE\\Test\\"));
    std::string text = "unchanged";
    EXPECT_EQ(ErrorOf([&] { text = registry.ReadString("S"); }), c.Error) << c.Name;
    if (c.Error.empty()) {
      EXPECT_EQ(text, c.Text) << c.Name;
    }

    const auto queries = fake.CallsOf(TOp::QueryValue);
    ASSERT_FALSE(queries.empty());
    EXPECT_FALSE(queries[0].WithData) << "the size comes first";
    EXPECT_TRUE(queries[0].WithSize);
    if (!c.Data.empty()) {
      ASSERT_EQ(queries.size(), 2u) << c.Name;
      EXPECT_TRUE(queries[1].WithData);
      EXPECT_EQ(queries[1].Room, c.Data.size()) << c.Name;
    } else {
      EXPECT_EQ(queries.size(), 1u) << c.Name << ": size 0 gives the empty string";
    }
  }
}

TEST_F(RegistryTest, ReadStringQueriesAgainWhenTheValueGrowsBeforeTheRead) {
  const std::string grown(300, '1');
  Fake.SetString(kKey, "Time1", "0");
  Fake.GrowAfterSizeQuery(kKey, "Time1", grown + std::string(1, '\0'));
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Test\\"));
  EXPECT_EQ(Registry->ReadString("Time1"), grown);
  const auto queries = Fake.CallsOf(TOp::QueryValue);
  ASSERT_EQ(queries.size(), 3u);
  EXPECT_EQ(queries[1].Room, 2u);
  EXPECT_EQ(queries[1].Result, TRegistryApi::kErrorMoreData);
  EXPECT_EQ(queries[2].Room, 301u);
}

TEST_F(RegistryTest, ReadStringGivesEmptyWhenTheSizeFailsAndRaisesWhenTheReadFails) {
  Fake.SetString(kKey, "A", "text");
  Fake.SetString(kKey, "B", "text");
  Fake.FailQueryValue("A", TRegistryApi::kErrorAccessDenied, 1);
  Fake.FailQueryValue("B", TRegistryApi::kErrorAccessDenied, 2);
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Test\\"));
  EXPECT_EQ(Registry->ReadString("A"), "");
  EXPECT_EQ(ErrorOf([&] { Registry->ReadString("B"); }), "Failed to get data for 'B'");
  EXPECT_EQ(ErrorOf([&] { Registry->ReadString("missing"); }), "") << "a size that cannot be read";
}

TEST_F(RegistryTest, ListSubkeyNamesKeepsTheRegistryOrderWithRoomForTheLongestName) {
  for (const char* name : {"Zed", "anna", "Bertholt"}) Fake.AddKey(std::string(kKey) + "\\" + name);
  Fake.SetString(std::string(kKey) + "\\anna\\Deeper", "Time1", "0");
  TStringList list;
  list.Add("stale");
  Registry->ListSubkeyNames(list);
  EXPECT_TRUE(list.Empty()) << "no current key";
  EXPECT_TRUE(Fake.Calls.empty());

  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Test\\"));
  Registry->ListSubkeyNames(list);
  EXPECT_THAT(list.Items(), ElementsAre("Zed", "anna", "Bertholt"));
  const auto enums = Fake.CallsOf(TOp::EnumKey);
  ASSERT_EQ(enums.size(), 3u);
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(enums[i].Index, i);
    EXPECT_EQ(enums[i].Room, 9u) << "\"Bertholt\" and its terminator";
  }
}

TEST_F(RegistryTest, ListSubkeyNamesSkipsAFailingIndexAndStaysEmptyWithoutKeyInformation) {
  for (const char* name : {"A", "B", "C"}) Fake.AddKey(std::string(kKey) + "\\" + name);
  Fake.AddKey(std::string(kOther) + "\\X");
  Fake.FailEnumIndex(1, TRegistryApi::kErrorNoMoreItems);
  Fake.FailQueryInfo(kOther, TRegistryApi::kErrorAccessDenied);
  TStringList list;
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Test\\"));
  Registry->ListSubkeyNames(list);
  EXPECT_THAT(list.Items(), ElementsAre("A", "C"));

  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Other\\"));
  Registry->ListSubkeyNames(list);
  EXPECT_TRUE(list.Empty());
}

TEST_F(RegistryTest, ListSubkeyNamesReadsDoubleByteNamesLongerThanTheirCharacterCount) {
  // Two Shift_JIS characters: the system reports a longest name of 2.
  const std::string taro = "\x91\xBE\x98\x59";
  Fake.CodePage = 932;
  Fake.AddKey(std::string(kKey) + "\\" + taro);
  Fake.AddKey(std::string(kKey) + "\\ab");
  TStringList list;
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Test\\"));
  Registry->ListSubkeyNames(list);
  EXPECT_THAT(list.Items(), ElementsAre(taro, "ab"));
  std::vector<uint32_t> rooms;
  for (const auto& call : Fake.CallsOf(TOp::EnumKey)) rooms.push_back(call.Room);
  EXPECT_THAT(rooms, ElementsAreArray({3u, TRegistry::kMaxKeyNameBytes, 3u}));
}

TEST_F(RegistryTest, TheCurrentKeyIsClosedWhenAReadRaisesAndTheAccessorGoes) {
  Fake.SetString(kKey, "Debug", "12345");
  ASSERT_TRUE(Registry->OpenForReading("\\SOFTWARE\\Test\\"));
  EXPECT_THROW(Registry->ReadInteger("Debug"), ERegistryException);
  EXPECT_EQ(Fake.OpenHandleCount(), 1u);
  Registry.reset();
  EXPECT_EQ(Fake.OpenHandleCount(), 0u);
}

}  // namespace
