#include <gtest/gtest.h>

#include "svcmgr/application_error.h"

namespace {

struct ErrorTextCase {
  const char* Name;
  std::string Message;
  std::string Expected;
};

class ApplicationErrorTextTest : public ::testing::TestWithParam<ErrorTextCase> {};

TEST_P(ApplicationErrorTextTest, FormatsTheReport) {
  EXPECT_EQ(ApplicationErrorText("EOSError", "nortavel_free_service.exe", 0x1A2B, GetParam().Message),
            GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Report, ApplicationErrorTextTest,
    ::testing::Values(
        ErrorTextCase{"StopAdded", "Access denied",
                      "Exception EOSError in module nortavel_free_service.exe at 00001A2B.\r\nAccess denied.\r\n"},
        ErrorTextCase{"StopKept", "Access denied.",
                      "Exception EOSError in module nortavel_free_service.exe at 00001A2B.\r\nAccess denied.\r\n"},
        ErrorTextCase{"NoMessageNoStop", "",
                      "Exception EOSError in module nortavel_free_service.exe at 00001A2B.\r\n\r\n"},
        // Only a final full stop counts; one inside the text or a final line break does not.
        ErrorTextCase{"StopOnlyAtTheEnd", "System Error.  Code: 5.\r\nAccess denied",
                      "Exception EOSError in module nortavel_free_service.exe at 00001A2B.\r\n"
                      "System Error.  Code: 5.\r\nAccess denied.\r\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ApplicationErrorTest, TextIsCutTo1023Characters) {
  const std::string head = "Exception E in module m at 00000000.\r\n";
  const std::string fits(1023 - head.size() - 3, 'x');  // + "." + CR LF = 1023
  EXPECT_EQ(ApplicationErrorText("E", "m", 0, fits), head + fits + ".\r\n");

  const std::string text = ApplicationErrorText("E", "m", 0, std::string(5000, 'y'));
  ASSERT_EQ(text.size(), 1023u);
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.back(), 'y');
  EXPECT_EQ(CutText(std::string(100, 'c'), kApplicationErrorCaptionLimit).size(), 63u);
}

TEST(ApplicationErrorTest, OffsetHasAtLeastEightUpperCaseDigits) {
  EXPECT_NE(ApplicationErrorText("E", "m", 0, "").find(" at 00000000."), std::string::npos);
  EXPECT_NE(ApplicationErrorText("E", "m", 0xDEADBEEF, "").find(" at DEADBEEF."), std::string::npos);
}

TEST(ApplicationErrorTest, FileNameDropsTheFolder) {
  EXPECT_EQ(FileNameOf("C:\\Program Files\\Nortavel\\nortavel_free_service.exe"), "nortavel_free_service.exe");
  EXPECT_EQ(FileNameOf("Z:/build/x.exe"), "x.exe");
  EXPECT_EQ(FileNameOf("C:x.exe"), "x.exe");
  EXPECT_EQ(FileNameOf("x.exe"), "x.exe");
}

TEST(ApplicationErrorTest, ThrowAddressBelongsToTheLastThrownObject) {
  int first = 0, second = 0;
  NoteThrow(&first, 0x401000);
  EXPECT_EQ(ThrowAddress(&first), 0x401000u);
  EXPECT_EQ(ThrowAddress(nullptr), 0x401000u);
  NoteThrow(&second, 0x402000);
  // The earlier object's note was overwritten: its address is unknown now.
  EXPECT_EQ(ThrowAddress(&first), 0u);
  EXPECT_EQ(ThrowAddress(&second), 0x402000u);
  NoteThrow(nullptr, 0);
}

}  // namespace
