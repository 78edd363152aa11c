#include <gtest/gtest.h>

#include "common/debug_level.h"
#include "common/owned.h"
#include "common/string_list.h"
#include "common/system_error.h"

namespace {

TEST(LevelAdmitsTest, MagnitudeDecides) {
  const struct { int32_t Level; bool Admits[4]; } cases[] = {
      {0, {false, false, false, false}},  {1, {true, false, false, false}},
      {2, {true, true, false, false}},    {3, {true, true, true, false}},
      {4, {true, true, true, true}},      {-1, {true, false, false, false}},
      {-3, {true, true, true, false}},    {INT32_MIN, {true, true, true, true}},
      {INT32_MAX, {true, true, true, true}}};
  for (const auto& c : cases)
    for (int n = 1; n <= 4; ++n) EXPECT_EQ(LevelAdmits(c.Level, n), c.Admits[n - 1]) << c.Level << " vs " << n;
}

TEST(StringListTest, KeepsOrderAndDuplicatesAndFindsTheFirstMatchIgnoringCase) {
  TStringList list(&AsciiSameText);
  list.Add("Bert");
  list.Add("anna");
  list.Add("ANNA");
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0], "Bert");
  EXPECT_EQ(list.IndexOf("Anna"), 1);
  EXPECT_EQ(list.IndexOf("bert"), 0);
  EXPECT_EQ(list.IndexOf("ann"), -1) << "no prefix matches";
  EXPECT_EQ(list.IndexOf("annas"), -1);
  EXPECT_EQ(list.IndexOf(""), -1);
  list.Delete(1);
  EXPECT_EQ(list.IndexOf("anna"), 1);
}

TEST(StringListTest, UsesTheComparisonItWasGiven) {
  TStringList list([](const std::string& a, const std::string& b) { return a.size() == b.size(); });
  list.Add("xyz");
  EXPECT_EQ(list.IndexOf("abc"), 0);
}

TEST(SystemErrorTextTest, TrimsTrailingControlCharactersBlanksAndStops) {
  EXPECT_EQ(TrimSystemErrorText("The service did not respond.\r\n"), "The service did not respond");
  EXPECT_EQ(TrimSystemErrorText("Ends with dots... \t"), "Ends with dots");
  EXPECT_EQ(TrimSystemErrorText(std::string("zero\0", 5)), "zero");
  EXPECT_EQ(TrimSystemErrorText(" . \r\n"), "");
  EXPECT_EQ(TrimSystemErrorText("Keeps. inner stops"), "Keeps. inner stops");
}

struct TCountingCloser {
  std::vector<uintptr_t> Closed;
  void Close(uintptr_t h) { Closed.push_back(h); }
};
using TTestOwned = TOwned<TCountingCloser, &TCountingCloser::Close>;

TEST(OwnedTest, ClosesOnceOnEveryPathAndNotAfterRelease) {
  TCountingCloser closer;
  {
    TTestOwned a(closer, 7);
    TTestOwned b(std::move(a));
    EXPECT_FALSE(a);
    TTestOwned c(closer, 8);
    c = std::move(b);  // closes 8, takes 7
    TTestOwned d(closer, 9);
    EXPECT_EQ(d.Release(), 9u);
    TTestOwned empty;
  }
  EXPECT_EQ(closer.Closed, (std::vector<uintptr_t>{8, 7}));
}

}  // namespace
