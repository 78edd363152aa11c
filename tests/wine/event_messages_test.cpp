// The service executable's message table, read the way Event Viewer reads it for
// an event of ID 0 with one insertion string.
#include "common/win32.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/wine/app_wine_support.h"

namespace {

constexpr DWORD kErrorMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND

// FormatMessageA of message id from module with text as %1; the last error
// instead when nothing was formatted.
std::string Format(HMODULE module, DWORD id, const std::string& text, DWORD& error) {
  // FORMAT_MESSAGE_ARGUMENT_ARRAY: the arguments as an array of pointer-sized values.
  DWORD_PTR arguments[1] = {reinterpret_cast<DWORD_PTR>(text.c_str())};
  char* formatted = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER, module, id, 0,
      reinterpret_cast<char*>(&formatted), 0, reinterpret_cast<va_list*>(arguments));
  error = length == 0 ? GetLastError() : 0;
  const std::string result = formatted != nullptr ? std::string(formatted, length) : "";
  LocalFree(formatted);
  return result;
}

TEST(WineEventMessagesTest, MessageZeroIsTheInsertionStringAlone) {
  const HMODULE exe = LoadLibraryExA(app_wine::ServiceExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr) << GetLastError();
  // Texts as the service writes them: several lines, a percent sign of their own.
  for (const std::string& text : {std::string("Service controller connect failed"),
                                 std::string("System Error.  Code: 5.\r\nAccess is denied"),
                                 std::string("Time left: 5 min (100% of the warning)")}) {
    DWORD error = 0;
    EXPECT_EQ(Format(exe, 0, text, error), text);
    EXPECT_EQ(error, 0u);
  }
  DWORD error = 0;
  EXPECT_EQ(Format(exe, 1, "x", error), "");
  EXPECT_EQ(error, kErrorMessageNotFound) << "a message beyond the one the events use";
  FreeLibrary(exe);
}

}  // namespace
