#include <gtest/gtest.h>

#include "common/string_list.h"
#include "common/system_error.h"

namespace {

TEST(WinePlatformTest, CompareStringIgnoresCaseOfWholeTexts) {
  EXPECT_TRUE(PlatformSameText("Anna", "aNNA"));
  EXPECT_FALSE(PlatformSameText("Anna", "Ann"));
  EXPECT_FALSE(PlatformSameText("Anna", "Annas"));
  EXPECT_TRUE(PlatformSameText("", ""));
}

TEST(WinePlatformTest, SystemErrorTextHasNoTrailingStopOrLineBreak) {
  const std::string text = SystemErrorText(5);  // ERROR_ACCESS_DENIED
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.');
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

}  // namespace
