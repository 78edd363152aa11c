#include <gtest/gtest.h>

#include "common/system_error.h"
#include "svcmgr/os_error.h"

namespace {

TEST(OSErrorTest, FailedSystemCallTexts) {
  EXPECT_EQ(OSErrorMessage(1073), "System Error.  Code: 1073.\r\n" + SystemErrorText(1073));
  EXPECT_EQ(OSErrorMessage(0), "A call to an OS function failed");
  const EOSError error = OSError(5);
  EXPECT_EQ(error.ErrorCode, 5u);
  EXPECT_EQ(error.Message(), OSErrorMessage(5));
  EXPECT_STREQ(error.ClassName(), "EOSError");
}

}  // namespace
